// Build tool: writes a C++ source holding one page file as a NUL-terminated byte array.
// A line that is exactly <!--#include NAME--> is replaced by the file NAME beside the page,
// so the two card pages share one style and one script. With --ascii it refuses any byte
// above 0x7F, so a card page can never carry text a phone's browser would have to guess at.
// With --utf16 it writes the text as UTF-16 code units, the form the web view takes, so the
// program needs no conversion of its own for it.
#include <cstdio>
#include <fstream>
#include <iostream>
#include <iterator>
#include <string>

#include "shell/text_conversion.h"

namespace {
bool read_file(const std::string& path, std::string& out) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    std::cerr << "embed_page: cannot read " << path << "\n";
    return false;
  }
  out.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  return true;
}

bool read_with_includes(const std::string& path, std::string& out) {
  std::string text;
  if (!read_file(path, text)) return false;
  const std::string folder = path.substr(0, path.find_last_of('/') + 1);
  const std::string open = "<!--#include ", close = "-->";
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    const std::string line = text.substr(start, end - start);
    if (line.rfind(open, 0) == 0 && line.size() > open.size() + close.size() &&
        line.compare(line.size() - close.size(), close.size(), close) == 0) {
      std::string included;
      if (!read_file(folder + line.substr(open.size(), line.size() - open.size() - close.size()), included))
        return false;
      out += included;
    } else {
      out += line;
      if (end < text.size()) out += '\n';
    }
    start = end + 1;
  }
  return true;
}
}  // namespace

int main(int argc, char** argv) {
  if (argc < 4) {
    std::cerr << "usage: embed_page INPUT OUTPUT SYMBOL [--ascii | --utf16]\n";
    return 2;
  }
  const std::string input = argv[1], output = argv[2], symbol = argv[3];
  const std::string mode = argc > 4 ? argv[4] : "";
  const bool ascii_only = mode == "--ascii";
  std::string bytes;
  if (!read_with_includes(input, bytes)) return 1;
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
