#include "view/TarnwickFrame.h"

#include <iostream>
#include <utility>

#include "core/BridgeMessage.h"
#include "view/BridgeRoute.h"
#include "view/FrameActions.h"
#include "view/PageChannel.h"

namespace twdesktop {

struct TTarnwickFrame::TState {
  explicit TState(TFramePlatform&& APlatform)
      : Page(std::move(APlatform.Surface)),
        Actions(Page, std::move(APlatform.Queue)),
        UserDataFolder(std::move(APlatform.UserDataFolder)),
        LoadViewHtml(std::move(APlatform.LoadViewHtml)) {}

  // Declared before the actions so that the actions, and with them every completion still on
  // its way, are shut off before the surface goes.
  TPageChannel Page;
  TFrameActions Actions;
  std::function<std::string()> UserDataFolder;
  std::function<std::string()> LoadViewHtml;
  std::shared_ptr<ITarnwickContext> Context;
  std::string ViewHtml;  // kept from activation for the navigation once the web view exists
  bool Activated = false;
};

TTarnwickFrame::TTarnwickFrame(TFramePlatform APlatform)
    : FState(std::make_unique<TState>(std::move(APlatform))) {}

TTarnwickFrame::~TTarnwickFrame() = default;

void TTarnwickFrame::SetContext(std::shared_ptr<ITarnwickContext> AContext) {
  FState->Context = std::move(AContext);
}

void TTarnwickFrame::Activate() {
  TState& S = *FState;
  // Without a context there is no CLI to run and no page to show: the frame stays inert.
  if (!S.Context || S.Activated) return;
  S.Activated = true;
  std::string CliPath = S.Context->CliPath();
  std::string WorkspacePath = S.Context->WorkspacePath();
  // The runner is in place before the web view can exist, so before any message can arrive.
  S.Actions.SetRunner(std::make_shared<TCliRunner>(std::move(CliPath), std::move(WorkspacePath)));
  const std::string Folder = S.UserDataFolder ? S.UserDataFolder() : std::string();
  S.ViewHtml = S.LoadViewHtml ? S.LoadViewHtml() : std::string();
  S.Page.StartCreation(Folder, *this);
}

void TTarnwickFrame::WebViewCreated(bool ASucceeded) {
  // A failed creation is final and silent: the strip keeps its text and nothing is retried.
  if (FState->Page.CreationEnded(ASucceeded)) FState->Page.NavigateToHtml(FState->ViewHtml);
}

namespace {

std::string OneLine(std::string AText) {
  for (char& C : AText) {
    if (C == '\n' || C == '\r') C = ' ';
  }
  return AText;
}

}  // namespace

void TTarnwickFrame::WebMessageReceived(const std::optional<std::string>& AText) {
  const TBridgeReadResult Read = ReadBridgeMessage(AText);
  if (Read.Kind == EBridgeRead::Ignored) return;
  if (Read.Kind == EBridgeRead::Rejected) {
    // Nothing runs and nothing reaches the page or the strip; the next message is handled as
    // usual. The line is there for whoever debugs the page.
    std::cerr << "twdesktop: page message rejected: " << OneLine(Read.Error) << '\n';
    return;
  }
  TFrameActions& Actions = FState->Actions;
  for (const TActionCall& Call : RouteBridgeMessage(Read.Message)) {
    switch (Call.Action) {
      case EFrameAction::LoadWorkspaces:
        Actions.LoadWorkspaces();
        break;
      case EFrameAction::RefreshStatus:
        Actions.RefreshStatus(Call.Argument);
        break;
      case EFrameAction::PullWorkspace:
        Actions.PullWorkspace();
        break;
      case EFrameAction::CommitWorkspace:
        Actions.CommitWorkspace(Call.Argument);
        break;
      case EFrameAction::ShowDiff:
        Actions.ShowDiff();
        break;
      case EFrameAction::CloneWorkspace:
        Actions.CloneWorkspace(Call.Argument);
        break;
      case EFrameAction::DoLogin:
        Actions.DoLogin(Call.Argument);
        break;
      case EFrameAction::RunNodeAction:
        Actions.RunNodeAction(Call.Argument, Call.Node);
        break;
    }
  }
}

}  // namespace twdesktop
