#pragma once
// Fields joined by the separator, as the pages send them and the operations answer them,
// and results cut back into fields and rows.
#include <gtest/gtest.h>

#include <initializer_list>
#include <string>
#include <vector>

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

// Cuts a text at every separator, keeping every empty part, the last one too.
inline std::vector<std::string> split_at(const std::string& text, const std::string& separator) {
  std::vector<std::string> parts;
  for (std::string::size_type start = 0;;) {
    const auto end = text.find(separator, start);
    parts.push_back(text.substr(start, end == std::string::npos ? std::string::npos : end - start));
    if (end == std::string::npos) return parts;
    start = end + separator.size();
  }
}

// A result's fields, every empty one kept; the empty result has none.
inline std::vector<std::string> fields_of(const std::string& result) {
  if (result.empty()) return {};
  return split_at(result, std::string(1, FIELD_SEPARATOR));
}

using Rows = std::vector<std::vector<std::string>>;

// Cuts a flat result into rows of `width` fields; a count that does not divide is a failure.
inline Rows rows_of(const std::string& result, std::size_t width) {
  const auto fields = fields_of(result);
  EXPECT_EQ(fields.size() % width, 0u) << result;
  Rows rows;
  for (std::size_t i = 0; i + width <= fields.size(); i += width)
    rows.emplace_back(fields.begin() + i, fields.begin() + i + width);
  return rows;
}
