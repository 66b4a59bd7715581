#include "gtk/ErrorDialog.h"

#include "gtk/ExecutableInfo.h"

namespace twdesktop {

void ShowErrorDialog(GtkWindow* AParent, const std::string& AMessage) {
  GtkWidget* dialog = gtk_message_dialog_new(AParent, GTK_DIALOG_MODAL, GTK_MESSAGE_ERROR,
                                             GTK_BUTTONS_OK, "%s", AMessage.c_str());
  const std::string title = ApplicationTitle(FileNameOf(OwnExecutablePath()));
  gtk_window_set_title(GTK_WINDOW(dialog), title.empty() ? "twdesktop" : title.c_str());
  gtk_dialog_run(GTK_DIALOG(dialog));
  gtk_widget_destroy(dialog);
}

}  // namespace twdesktop
