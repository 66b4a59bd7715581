#pragma once

#include <gtk/gtk.h>
#include <webkit2/webkit2.h>

#include <functional>
#include <string>

#include "gtk/GObjectPtr.h"
#include "view/WebSurface.h"

namespace twdesktop {

// The frame's visible part on GTK: a vertical box with the WebKit web view above the 28-pixel
// status strip. The host window packs Widget(); the frame owns the surface.
class TWebKitSurface final : public IWebSurface {
 public:
  // Told about an error that escaped a handler of the web view's signals.
  using TErrorSink = std::function<void(const std::string& AMessage)>;

  explicit TWebKitSurface(TErrorSink AOnError);
  ~TWebKitSurface() override;
  TWebKitSurface(const TWebKitSurface&) = delete;
  TWebKitSurface& operator=(const TWebKitSurface&) = delete;

  GtkWidget* Widget() const { return FBox.get(); }

  void StartCreation(const std::string& AUserDataFolder, IWebSurfaceListener& AListener) override;
  void NavigateToHtml(const std::string& AHtml) override;
  void ExecuteScript(const std::string& AScript) override;
  void PostWebMessage(const std::string& AMessage) override;
  void SetStatusText(const std::string& AText) override;

 private:
  bool CreateView(const std::string& AUserDataFolder);
  void ReportCreated(bool ASucceeded);
  void Guarded(const std::function<void()>& AHandler);
  bool FromLoadedPage() const;

  static void OnScriptMessage(WebKitUserContentManager* AManager, WebKitJavascriptResult* AResult,
                              gpointer ASelf);
  static gboolean OnDecidePolicy(WebKitWebView* AView, WebKitPolicyDecision* ADecision,
                                 WebKitPolicyDecisionType AType, gpointer ASelf);
  static GtkWidget* OnCreate(WebKitWebView* AView, WebKitNavigationAction* AAction, gpointer ASelf);

  TErrorSink FOnError;
  GObjectPtr<GtkWidget> FBox;
  GtkWidget* FStatus = nullptr;  // owned by FBox
  GObjectPtr<WebKitUserContentManager> FContent;
  GObjectPtr<WebKitWebContext> FContext;
  GObjectPtr<GtkWidget> FView;
  IWebSurfaceListener* FListener = nullptr;
  std::string FNonce;
  bool FPageLoaded = false;  // NavigateToHtml has been called
  bool FCreationOk = false;
  guint FCreatedSource = 0;
};

}  // namespace twdesktop
