#pragma once

#include <string>
#include <vector>

namespace tw {

// Exit codes of the tool.
enum TExit : int {
  kExitOk = 0,
  kExitFailed = 1,       // the command ran and something in it failed (see its output)
  kExitUsage = 2,        // the command line is not one the tool knows
  kExitSignedOut = 3,    // no sign-in, or the portal no longer accepts it
  kExitNoWorkspace = 4,  // the folder holds no workspace
};

// Runs one command line (the arguments after the program's name) in AWorkDir, printing to
// stdout, and returns the exit code.
int RunCommand(const std::vector<std::string>& AArgs, const std::string& AWorkDir);

}  // namespace tw
