#pragma once

#include <string>
#include <vector>

#include "Process.h"

namespace tw {

// Runs git in one folder so that it can neither prompt nor reach the network: the portal's
// repositories are local paths, so every transport but the local one is switched off, no
// credential helper runs and a terminal prompt fails at once instead of hanging the caller
// (the desktop application gives us no standard input).
class TGit {
 public:
  explicit TGit(std::string AWorkDir, std::vector<std::string> AExtraEnv = {});

  TProcessResult Run(const std::vector<std::string>& AArgs) const;
  TProcessResult Run(const std::vector<std::string>& AArgs, const TProcessOptions& AOptions) const;

  // Stdout with the trailing line feed removed; empty when git failed.
  std::string Line(const std::vector<std::string>& AArgs) const;

  const std::string& WorkDir() const { return FWorkDir; }

 private:
  std::string FWorkDir;
  std::vector<std::string> FExtraEnv;
};

// The first non-empty line of git's complaint, for a one-line report.
std::string FirstErrorLine(const TProcessResult& AResult);

}  // namespace tw
