#pragma once
// Fields joined by the separator, as the pages send them and the operations answer them.
#include <initializer_list>
#include <string>

#include "store/fields.h"

inline std::string join_fields(std::initializer_list<std::string> fields) {
  std::string text;
  bool first = true;
  for (const std::string& f : fields) {
    if (!first) text += FIELD_SEPARATOR;
    text += f;
    first = false;
  }
  return text;
}
