#pragma once

#include <string>

#include "view/TarnwickContext.h"

namespace twdesktop {

// The companion CLI's file name on this platform.
inline constexpr const char* kCliFileName = "tw";

// Where the CLI is for an executable at AExePath: "tw" in the executable's folder (the path up
// to its last "/") when a regular file of that name is there; otherwise the bare name "tw", which
// the runner looks up on PATH. A folder named tw does not count, and neither does a tw in the
// current folder.
std::string CliPathBeside(const std::string& AExePath);

// The context of the program started on its own: the workspace is the folder it was started in,
// the CLI is the one next to its executable.
class TStandaloneContext final : public ITarnwickContext {
 public:
  // AWorkspace is kept exactly as given: not checked, not normalised.
  explicit TStandaloneContext(std::string AWorkspace);

  std::string WorkspacePath() const override;
  // Looked up afresh on every call, so a CLI put next to the program later is found.
  std::string CliPath() const override;

 private:
  const std::string FWorkspace;
};

}  // namespace twdesktop
