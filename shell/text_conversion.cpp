#include "shell/text_conversion.h"

namespace {
constexpr char32_t REPLACEMENT = 0xFFFD;

void append_utf8(std::string& out, char32_t cp) {
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (cp >> 18));
    out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

void append_utf16(std::u16string& out, char32_t cp) {
  if (cp < 0x10000) {
    out += static_cast<char16_t>(cp);
  } else {
    cp -= 0x10000;
    out += static_cast<char16_t>(0xD800 + (cp >> 10));
    out += static_cast<char16_t>(0xDC00 + (cp & 0x3FF));
  }
}
}  // namespace

std::string utf16_to_utf8(const std::u16string& text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char16_t u = text[i];
    if (u == 0) break;
    if (u >= 0xD800 && u <= 0xDBFF) {
      if (i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
        append_utf8(out, 0x10000 + ((char32_t(u) - 0xD800) << 10) + (char32_t(text[i + 1]) - 0xDC00));
        ++i;
      } else {
        append_utf8(out, REPLACEMENT);
      }
    } else if (u >= 0xDC00 && u <= 0xDFFF) {
      append_utf8(out, REPLACEMENT);
    } else {
      append_utf8(out, u);
    }
  }
  return out;
}

std::u16string utf8_to_utf16(const std::string& text) {
  std::u16string out;
  out.reserve(text.size());
  const auto* s = reinterpret_cast<const unsigned char*>(text.data());
  const std::size_t n = text.size();
  std::size_t i = 0;
  while (i < n) {
    const unsigned char b = s[i];
    if (b == 0) break;
    if (b < 0x80) {
      out += static_cast<char16_t>(b);
      ++i;
      continue;
    }
    // Decode one sequence; on any fault emit one replacement for the maximal bad prefix.
    std::size_t len = 0;
    char32_t cp = 0, min = 0;
    if (b >= 0xC2 && b <= 0xDF) { len = 2; cp = b & 0x1F; min = 0x80; }
    else if (b >= 0xE0 && b <= 0xEF) { len = 3; cp = b & 0x0F; min = 0x800; }
    else if (b >= 0xF0 && b <= 0xF4) { len = 4; cp = b & 0x07; min = 0x10000; }
    else { out += char16_t(REPLACEMENT); ++i; continue; }
    std::size_t j = 1;
    for (; j < len && i + j < n; ++j) {
      const unsigned char c = s[i + j];
      if ((c & 0xC0) != 0x80) break;
      cp = (cp << 6) | (c & 0x3F);
      // Reject overlong forms, surrogates and values past U+10FFFF as early as the second byte.
      if (j == 1) {
        if (b == 0xE0 && c < 0xA0) break;
        if (b == 0xED && c > 0x9F) break;
        if (b == 0xF0 && c < 0x90) break;
        if (b == 0xF4 && c > 0x8F) break;
      }
    }
    if (j == len && cp >= min) {
      append_utf16(out, cp);
      i += len;
    } else {
      out += char16_t(REPLACEMENT);
      i += (j == 0 ? 1 : j);
    }
  }
  return out;
}
