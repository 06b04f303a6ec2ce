// Build tool: writes a C++ source holding one page file as a NUL-terminated byte array.
// With --ascii it refuses any byte above 0x7F, so a card page can never carry text
// that a phone's browser would have to guess the encoding of.
#include <cstdio>
#include <fstream>
#include <iostream>
#include <iterator>
#include <string>

int main(int argc, char** argv) {
  if (argc < 4) {
    std::cerr << "usage: embed_page INPUT OUTPUT SYMBOL [--ascii]\n";
    return 2;
  }
  const std::string input = argv[1], output = argv[2], symbol = argv[3];
  const bool ascii_only = argc > 4 && std::string(argv[4]) == "--ascii";
  std::ifstream in(input, std::ios::binary);
  if (!in) {
    std::cerr << "embed_page: cannot read " << input << "\n";
    return 1;
  }
  const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
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
  out << "extern const char " << symbol << "[] = {";
  char buf[8];
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    if (i % 20 == 0) out << "\n";
    std::snprintf(buf, sizeof buf, "%d,", static_cast<signed char>(bytes[i]));
    out << buf;
  }
  out << "0};\nextern const std::size_t " << symbol << "_size = " << bytes.size() << ";\n";
  return out ? 0 : 1;
}
