#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace twdesktop {

// Receives the whole output read so far (never only the new piece, never an empty text).
// Called on the thread that runs the command, between two reads.
using TProgressCallback = std::function<void(const std::string& AOutputSoFar)>;

// Runs one command line of the companion CLI and captures what it prints.
//
// Every platform provides: the arguments are a list handed to the program as they are (no shell,
// no quoting by the caller); stdout and stderr arrive in one text in the order written; the
// child has no standard input and runs in the runner's working folder; the text is UTF-8 with
// no character lost or split at a read boundary. The exit code is never read.
class ICliRunner {
 public:
  virtual ~ICliRunner() = default;

  // True when the program was started; AOutput then holds everything it printed, whatever its
  // exit code. False, with AOutput empty, when the pipe or the process could not be created.
  virtual bool Run(const std::vector<std::string>& AArgs, std::string& AOutput) = 0;
  virtual bool RunStreaming(const std::vector<std::string>& AArgs,
                            const TProgressCallback& AOnProgress, std::string& AOutput) = 0;
};

class TCliRunner final : public ICliRunner {
 public:
  // AExePath: a path, or a bare name looked up on PATH. AWorkDir: the child's working folder.
  TCliRunner(std::string AExePath, std::string AWorkDir);

  bool Run(const std::vector<std::string>& AArgs, std::string& AOutput) override;
  bool RunStreaming(const std::vector<std::string>& AArgs, const TProgressCallback& AOnProgress,
                    std::string& AOutput) override;

  const std::string& ExePath() const { return FExePath; }
  const std::string& WorkDir() const { return FWorkDir; }

 private:
  const std::string FExePath;
  const std::string FWorkDir;
};

}  // namespace twdesktop
