// Entry point of the desktop application.
#include <cstdio>

int main() {
  // The window and web view host are not built yet; there is nothing to show.
  std::fprintf(stderr, "tallywell: the desktop window is not available in this build yet.\n");
  return 1;
}
