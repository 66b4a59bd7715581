#include "Git.h"

#include <utility>

namespace tw {

TGit::TGit(std::string AWorkDir, std::vector<std::string> AExtraEnv)
    : FWorkDir(std::move(AWorkDir)), FExtraEnv(std::move(AExtraEnv)) {}

TProcessResult TGit::Run(const std::vector<std::string>& AArgs) const {
  return Run(AArgs, {});
}

TProcessResult TGit::Run(const std::vector<std::string>& AArgs,
                         const TProcessOptions& AOptions) const {
  std::vector<std::string> args = {"git",
                                   "-c",
                                   "credential.helper=",
                                   "-c",
                                   "protocol.allow=never",
                                   "-c",
                                   "protocol.file.allow=always",
                                   "-c",
                                   "core.quotePath=false"};
  args.insert(args.end(), AArgs.begin(), AArgs.end());
  TProcessOptions options = AOptions;
  if (options.WorkDir.empty()) options.WorkDir = FWorkDir;
  options.ExtraEnv.insert(options.ExtraEnv.begin(), FExtraEnv.begin(), FExtraEnv.end());
  for (const char* entry : {"GIT_TERMINAL_PROMPT=0", "GIT_ASKPASS=", "SSH_ASKPASS=",
                            "GIT_SSH_COMMAND=ssh -o BatchMode=yes", "LC_ALL=C"})
    options.ExtraEnv.emplace_back(entry);
  return RunProcess(args, options);
}

std::string TGit::Line(const std::vector<std::string>& AArgs) const {
  TProcessResult result = Run(AArgs);
  if (!result.Ok()) return {};
  std::string text = std::move(result.Out);
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
  return text;
}

std::string FirstErrorLine(const TProcessResult& AResult) {
  if (!AResult.Started) return "git could not be started (is it installed?)";
  for (const std::string* text : {&AResult.Err, &AResult.Out}) {
    size_t start = 0;
    while (start < text->size()) {
      size_t end = text->find('\n', start);
      if (end == std::string::npos) end = text->size();
      std::string line = text->substr(start, end - start);
      while (!line.empty() && (line.back() == '\r' || line.back() == ' ')) line.pop_back();
      if (!line.empty()) return line;
      start = end + 1;
    }
  }
  return "git exited with status " + std::to_string(AResult.ExitCode);
}

}  // namespace tw
