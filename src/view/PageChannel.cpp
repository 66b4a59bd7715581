#include "view/PageChannel.h"

#include <utility>

#include "view/PageScripts.h"

namespace twdesktop {

TPageChannel::TPageChannel(std::unique_ptr<IWebSurface> ASurface) : FSurface(std::move(ASurface)) {}

void TPageChannel::StartCreation(const std::string& AUserDataFolder,
                                 IWebSurfaceListener& AListener) {
  if (FState != EWebViewState::NotCreated) return;
  // Set before the call: the outcome must find the channel waiting for it.
  FState = EWebViewState::Creating;
  FSurface->StartCreation(AUserDataFolder, AListener);
}

bool TPageChannel::CreationEnded(bool ASucceeded) {
  if (FState != EWebViewState::Creating) return false;
  FState = ASucceeded ? EWebViewState::Created : EWebViewState::Failed;
  return ASucceeded;
}

void TPageChannel::NavigateToHtml(const std::string& AHtml) {
  if (FState == EWebViewState::Created) FSurface->NavigateToHtml(AHtml);
}

void TPageChannel::ExecuteScript(const std::string& AScript) {
  if (FState == EWebViewState::Created) FSurface->ExecuteScript(AScript);
}

void TPageChannel::PostWebMessage(const std::string& AMessage) {
  if (FState == EWebViewState::Created) FSurface->PostWebMessage(AMessage);
}

void TPageChannel::SetStatus(std::string_view AText) {
  FSurface->SetStatusText(std::string(AText));
}

void TPageChannel::ShowError(std::string_view ATitle, std::string_view AHint, bool AShowSignIn) {
  ExecuteScript(ShowErrorScript(ATitle, AHint, AShowSignIn));
}

void TPageChannel::HideError() {
  ExecuteScript(HideErrorScript());
}

}  // namespace twdesktop
