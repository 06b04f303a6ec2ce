// Classes: named by their id, the class number. Every save stamps the class with the local
// time, so the rescoring pass can tell which placings were scored against an older class.
#include <algorithm>

#include "store/operations.h"
#include "store/result_texts.h"
#include "store/patterns.h"

namespace {
using enum FieldKind;

// Key, class type id, name, and the official placing and cuts, which are stored together
// and only when all five fields are given.
constexpr std::size_t FULL_FIELDS = 5;
constexpr std::size_t PLACING_FIELD = 3;

const BoundStatement INSERT_CLASS{
    "INSERT INTO classes (type_id, name, placing, cuts, timestamp) "
    "VALUES (?, ?, ?, ?, datetime('now', 'localtime'));",
    {{1, Number}, {2, Text}, {3, OptionalNumber}, {4, OptionalNumber}}};
const BoundStatement UPDATE_CLASS{
    "UPDATE classes SET type_id = ?, name = ?, placing = ?, cuts = ?, "
    "timestamp = datetime('now', 'localtime') WHERE id = ?;",
    {{1, Number}, {2, Text}, {3, OptionalNumber}, {4, OptionalNumber}, {0, Number}}};

// A placing or cuts given in any form but the full five fields would be stored as NULL,
// losing the official's entry while the save reports success.
bool would_drop_placing(const FieldList& fields) {
  if (fields.size() == FULL_FIELDS) return false;
  const std::size_t end = std::min(fields.size(), FULL_FIELDS);
  for (std::size_t i = PLACING_FIELD; i < end; ++i)
    if (!fields[i].empty()) return true;
  return false;
}
}  // namespace

std::string save_class(const std::string& args) {
  const FieldList fields = split_fields(args);
  if (would_drop_placing(fields)) return PLACING_WITHOUT_CUTS_ERROR;
  return run_save(fields, FULL_FIELDS, INSERT_CLASS, UPDATE_CLASS);
}

std::string fetch_classes(const std::string&) {
  return run_fetch(
      "SELECT classes.id, class_types.name AS type_name, classes.name, classes.placing, classes.cuts "
      "FROM class_types NOT INDEXED "
      "CROSS JOIN classes NOT INDEXED ON classes.type_id = class_types.id "
      "ORDER BY classes.id;");
}

std::string delete_class(const std::string& key) {
  return run_delete(key, "DELETE FROM classes WHERE id = ?;");
}
