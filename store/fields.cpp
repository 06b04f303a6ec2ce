#include "store/fields.h"

#include <sstream>
#include <stdexcept>

#include "store/failures.h"

FieldList split_fields(const std::string& text) {
  FieldList fields;
  std::istringstream stream(text);
  std::string field;
  while (std::getline(stream, field, FIELD_SEPARATOR)) fields.push_back(field);
  return fields;
}

int read_number(const std::string& field) {
  try {
    return std::stoi(field);
  } catch (const std::invalid_argument&) {
    throw InvalidNumber();
  } catch (const std::out_of_range&) {
    throw InvalidNumber();
  }
}

bool is_new_key(const std::string& key) { return key == "none"; }

void require_fields(const FieldList& fields, std::size_t count) {
  if (fields.size() < count) throw MissingField();
}
