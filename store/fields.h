#pragma once
// Argument texts: fields joined by the unit separator.
#include <cstddef>
#include <string>
#include <vector>

constexpr char FIELD_SEPARATOR = '\x1F';

using FieldList = std::vector<std::string>;

// Cuts at each separator as repeated std::getline would: a trailing empty field is
// dropped and an empty text gives no field.
FieldList split_fields(const std::string& text);

// Reads a number field as std::stoi does (leading blanks and sign, stops at the first
// non-digit); raises InvalidNumber where std::stoi would raise.
int read_number(const std::string& field);

// The key of a save or delete that means "a new row": exactly these four letters.
bool is_new_key(const std::string& key);

// Raises MissingField when fewer than count fields were given, so no
// operation ever reads past its field list.
void require_fields(const FieldList& fields, std::size_t count);
