#pragma once
// UTF-8 inside the system; UTF-16 only where the page texts and messages need it.
#include <string>

// Both stop at the first NUL; an invalid sequence or unpaired surrogate becomes U+FFFD.
std::string utf16_to_utf8(const std::u16string& text);
std::u16string utf8_to_utf16(const std::string& text);
