// Entry point of the desktop application: the run on the GTK layer, showing the main page.
#include "pages/page_texts.h"
#include "shell/lifecycle.h"
#include "shell/platform/gtk_layer.h"

int main() {
  install_gtk_layer();
  return run_desktop_app(main_page);
}
