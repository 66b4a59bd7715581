#include <gtk/gtk.h>

#include <cstdio>
#include <cstdlib>

#include "gtk/HostForm.h"

// The program reads no command line: GTK is not handed argv, so options such as --display
// change nothing.
int main() {
  gtk_init(nullptr, nullptr);
  g_set_prgname("twdesktop");

  twdesktop::THostForm form;
  form.Show();
  gtk_main();

  // The window is closed. Workers may still be blocked in a CLI run that nothing ends; they are
  // detached and hold parts of the frame's state. Returning from main would run destructors of
  // statics and of this frame while they still use them, so the process leaves here, at once,
  // without unwinding; the CLI itself keeps running on its own and WebKit's helper processes
  // end when this process does.
  form.DropPendingWork();
  (void)std::fflush(nullptr);
  std::_Exit(0);
}
