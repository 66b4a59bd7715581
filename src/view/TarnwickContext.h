#pragma once

#include <string>

namespace twdesktop {

// Tells the frame where it works. The frame asks each question once, when it is activated.
class ITarnwickContext {
 public:
  virtual ~ITarnwickContext() = default;
  // The workspace folder: the working folder of every CLI command.
  virtual std::string WorkspacePath() const = 0;
  // The companion CLI: a full path, or a bare file name to be looked up on PATH.
  virtual std::string CliPath() const = 0;
};

}  // namespace twdesktop
