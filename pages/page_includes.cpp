#include "pages/page_includes.h"

#include <fstream>
#include <iostream>
#include <iterator>

namespace {
bool read_file(const std::string& path, std::string& out) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    std::cerr << "cannot read " << path << "\n";
    return false;
  }
  out.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  return true;
}
}  // namespace

bool read_page_with_includes(const std::string& path, std::string& out) {
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
