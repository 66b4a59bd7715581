#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "core/CliRunner.h"
#include "view/MainThreadQueue.h"
#include "view/TarnwickContext.h"
#include "view/WebSurface.h"

namespace twdesktop {

// What a platform shell hands the frame when it makes one.
struct TFramePlatform {
  std::unique_ptr<IWebSurface> Surface;     // the web view and the status strip; the frame owns it
  std::shared_ptr<IMainThreadQueue> Queue;  // shared with the workers, which may outlive the frame
  std::function<std::string()> UserDataFolder;  // the per-user folder for the web view's data
  std::function<std::string()> LoadViewHtml;    // the page text; empty when the program has none
};

// The view frame: loads the page into the web surface, reads the page's messages and runs each
// action as a CLI command on a worker thread, answering the page on the main thread.
// Every public operation is for the main thread.
class TTarnwickFrame final : private IWebSurfaceListener {
 public:
  explicit TTarnwickFrame(TFramePlatform APlatform);
  ~TTarnwickFrame() override;
  TTarnwickFrame(const TTarnwickFrame&) = delete;
  TTarnwickFrame& operator=(const TTarnwickFrame&) = delete;

  void SetContext(std::shared_ptr<ITarnwickContext> AContext);
  void Activate();

 private:
  // The rest of the frame (fields, dispatcher, actions) is private; see TarnwickFrame.cpp.
  void WebViewCreated(bool ASucceeded) override;
  void WebMessageReceived(const std::optional<std::string>& AText) override;

  struct TState;
  std::unique_ptr<TState> FState;
};

}  // namespace twdesktop
