// The yardstick for bench/startup.py: the smallest WebKitGTK program that shows a page, a window
// of the application's size with a web view and a static page in it. Like the real page, this
// one tells the host that it is ready through a script message handler, and the host answers
// with one script. It prints
//   bare-trace first-script <seconds>
// (CLOCK_MONOTONIC) to stderr when that script has been evaluated, the same event that
// twdesktop's trace hook reports for its first graph, without the CLI run in between.
#include <gtk/gtk.h>
#include <webkit2/webkit2.h>

#include <cstdio>
#include <ctime>

namespace {

constexpr const char* kPage =
    "<!doctype html><html><head><meta charset='utf-8'><style>"
    "body{margin:0;background:#0b1220;color:#e2e8f0;font-family:sans-serif}"
    ".card{position:absolute;width:210px;padding:12px;border:1px solid #1e293b;"
    "border-radius:12px;background:#0f172a}</style></head><body>"
    "<div class='card' style='left:245px;top:30px'>root</div>"
    "<div class='card' style='left:130px;top:210px'>module one</div>"
    "<div class='card' style='left:360px;top:210px'>module two</div>"
    "<script>window.loadGraph = (g) => g.nodes.length;"
    "window.webkit.messageHandlers.bench.postMessage('ready');</script></body></html>";

void PrintNow() {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  (void)std::fprintf(stderr, "bare-trace first-script %lld.%06ld\n",
                     static_cast<long long>(now.tv_sec), now.tv_nsec / 1000);
  (void)std::fflush(stderr);
}

void OnReady(WebKitUserContentManager*, WebKitJavascriptResult*, gpointer AView) {
  const char* script = "window.loadGraph({nodes: [1, 2, 3]})";
  webkit_web_view_evaluate_javascript(
      WEBKIT_WEB_VIEW(AView), script, -1, nullptr, nullptr, nullptr,
      [](GObject* view, GAsyncResult* result, gpointer) {
        JSCValue* value =
            webkit_web_view_evaluate_javascript_finish(WEBKIT_WEB_VIEW(view), result, nullptr);
        if (value != nullptr) g_object_unref(value);
        PrintNow();
      },
      nullptr);
}

}  // namespace

int main() {
  gtk_init(nullptr, nullptr);
  GtkWidget* window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
  gtk_window_set_default_size(GTK_WINDOW(window), 900, 560);
  WebKitUserContentManager* content = webkit_user_content_manager_new();
  GtkWidget* view = webkit_web_view_new_with_user_content_manager(content);
  g_signal_connect(content, "script-message-received::bench", G_CALLBACK(OnReady), view);
  webkit_user_content_manager_register_script_message_handler(content, "bench");
  gtk_container_add(GTK_CONTAINER(window), view);
  g_signal_connect(window, "destroy", G_CALLBACK(gtk_main_quit), nullptr);
  webkit_web_view_load_html(WEBKIT_WEB_VIEW(view), kPage, nullptr);
  gtk_widget_show_all(window);
  gtk_main();
  return 0;
}
