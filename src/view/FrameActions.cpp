#include "view/FrameActions.h"

#include <functional>
#include <optional>
#include <thread>
#include <utility>

#include "core/TextRules.h"
#include "core/WorkspaceDocuments.h"
#include "view/CliCommands.h"
#include "view/CliOutcome.h"
#include "view/FrameTexts.h"
#include "view/PageScripts.h"

namespace twdesktop {

namespace {

// One detached thread per call: nothing waits for a CLI run, and nothing can end one. An error
// inside the body ends the worker quietly, with nothing queued, so the strip keeps its starting
// text; a thread that cannot be started counts as such a worker.
void StartWorker(std::function<void()> ABody) {
  try {
    std::thread([Body = std::move(ABody)] {
      try {
        Body();
      } catch (...) {
      }
    }).detach();
  } catch (...) {
  }
}

}  // namespace

TFrameActions::TFrameActions(TPageChannel& APage, std::shared_ptr<IMainThreadQueue> AQueue)
    : FPage(APage), FPoster(std::move(AQueue)) {}

TFrameActions::~TFrameActions() {
  FPoster.Close();
}

void TFrameActions::SetRunner(std::shared_ptr<ICliRunner> ACli) {
  FCli = std::move(ACli);
}

void TFrameActions::RefreshStatus(const std::string& AWorkspaceId) {
  if (!FCli) return;
  TCliArgs Args = WorkspaceStatusCommand(AWorkspaceId);
  FPage.SetStatus("  " + CommandLineText(Args) + " ...");
  StartWorker([Cli = FCli, Poster = FPoster, Self = this, Args = std::move(Args)] {
    std::string Out;
    const bool Ok = Cli->Run(Args, Out);
    std::string Json = ExtractJson(Out);
    Poster.Post([Self, Ok, Out = std::move(Out), Json = std::move(Json)] {
      TPageChannel& Page = Self->FPage;
      if (!Ok) {
        Page.ShowError(CliNotFoundTitle(), CliNotFoundHint(), false);
        Page.SetStatus(kCliNotFound);
      } else if (!Json.empty()) {
        Page.ExecuteScript(LoadGraphScript(Json));
        Page.HideError();
        Page.SetStatus(kStatusUpdated);
      } else if (AsksForSignIn(Out)) {
        Page.ShowError(kNotLoggedInTitle, kNotLoggedInHint, true);
        Page.SetStatus(kStatusNoData);
      } else {
        Page.ShowError(kNothingClonedTitle, kNothingClonedHint, false);
        Page.SetStatus(kStatusNoData);
      }
    });
  });
}

void TFrameActions::LoadWorkspaces() {
  if (!FCli) return;
  StartWorker([Cli = FCli, Poster = FPoster, Self = this] {
    std::string Out;
    if (!Cli->Run(WorkspaceListCommand(), Out)) return;
    std::string Json = ExtractJson(Out);
    if (Json.empty()) return;
    std::vector<std::string> Ids = WorkspaceIds(Json);
    // Queued before the sweep starts, so the page has the list before any of its dots.
    Poster.Post(
        [Self, Json = std::move(Json)] { Self->FPage.ExecuteScript(LoadWorkspacesScript(Json)); });
    SweepStatus(Cli, Poster, Self, std::move(Ids));
  });
}

void TFrameActions::SweepStatus(std::shared_ptr<ICliRunner> ACli, TCompletionPoster APoster,
                                TFrameActions* AFrame, std::vector<std::string> AIds) {
  if (!ACli || AIds.empty()) return;
  StartWorker(
      [Cli = std::move(ACli), Poster = std::move(APoster), Self = AFrame, Ids = std::move(AIds)] {
        // One run at a time: the sweep never has two status commands running side by side.
        std::string Script;
        for (const std::string& Id : Ids) {
          std::string Out;
          if (!Cli->Run(WorkspaceStatusCommand(Id), Out)) continue;
          const std::string State = WorkspaceState(ExtractJson(Out));
          if (!State.empty()) Script += WorkspaceDotCall(Id, State);
        }
        if (Script.empty()) return;
        Poster.Post([Self, Script = std::move(Script)] { Self->FPage.ExecuteScript(Script); });
      });
}

void TFrameActions::DoLogin(const std::string& AToken) {
  if (!FCli) return;
  FPage.SetStatus(kLoginStarted);
  StartWorker([Cli = FCli, Poster = FPoster, Self = this, Token = AToken] {
    std::string Out;
    const bool Ok = Cli->Run(LoginCommand(Token), Out);
    const bool SignedIn = Ok && LoginSucceeded(Out);
    Poster.Post([Self, SignedIn] {
      if (!SignedIn) {
        // The card and its sign-in form stay, so another token can be pasted.
        Self->FPage.SetStatus(kLoginFailed);
        return;
      }
      Self->FPage.HideError();
      Self->FPage.SetStatus(kLoginOk);
      Self->LoadWorkspaces();
      Self->RefreshStatus("");
    });
  });
}

void TFrameActions::CloneWorkspace(const std::string& AWorkspaceId) {
  if (!FCli) return;
  FPage.SetStatus("  cloning workspace " + AWorkspaceId + " ...");
  StartWorker([Cli = FCli, Poster = FPoster, Self = this, Id = AWorkspaceId] {
    // Every read that shows a progress line queues its own update, repeats included; they all
    // precede the completion below, so the final text always replaces the last progress line.
    const auto OnProgress = [&Poster, Self](const std::string& AOutputSoFar) {
      std::optional<std::string> Line = LastProgressLine(AOutputSoFar);
      if (!Line) return;
      Poster.Post([Self, Line = std::move(*Line)] { Self->FPage.SetStatus("  cloning: " + Line); });
    };
    std::string Out;
    const bool Ok = Cli->RunStreaming(CloneCommand(Id), OnProgress, Out);
    std::string Summary = Ok ? SummaryLine(Out, kCloneDefault) : std::string();
    Poster.Post([Self, Ok, Id, Summary = std::move(Summary)] {
      if (!Ok) {
        Self->FPage.SetStatus(kCloneFailed);
        return;
      }
      // A clone the CLI reports as failed still ends here: its Summary line says so.
      Self->FPage.SetStatus("  " + Summary);
      Self->LoadWorkspaces();
      Self->RefreshStatus(Id);
    });
  });
}

void TFrameActions::PullWorkspace() {
  if (!FCli) return;
  FPage.SetStatus(kPullStarted);
  StartWorker([Cli = FCli, Poster = FPoster, Self = this] {
    std::string Out;
    const bool Ok = Cli->Run(UpdateCommand(), Out);
    Poster.Post([Self, Ok, Msg = SummaryLine(Out, kPullDefault)] {
      if (!Ok) {
        Self->FPage.SetStatus(kPullFailed);
        return;
      }
      Self->FPage.SetStatus("  " + Msg);
      Self->RefreshStatus("");
    });
  });
}

void TFrameActions::CommitWorkspace(const std::string& AMessage) {
  if (!FCli) return;
  FPage.SetStatus(kCommitStarted);
  StartWorker([Cli = FCli, Poster = FPoster, Self = this, Message = AMessage] {
    std::string Out;
    const bool Ok = Cli->Run(CommitCommand(Message), Out);
    Poster.Post([Self, Ok, Msg = SummaryLine(Out, kCommitDefault)] {
      if (!Ok) {
        Self->FPage.SetStatus(kCommitFailed);
        return;
      }
      Self->FPage.SetStatus("  " + Msg);
      Self->RefreshStatus("");
    });
  });
}

void TFrameActions::ShowDiff() {
  if (!FCli) return;
  FPage.SetStatus(kDiffStarted);
  StartWorker([Cli = FCli, Poster = FPoster, Self = this] {
    std::string Out;
    const bool Ok = Cli->Run(DiffCommand(), Out);
    Poster.Post([Self, Ok, Json = ExtractJson(Out)] {
      if (!Ok || Json.empty()) {
        Self->FPage.SetStatus(kDiffNoOutput);
        return;
      }
      Self->FPage.ExecuteScript(LoadDiffScript(Json));
      Self->FPage.SetStatus(kDiffLoaded);
    });
  });
}

void TFrameActions::RunNodeAction(const std::string& AAction, const std::string& ANode) {
  if (!FCli) {
    FPage.SetStatus(CliNotFoundStatus());
    return;
  }
  FPage.SetStatus("  running: tw workspace " + AAction + " ...");
  StartWorker([Cli = FCli, Poster = FPoster, Self = this, Action = AAction, Node = ANode] {
    std::string Out;
    const bool Ok = Cli->Run(NodeActionCommand(Action), Out);
    const std::vector<std::string> Lines = OutputLines(Out);
    std::string FirstLine = Lines.empty() ? std::string(kNoOutput) : Lines.front();
    Poster.Post([Self, Ok, Action, Node, FirstLine = std::move(FirstLine)] {
      if (!Ok) {
        Self->FPage.SetStatus(CliNotFoundStatus());
        return;
      }
      Self->FPage.SetStatus("  " + Action + "(" + Node + ")  ->  " + FirstLine);
      Self->FPage.PostWebMessage(ResultMessage(Node, Action));
    });
  });
}

}  // namespace twdesktop
