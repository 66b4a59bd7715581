#include <csignal>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "Commands.h"

int main(int argc, char** argv) {
  // A reader that goes away (the application closing mid-run) must not cut a commit or a clone
  // in half: output then fails quietly and the work goes on.
  std::signal(SIGPIPE, SIG_IGN);
  std::error_code error;
  const std::string workDir = std::filesystem::current_path(error).string();
  if (error) {
    std::puts("tw: the current folder cannot be read.");
    return tw::kExitFailed;
  }
  return tw::RunCommand(std::vector<std::string>(argv + 1, argv + argc), workDir);
}
