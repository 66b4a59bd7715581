#pragma once

#include <gtk/gtk.h>

#include <memory>
#include <string>

#include "gtk/GObjectPtr.h"
#include "gtk/GtkMainThreadQueue.h"
#include "view/TarnwickFrame.h"

namespace twdesktop {

// The program's one window: a sizeable, centred top-level window whose whole client area is the
// view frame. Closing it ends the main loop (see main.cpp for how the process then ends).
class THostForm {
 public:
  // Builds the window and its content (FormCreate); an error while doing so is shown in an
  // error box, and the window is still usable.
  THostForm();
  THostForm(const THostForm&) = delete;
  THostForm& operator=(const THostForm&) = delete;

  GtkWindow* Window() const { return GTK_WINDOW(FWindow.get()); }
  void Show();
  // After the main loop: completions still queued, or queued later by workers, never run.
  void DropPendingWork();

 private:
  void FormCreate();
  void ReportError(const std::string& AMessage);
  static gboolean OnConfigure(GtkWidget* AWindow, GdkEventConfigure* AEvent, gpointer ASelf);

  GObjectPtr<GtkWidget> FWindow;
  std::shared_ptr<TGtkMainThreadQueue> FQueue;
  std::unique_ptr<TTarnwickFrame> FView;
  int FFrameWidth = -1;  // window decoration around the client area, once known
  int FFrameHeight = -1;
};

}  // namespace twdesktop
