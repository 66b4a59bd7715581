#pragma once

#include <functional>
#include <string>
#include <vector>

namespace tw {

// What one finished child process left behind.
struct TProcessResult {
  bool Started = false;  // false: the pipes or the process could not be created
  int ExitCode = -1;     // the exit status; 128 + signal number when a signal ended it
  std::string Out;
  std::string Err;

  bool Ok() const { return Started && ExitCode == 0; }
};

struct TProcessOptions {
  std::string WorkDir;                // empty: the caller's working folder
  std::vector<std::string> ExtraEnv;  // "NAME=value" entries that replace or add to ours
  std::string StdinFile;              // what the child reads; empty: /dev/null
  // Called with each piece of stdout as it arrives (not the whole text so far).
  std::function<void(const std::string& APiece)> OnStdout;
  // Called once, right after the child started, with its process id.
  std::function<void(int APid)> OnStarted;
};

// Runs AArgs[0] (looked up on PATH) with the rest as its arguments, without a shell. The child
// reads nothing unless given a file (never a terminal: it must not wait for a user); stdout and
// stderr are captured apart, because callers of git need clean stdout and its exit status.
TProcessResult RunProcess(const std::vector<std::string>& AArgs,
                          const TProcessOptions& AOptions = {});

}  // namespace tw
