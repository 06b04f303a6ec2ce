#pragma once
#include <string>

// The text as a double-quoted JSON string literal that is also a valid script literal:
// quotes, backslashes, every control character, DEL and the two line separators U+2028 and
// U+2029 are escaped. The input is UTF-8; other characters pass through unchanged.
std::string js_string_literal(const std::string& utf8);
