// Build tool: writes a C++ source holding one page file as a NUL-terminated byte array.
// A line that is exactly <!--#include NAME--> is replaced by the file NAME beside the page
// (pages/page_includes.h), so pages keep their style and scripts in files of their own and
// share them. With --ascii it refuses any byte above 0x7F, so a card page can never carry
// text a phone's browser would have to guess at.
// With --utf16 it writes the text as UTF-16 code units, the form the web view takes, so the
// program needs no conversion of its own for it.
#include <cstdio>
#include <fstream>
#include <iostream>
#include <string>

#include "pages/page_includes.h"
#include "shell/text_conversion.h"

int main(int argc, char** argv) {
  if (argc < 4) {
    std::cerr << "usage: embed_page INPUT OUTPUT SYMBOL [--ascii | --utf16]\n";
    return 2;
  }
  const std::string input = argv[1], output = argv[2], symbol = argv[3];
  const std::string mode = argc > 4 ? argv[4] : "";
  const bool ascii_only = mode == "--ascii";
  std::string bytes;
  if (!read_page_with_includes(input, bytes)) return 1;
  if (ascii_only) {
    std::size_t line = 1;
    for (unsigned char c : bytes) {
      if (c == '\n') ++line;
      if (c > 0x7F) {
        std::cerr << input << ":" << line << ": error: byte 0x" << std::hex << int(c)
                  << " is not 7-bit ASCII\n";
        return 1;
      }
    }
  }
  std::ofstream out(output, std::ios::binary);
  out << "// Generated from " << input << "; do not edit.\n#include <cstddef>\n";
  char buf[12];
  std::size_t size = 0;
  if (mode == "--utf16") {
    const std::u16string units = utf8_to_utf16(bytes);
    out << "extern const char16_t " << symbol << "[] = {";
    for (std::size_t i = 0; i < units.size(); ++i) {
      if (i % 16 == 0) out << "\n";
      std::snprintf(buf, sizeof buf, "%u,", static_cast<unsigned>(units[i]));
      out << buf;
    }
    size = units.size();
  } else {
    out << "extern const char " << symbol << "[] = {";
    for (std::size_t i = 0; i < bytes.size(); ++i) {
      if (i % 20 == 0) out << "\n";
      std::snprintf(buf, sizeof buf, "%d,", static_cast<signed char>(bytes[i]));
      out << buf;
    }
    size = bytes.size();
  }
  out << "0};\nextern const std::size_t " << symbol << "_size = " << size << ";\n";
  return out ? 0 : 1;
}
