#include "gtk/WebKitSurface.h"

#include <exception>
#include <utility>

#include "gtk/NavigationRules.h"
#include "gtk/StartupTrace.h"
#include "gtk/UserDataFolder.h"
#include "gtk/WebViewBridge.h"

namespace twdesktop {

namespace {

constexpr const char* kStatusCss =
    "#status { min-height: 28px; padding: 0; background-color: #121212; color: lime;"
    " font-family: monospace; font-size: 12px; }";

GtkWidget* MakeStatusStrip() {
  GtkWidget* label = gtk_label_new("  ready");
  gtk_widget_set_name(label, "status");
  gtk_label_set_xalign(GTK_LABEL(label), 0.0f);
  gtk_label_set_yalign(GTK_LABEL(label), 0.5f);
  gtk_label_set_single_line_mode(GTK_LABEL(label), TRUE);
  gtk_label_set_ellipsize(GTK_LABEL(label), PANGO_ELLIPSIZE_END);
  GObjectPtr<GtkCssProvider> css(gtk_css_provider_new());
  gtk_css_provider_load_from_data(css.get(), kStatusCss, -1, nullptr);
  gtk_style_context_add_provider(gtk_widget_get_style_context(label), GTK_STYLE_PROVIDER(css.get()),
                                 GTK_STYLE_PROVIDER_PRIORITY_APPLICATION);
  return label;
}

std::string RandomNonce() {
  gchar* text = g_uuid_string_random();
  std::string nonce(text);
  g_free(text);
  return nonce;
}

}  // namespace

TWebKitSurface::TWebKitSurface(TErrorSink AOnError)
    : FOnError(std::move(AOnError)),
      FBox(AdoptSunk(gtk_box_new(GTK_ORIENTATION_VERTICAL, 0))),
      FStatus(MakeStatusStrip()) {
  gtk_box_pack_end(GTK_BOX(FBox.get()), FStatus, FALSE, FALSE, 0);
  gtk_widget_show_all(FBox.get());
}

TWebKitSurface::~TWebKitSurface() {
  if (FCreatedSource != 0) g_source_remove(FCreatedSource);
  // The widgets may outlive the surface inside the window; none of their signals may reach it.
  if (FView) g_signal_handlers_disconnect_by_data(FView.get(), this);
  if (FContent) g_signal_handlers_disconnect_by_data(FContent.get(), this);
}

void TWebKitSurface::StartCreation(const std::string& AUserDataFolder,
                                   IWebSurfaceListener& AListener) {
  FListener = &AListener;
  const bool ok = !FView && EnsurePrivateFolder(AUserDataFolder) && CreateView(AUserDataFolder);
  FCreationOk = ok;
  // The outcome is reported from the main loop, never from inside this call.
  FCreatedSource = g_idle_add_full(
      G_PRIORITY_DEFAULT,
      [](gpointer self) -> gboolean {
        auto* surface = static_cast<TWebKitSurface*>(self);
        surface->FCreatedSource = 0;
        surface->Guarded([surface] { surface->FListener->WebViewCreated(surface->FCreationOk); });
        return G_SOURCE_REMOVE;
      },
      this, nullptr);
}

bool TWebKitSurface::CreateView(const std::string& AUserDataFolder) {
  const std::string data = AUserDataFolder + "/data";
  const std::string cache = AUserDataFolder + "/cache";
  GObjectPtr<WebKitWebsiteDataManager> store(WEBKIT_WEBSITE_DATA_MANAGER(
      g_object_new(WEBKIT_TYPE_WEBSITE_DATA_MANAGER, "base-data-directory", data.c_str(),
                   "base-cache-directory", cache.c_str(), nullptr)));
  if (!store) return false;
  FContext.reset(webkit_web_context_new_with_website_data_manager(store.get()));
  FContent.reset(webkit_user_content_manager_new());
  if (!FContext || !FContent) return false;

  FNonce = RandomNonce();
  const std::string bridge = BridgeUserScript(FNonce);
  WebKitUserScript* script =
      webkit_user_script_new(bridge.c_str(), WEBKIT_USER_CONTENT_INJECT_TOP_FRAME,
                             WEBKIT_USER_SCRIPT_INJECT_AT_DOCUMENT_START, nullptr, nullptr);
  webkit_user_content_manager_add_script(FContent.get(), script);
  webkit_user_script_unref(script);
  const std::string signal = std::string("script-message-received::") + kBridgeHandlerName;
  g_signal_connect(FContent.get(), signal.c_str(), G_CALLBACK(OnScriptMessage), this);
  if (!webkit_user_content_manager_register_script_message_handler(FContent.get(),
                                                                   kBridgeHandlerName)) {
    return false;
  }

  FView = AdoptSunk(GTK_WIDGET(g_object_new(WEBKIT_TYPE_WEB_VIEW, "web-context", FContext.get(),
                                            "user-content-manager", FContent.get(), nullptr)));
  if (!FView) return false;
  // Until the page paints, show the window's black rather than a white flash.
  const GdkRGBA black{0, 0, 0, 1};
  webkit_web_view_set_background_color(WEBKIT_WEB_VIEW(FView.get()), &black);
  g_signal_connect(FView.get(), "decide-policy", G_CALLBACK(OnDecidePolicy), this);
  g_signal_connect(FView.get(), "create", G_CALLBACK(OnCreate), this);
  gtk_box_pack_start(GTK_BOX(FBox.get()), FView.get(), TRUE, TRUE, 0);
  gtk_widget_show(FView.get());
  return true;
}

void TWebKitSurface::NavigateToHtml(const std::string& AHtml) {
  if (!FView) return;
  FPageLoaded = true;
  webkit_web_view_load_html(WEBKIT_WEB_VIEW(FView.get()), AHtml.c_str(), nullptr);
}

void TWebKitSurface::ExecuteScript(const std::string& AScript) {
  if (!FView) return;
  GAsyncReadyCallback done = nullptr;
  if (startup_trace::WantsCompletion(AScript)) {
    done = [](GObject* view, GAsyncResult* result, gpointer) {
      GError* error = nullptr;
      JSCValue* value =
          webkit_web_view_evaluate_javascript_finish(WEBKIT_WEB_VIEW(view), result, &error);
      if (value != nullptr) g_object_unref(value);
      g_clear_error(&error);
      startup_trace::FirstGraphEvaluated();
    };
  }
  webkit_web_view_evaluate_javascript(WEBKIT_WEB_VIEW(FView.get()), AScript.data(),
                                      static_cast<gssize>(AScript.size()), nullptr, nullptr,
                                      nullptr, done, nullptr);
}

void TWebKitSurface::PostWebMessage(const std::string& AMessage) {
  ExecuteScript(MessageDeliveryScript(AMessage));
}

void TWebKitSurface::SetStatusText(const std::string& AText) {
  gtk_label_set_text(GTK_LABEL(FStatus), AText.c_str());
}

void TWebKitSurface::Guarded(const std::function<void()>& AHandler) {
  // Signal handlers are called from C; an exception must stop here.
  try {
    AHandler();
  } catch (const std::exception& error) {
    if (FOnError) FOnError(error.what());
  } catch (...) {
    if (FOnError) FOnError("An unexpected error occurred.");
  }
}

bool TWebKitSurface::FromLoadedPage() const {
  if (!FPageLoaded || !FView) return false;
  const char* uri = webkit_web_view_get_uri(WEBKIT_WEB_VIEW(FView.get()));
  return uri != nullptr && IsOwnPageUri(uri);
}

void TWebKitSurface::OnScriptMessage(WebKitUserContentManager*, WebKitJavascriptResult* AResult,
                                     gpointer ASelf) {
  auto* self = static_cast<TWebKitSurface*>(ASelf);
  if (!self->FromLoadedPage() || self->FListener == nullptr) return;
  G_GNUC_BEGIN_IGNORE_DEPRECATIONS
  JSCValue* value = webkit_javascript_result_get_js_value(AResult);
  G_GNUC_END_IGNORE_DEPRECATIONS
  if (!jsc_value_is_array(value)) return;

  GObjectPtr<JSCValue> nonce(jsc_value_object_get_property_at_index(value, 0));
  if (!nonce || !jsc_value_is_string(nonce.get())) return;
  gchar* nonceText = jsc_value_to_string(nonce.get());
  const bool ours = nonceText != nullptr && self->FNonce == nonceText;
  g_free(nonceText);
  if (!ours) return;

  std::optional<std::string> text;
  GObjectPtr<JSCValue> message(jsc_value_object_get_property_at_index(value, 1));
  if (message && jsc_value_is_string(message.get())) {
    // As bytes, so a NUL inside the text does not cut it short.
    GBytes* bytes = jsc_value_to_string_as_bytes(message.get());
    gsize size = 0;
    const auto* data = static_cast<const char*>(g_bytes_get_data(bytes, &size));
    text.emplace(data != nullptr ? data : "", size);
    g_bytes_unref(bytes);
  }
  self->Guarded([self, &text] { self->FListener->WebMessageReceived(text); });
}

gboolean TWebKitSurface::OnDecidePolicy(WebKitWebView* AView, WebKitPolicyDecision* ADecision,
                                        WebKitPolicyDecisionType AType, gpointer) {
  if (AType != WEBKIT_POLICY_DECISION_TYPE_NAVIGATION_ACTION &&
      AType != WEBKIT_POLICY_DECISION_TYPE_NEW_WINDOW_ACTION) {
    return FALSE;
  }
  WebKitNavigationAction* action = webkit_navigation_policy_decision_get_navigation_action(
      WEBKIT_NAVIGATION_POLICY_DECISION(ADecision));
  const char* uri = webkit_uri_request_get_uri(webkit_navigation_action_get_request(action));
  const std::string target = uri != nullptr ? uri : "";

  if (AType == WEBKIT_POLICY_DECISION_TYPE_NAVIGATION_ACTION && IsOwnPageUri(target)) {
    webkit_policy_decision_use(ADecision);
    return TRUE;
  }
  webkit_policy_decision_ignore(ADecision);
  if (AType == WEBKIT_POLICY_DECISION_TYPE_NEW_WINDOW_ACTION && MayOpenInBrowser(target)) {
    GtkWidget* top = gtk_widget_get_toplevel(GTK_WIDGET(AView));
    // Without a browser there is nothing to tell the user beyond the page staying as it is.
    gtk_show_uri_on_window(gtk_widget_is_toplevel(top) ? GTK_WINDOW(top) : nullptr, target.c_str(),
                           GDK_CURRENT_TIME, nullptr);
  }
  return TRUE;
}

GtkWidget* TWebKitSurface::OnCreate(WebKitWebView*, WebKitNavigationAction*, gpointer) {
  // New windows are refused in decide-policy; this only makes sure none is ever made.
  return nullptr;
}

}  // namespace twdesktop
