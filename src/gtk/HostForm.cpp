#include "gtk/HostForm.h"

#include <algorithm>
#include <exception>
#include <filesystem>

#include "gtk/ErrorDialog.h"
#include "gtk/StandaloneContext.h"
#include "gtk/UserDataFolder.h"
#include "gtk/ViewHtml.h"
#include "gtk/WebKitSurface.h"

namespace twdesktop {

namespace {

constexpr const char* kCaption = "Tarnwick Desktop - standalone workspace app";
constexpr int kClientWidth = 900;
constexpr int kClientHeight = 560;
constexpr int kMinOuterWidth = 680;
constexpr int kMinOuterHeight = 420;

void PaintBlack(GtkWidget* AWindow) {
  GObjectPtr<GtkCssProvider> css(gtk_css_provider_new());
  gtk_css_provider_load_from_data(css.get(), "window#host { background-color: black; }", -1,
                                  nullptr);
  gtk_widget_set_name(AWindow, "host");
  gtk_style_context_add_provider(gtk_widget_get_style_context(AWindow),
                                 GTK_STYLE_PROVIDER(css.get()),
                                 GTK_STYLE_PROVIDER_PRIORITY_APPLICATION);
}

void SetMinimumClientSize(GtkWidget* AWindow, int AWidth, int AHeight) {
  GdkGeometry hints{};
  hints.min_width = AWidth;
  hints.min_height = AHeight;
  gtk_window_set_geometry_hints(GTK_WINDOW(AWindow), nullptr, &hints, GDK_HINT_MIN_SIZE);
}

}  // namespace

THostForm::THostForm()
    : FWindow(AdoptSunk(gtk_window_new(GTK_WINDOW_TOPLEVEL))),
      FQueue(std::make_shared<TGtkMainThreadQueue>(
          [this](const std::string& AMessage) { ReportError(AMessage); })) {
  GtkWidget* window = FWindow.get();
  gtk_window_set_title(GTK_WINDOW(window), kCaption);
  gtk_window_set_resizable(GTK_WINDOW(window), TRUE);
  gtk_window_set_default_size(GTK_WINDOW(window), kClientWidth, kClientHeight);
  gtk_window_set_position(GTK_WINDOW(window), GTK_WIN_POS_CENTER);
  // Until the window manager tells us its decoration, the client area carries the whole limit.
  SetMinimumClientSize(window, kMinOuterWidth, kMinOuterHeight);
  PaintBlack(window);
  g_signal_connect(window, "configure-event", G_CALLBACK(OnConfigure), this);
  // Closing only ends the loop: the widgets stay alive while the process leaves.
  g_signal_connect(window, "delete-event",
                   G_CALLBACK(+[](GtkWidget*, GdkEvent*, gpointer) -> gboolean {
                     gtk_main_quit();
                     return TRUE;
                   }),
                   nullptr);

  try {
    FormCreate();
  } catch (const std::exception& error) {
    ReportError(error.what());
  } catch (...) {
    ReportError("An unexpected error occurred.");
  }
}

void THostForm::FormCreate() {
  auto surface = std::make_unique<TWebKitSurface>(
      [this](const std::string& AMessage) { ReportError(AMessage); });
  gtk_container_add(GTK_CONTAINER(FWindow.get()), surface->Widget());

  TFramePlatform platform;
  platform.Surface = std::move(surface);
  platform.Queue = FQueue;
  platform.UserDataFolder = [] { return UserDataFolder(); };
  platform.LoadViewHtml = [] { return LoadViewHtml(); };
  FView = std::make_unique<TTarnwickFrame>(std::move(platform));

  // getcwd, not $PWD: the program reads no environment, and the kernel's answer is a full path
  // that ends with "/" only at the root.
  const std::string workspace = std::filesystem::current_path().string();
  FView->SetContext(std::make_shared<TStandaloneContext>(workspace));
  FView->Activate();
}

void THostForm::Show() {
  gtk_widget_show(FWindow.get());
}

void THostForm::DropPendingWork() {
  FQueue->Shutdown();
}

void THostForm::ReportError(const std::string& AMessage) {
  ShowErrorDialog(Window(), AMessage);
}

gboolean THostForm::OnConfigure(GtkWidget* AWindow, GdkEventConfigure*, gpointer ASelf) {
  // The lower limits are meant for the outer size, decoration included, but X11 applies size
  // hints to the client area: take the decoration off once the window manager has drawn it.
  auto* self = static_cast<THostForm*>(ASelf);
  GdkWindow* gdkWindow = gtk_widget_get_window(AWindow);
  if (gdkWindow == nullptr) return FALSE;
  GdkRectangle outer{};
  gdk_window_get_frame_extents(gdkWindow, &outer);
  const int frameWidth = std::max(0, outer.width - gdk_window_get_width(gdkWindow));
  const int frameHeight = std::max(0, outer.height - gdk_window_get_height(gdkWindow));
  if (frameWidth != self->FFrameWidth || frameHeight != self->FFrameHeight) {
    self->FFrameWidth = frameWidth;
    self->FFrameHeight = frameHeight;
    SetMinimumClientSize(AWindow, kMinOuterWidth - frameWidth, kMinOuterHeight - frameHeight);
  }
  return FALSE;
}

}  // namespace twdesktop
