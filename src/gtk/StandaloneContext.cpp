#include "gtk/StandaloneContext.h"

#include <sys/stat.h>

#include <utility>

#include "gtk/ExecutableInfo.h"

namespace twdesktop {

std::string CliPathBeside(const std::string& AExePath) {
  const auto slash = AExePath.rfind('/');
  if (slash == std::string::npos) return kCliFileName;
  std::string candidate = AExePath.substr(0, slash + 1) + kCliFileName;
  struct stat info {};
  if (stat(candidate.c_str(), &info) == 0 && S_ISREG(info.st_mode)) return candidate;
  return kCliFileName;
}

TStandaloneContext::TStandaloneContext(std::string AWorkspace)
    : FWorkspace(std::move(AWorkspace)) {}

std::string TStandaloneContext::WorkspacePath() const {
  return FWorkspace;
}

std::string TStandaloneContext::CliPath() const {
  return CliPathBeside(OwnExecutablePath());
}

}  // namespace twdesktop
