#pragma once

#include <gtk/gtk.h>

#include <string>

namespace twdesktop {

// Shows AMessage in a modal error box (error icon, OK button) captioned with the program's
// title, and returns when the user has closed it. The program goes on afterwards. AParent may
// be null, or a window that is not shown yet.
void ShowErrorDialog(GtkWindow* AParent, const std::string& AMessage);

}  // namespace twdesktop
