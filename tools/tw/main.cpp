#include <fcntl.h>
#include <rapidjson/document.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "Commands.h"
#include "Files.h"

namespace {

// With TW_TRACE set, every finished run appends one line to that file: its arguments, folder
// and exit code. It shows what a program that drives tw (the application) asked and when.
void Trace(const std::vector<std::string>& AArgs, const std::string& AWorkDir, int AExit) {
  const char* path = std::getenv("TW_TRACE");
  if (!path || !*path) return;
  rapidjson::Document line(rapidjson::kObjectType);
  auto& alloc = line.GetAllocator();
  rapidjson::Value args(rapidjson::kArrayType);
  for (size_t i = 0; i < AArgs.size(); ++i) {
    // A trace is for looking at, not for lifting a sign-in from.
    std::string arg = AArgs[i];
    if (i > 0 && AArgs[i - 1] == "--token") arg = "(hidden)";
    if (arg.rfind("--token=", 0) == 0) arg = "--token=(hidden)";
    args.PushBack(rapidjson::Value(tw::ValidUtf8(arg).c_str(), alloc), alloc);
  }
  line.AddMember("args", args, alloc);
  line.AddMember("cwd", rapidjson::Value(tw::ValidUtf8(AWorkDir).c_str(), alloc), alloc);
  line.AddMember("exit", AExit, alloc);
  const std::string text = tw::ToJson(line) + "\n";
  // One write on an O_APPEND file: lines of runs that end together never interleave.
  const int fd = ::open(path, O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600);
  if (fd < 0) return;
  [[maybe_unused]] const ssize_t written = ::write(fd, text.data(), text.size());
  ::close(fd);
}

}  // namespace

int main(int argc, char** argv) {
  // A reader that goes away (the application closing mid-run) must not cut a commit or a clone
  // in half: output then fails quietly and the work goes on.
  (void)std::signal(SIGPIPE, SIG_IGN);
  std::error_code error;
  const std::string workDir = std::filesystem::current_path(error).string();
  if (error) {
    (void)std::puts("tw: the current folder cannot be read.");
    return tw::kExitFailed;
  }
  const std::vector<std::string> args(argv + 1, argv + argc);
  const int exit = tw::RunCommand(args, workDir);
  (void)std::fflush(stdout);
  Trace(args, workDir, exit);
  return exit;
}
