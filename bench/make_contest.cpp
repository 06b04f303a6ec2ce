// make_contest PATH: writes a contest at the schema's limits (9 divisions of 99 teams of 9
// contestants, 10 classes, about 80,000 placings, reasons scores on half) to PATH.
#include <cstdio>
#include <exception>

#include "bench/contest_generator.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s PATH (a new contest.db at the schema's limits)\n", argv[0]);
    return 2;
  }
  try {
    write_contest(argv[1]);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "make_contest: %s\n", e.what());
    return 1;
  }
  return 0;
}
