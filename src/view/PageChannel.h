#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "view/WebSurface.h"

namespace twdesktop {

enum class EWebViewState { NotCreated, Creating, Created, Failed };

// The frame's one way to the page and the status strip. It remembers how far the web view got,
// because a script or a message is only handed over once the web view exists: before that, or
// after its creation failed, there is no page to receive it and it is dropped. The status strip
// exists from the start and always takes its text. Main thread only.
class TPageChannel {
 public:
  explicit TPageChannel(std::unique_ptr<IWebSurface> ASurface);

  EWebViewState State() const { return FState; }

  // Starts the web view's creation once; later calls do nothing.
  void StartCreation(const std::string& AUserDataFolder, IWebSurfaceListener& AListener);
  // Records the outcome of the creation under way; true when the web view now exists.
  bool CreationEnded(bool ASucceeded);

  void NavigateToHtml(const std::string& AHtml);
  void ExecuteScript(const std::string& AScript);
  void PostWebMessage(const std::string& AMessage);
  void SetStatus(std::string_view AText);

  // The page's error card.
  void ShowError(std::string_view ATitle, std::string_view AHint, bool AShowSignIn);
  void HideError();

 private:
  std::unique_ptr<IWebSurface> FSurface;
  EWebViewState FState = EWebViewState::NotCreated;
};

}  // namespace twdesktop
