#include "Process.h"

#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstring>

#include "core/FileDescriptor.h"

extern char** environ;

namespace tw {
namespace {

using TFd = twdesktop::TFileDescriptor;

struct TPipe {
  TFd Read, Write;
  bool Open() {
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0) return false;
    Read = TFd(fds[0]);
    Write = TFd(fds[1]);
    return true;
  }
};

class TFileActions {
 public:
  TFileActions() { FOk = ::posix_spawn_file_actions_init(&FActions) == 0; }
  ~TFileActions() {
    if (FOk) ::posix_spawn_file_actions_destroy(&FActions);
  }
  TFileActions(const TFileActions&) = delete;
  TFileActions& operator=(const TFileActions&) = delete;
  posix_spawn_file_actions_t* Get() { return &FActions; }
  bool Ok() const { return FOk; }

 private:
  posix_spawn_file_actions_t FActions{};
  bool FOk = false;
};

// Ours with AExtra laid over it; of two extras with one name the later wins.
std::vector<std::string> MergedEnvironment(const std::vector<std::string>& AExtra) {
  auto nameOf = [](const std::string& AEntry) { return AEntry.substr(0, AEntry.find('=')); };
  auto overridden = [&](const std::string& AName, size_t AFrom) {
    for (size_t i = AFrom; i < AExtra.size(); ++i)
      if (nameOf(AExtra[i]) == AName) return true;
    return false;
  };
  std::vector<std::string> env;
  for (char** e = environ; e && *e; ++e)
    if (!overridden(nameOf(*e), 0)) env.emplace_back(*e);
  for (size_t i = 0; i < AExtra.size(); ++i)
    if (!overridden(nameOf(AExtra[i]), i + 1)) env.push_back(AExtra[i]);
  return env;
}

std::vector<char*> PointerList(std::vector<std::string>& ATexts) {
  std::vector<char*> list;
  list.reserve(ATexts.size() + 1);
  for (std::string& text : ATexts) list.push_back(text.data());
  list.push_back(nullptr);
  return list;
}

}  // namespace

TProcessResult RunProcess(const std::vector<std::string>& AArgs, const TProcessOptions& AOptions) {
  TProcessResult result;
  if (AArgs.empty()) return result;

  TPipe out, err;
  if (!out.Open() || !err.Open()) return result;
  TFileActions actions;
  if (!actions.Ok()) return result;
  const std::string input = AOptions.StdinFile.empty() ? "/dev/null" : AOptions.StdinFile;
  ::posix_spawn_file_actions_addopen(actions.Get(), 0, input.c_str(), O_RDONLY, 0);
  ::posix_spawn_file_actions_adddup2(actions.Get(), out.Write.Get(), 1);
  ::posix_spawn_file_actions_adddup2(actions.Get(), err.Write.Get(), 2);
  if (!AOptions.WorkDir.empty())
    ::posix_spawn_file_actions_addchdir_np(actions.Get(), AOptions.WorkDir.c_str());

  std::vector<std::string> args = AArgs;
  std::vector<std::string> env = MergedEnvironment(AOptions.ExtraEnv);
  std::vector<char*> argv = PointerList(args);
  std::vector<char*> envp = PointerList(env);

  // We ignore SIGPIPE ourselves (a reader that goes away must not cut a commit in half); the
  // child gets the default back, as if started from a shell.
  posix_spawnattr_t attr;
  if (::posix_spawnattr_init(&attr) != 0) return result;
  sigset_t defaults;
  sigemptyset(&defaults);
  sigaddset(&defaults, SIGPIPE);
  ::posix_spawnattr_setsigdefault(&attr, &defaults);
  ::posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETSIGDEF);
  pid_t pid = -1;
  const int spawned = ::posix_spawnp(&pid, argv[0], actions.Get(), &attr, argv.data(), envp.data());
  ::posix_spawnattr_destroy(&attr);
  if (spawned != 0) return result;
  result.Started = true;
  out.Write.Close();
  err.Write.Close();
  if (AOptions.OnStarted) AOptions.OnStarted(pid);

  // Both pipes are drained together: a child that fills one while we block on the other would
  // never finish.
  pollfd fds[2] = {{out.Read.Get(), POLLIN, 0}, {err.Read.Get(), POLLIN, 0}};
  std::string* sinks[2] = {&result.Out, &result.Err};
  int open = 2;
  char buffer[4096];
  while (open > 0) {
    if (::poll(fds, 2, -1) < 0) {
      if (errno == EINTR) continue;
      break;
    }
    for (int i = 0; i < 2; ++i) {
      if (fds[i].fd < 0 || fds[i].revents == 0) continue;
      const ssize_t n = ::read(fds[i].fd, buffer, sizeof buffer);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) {
        fds[i].fd = -1;
        --open;
        continue;
      }
      sinks[i]->append(buffer, static_cast<size_t>(n));
      if (i == 0 && AOptions.OnStdout) AOptions.OnStdout(std::string(buffer, n));
    }
  }

  int status = 0;
  while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  if (WIFEXITED(status))
    result.ExitCode = WEXITSTATUS(status);
  else if (WIFSIGNALED(status))
    result.ExitCode = 128 + WTERMSIG(status);
  return result;
}

}  // namespace tw
