#pragma once

#include <memory>
#include <string>
#include <vector>

#include "core/CliRunner.h"
#include "view/CompletionPoster.h"
#include "view/MainThreadQueue.h"
#include "view/PageChannel.h"

namespace twdesktop {

// The frame's nine actions. Each public operation runs on the main thread, writes its starting
// text and starts one detached worker that runs the CLI; the worker hands its result back as one
// closure on the main thread, where every visible effect happens. Workers take along copies of
// what they use (the runner, the poster, their arguments) and never touch this object: only the
// closures they post do, and those do nothing once this object is gone.
class TFrameActions {
 public:
  TFrameActions(TPageChannel& APage, std::shared_ptr<IMainThreadQueue> AQueue);
  ~TFrameActions();
  TFrameActions(const TFrameActions&) = delete;
  TFrameActions& operator=(const TFrameActions&) = delete;

  // Set once, when the frame is activated; until then every action does nothing (the node
  // action says the CLI is missing).
  void SetRunner(std::shared_ptr<ICliRunner> ACli);

  void RefreshStatus(const std::string& AWorkspaceId);
  void LoadWorkspaces();
  void DoLogin(const std::string& AToken);
  void CloneWorkspace(const std::string& AWorkspaceId);
  void PullWorkspace();
  void CommitWorkspace(const std::string& AMessage);
  void ShowDiff();
  void RunNodeAction(const std::string& AAction, const std::string& ANode);

 private:
  // Runs on the list worker: starts the sweep's own worker, which asks for each workspace's
  // status one after the other and colours every dot with one script.
  static void SweepStatus(std::shared_ptr<ICliRunner> ACli, TCompletionPoster APoster,
                          TFrameActions* AFrame, std::vector<std::string> AIds);

  TPageChannel& FPage;
  TCompletionPoster FPoster;
  std::shared_ptr<ICliRunner> FCli;
};

}  // namespace twdesktop
