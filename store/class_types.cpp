// Class types: named by their id.
#include "store/operations.h"
#include "store/patterns.h"

namespace {
using enum FieldKind;

// Key and name; there is no optional field.
constexpr std::size_t FULL_FIELDS = 2;

const BoundStatement INSERT_CLASS_TYPE{"INSERT INTO class_types (name) VALUES (?);", {{1, Text}}};
const BoundStatement UPDATE_CLASS_TYPE{
    "UPDATE class_types SET name = ? WHERE id = ?;", {{1, Text}, {0, Number}}};
}  // namespace

std::string save_class_type(const std::string& args) {
  return run_save(args, FULL_FIELDS, INSERT_CLASS_TYPE, UPDATE_CLASS_TYPE);
}

std::string fetch_class_types(const std::string&) {
  return run_fetch("SELECT id, name FROM class_types ORDER BY id;");
}

std::string delete_class_type(const std::string& key) {
  return run_delete(key, "DELETE FROM class_types WHERE id = ?;");
}
