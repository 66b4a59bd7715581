#include <errno.h>
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <string_view>
#include <utility>

#include "core/CliRunner.h"
#include "core/FileDescriptor.h"
#include "core/Utf8Decoder.h"

extern char** environ;

namespace twdesktop {

namespace {

constexpr size_t kReadBufferSize = 4096;

class TSpawnFileActions {
 public:
  TSpawnFileActions() { FOk = ::posix_spawn_file_actions_init(&FActions) == 0; }
  TSpawnFileActions(const TSpawnFileActions&) = delete;
  TSpawnFileActions& operator=(const TSpawnFileActions&) = delete;
  ~TSpawnFileActions() {
    if (FOk) ::posix_spawn_file_actions_destroy(&FActions);
  }

  bool Ok() const { return FOk; }
  posix_spawn_file_actions_t* Get() { return &FActions; }

 private:
  posix_spawn_file_actions_t FActions;
  bool FOk = false;
};

class TSpawnAttributes {
 public:
  TSpawnAttributes() { FOk = ::posix_spawnattr_init(&FAttr) == 0; }
  TSpawnAttributes(const TSpawnAttributes&) = delete;
  TSpawnAttributes& operator=(const TSpawnAttributes&) = delete;
  ~TSpawnAttributes() {
    if (FOk) ::posix_spawnattr_destroy(&FAttr);
  }

  bool Ok() const { return FOk; }
  posix_spawnattr_t* Get() { return &FAttr; }

 private:
  posix_spawnattr_t FAttr;
  bool FOk = false;
};

// Waits for the child on every way out of the call, so that no run leaves a zombie behind,
// also when the progress callback throws. The read end is closed first: a child blocked on a
// full pipe would otherwise never exit.
class TChildProcess {
 public:
  TChildProcess(pid_t APid, TFileDescriptor& AReadEnd) : FPid(APid), FReadEnd(AReadEnd) {}
  TChildProcess(const TChildProcess&) = delete;
  TChildProcess& operator=(const TChildProcess&) = delete;
  ~TChildProcess() {
    FReadEnd.Close();
    Wait();
  }

  void Wait() {
    if (FPid <= 0) return;
    int status = 0;
    while (::waitpid(FPid, &status, 0) < 0 && errno == EINTR) {
    }
    FPid = -1;
  }

 private:
  pid_t FPid;
  TFileDescriptor& FReadEnd;
};

// The child runs in another folder than ours, and a relative path would be resolved there
// after the change of folder. A caller that names "./bin/tw" means it from our own folder.
std::string ProgramPathFromHere(const std::string& APath) {
  if (APath.find('/') == std::string::npos || APath.front() == '/') return APath;
  std::string here(4096, '\0');
  while (::getcwd(here.data(), here.size()) == nullptr) {
    if (errno != ERANGE) return APath;
    here.resize(here.size() * 2);
  }
  here.resize(std::char_traits<char>::length(here.c_str()));
  return here + "/" + APath;
}

bool HasNul(std::string_view AText) {
  return AText.find('\0') != std::string_view::npos;
}

}  // namespace

TCliRunner::TCliRunner(std::string AExePath, std::string AWorkDir)
    : FExePath(std::move(AExePath)), FWorkDir(std::move(AWorkDir)) {}

bool TCliRunner::Run(const std::vector<std::string>& AArgs, std::string& AOutput) {
  return RunStreaming(AArgs, nullptr, AOutput);
}

bool TCliRunner::RunStreaming(const std::vector<std::string>& AArgs,
                              const TProgressCallback& AOnProgress, std::string& AOutput) {
  AOutput.clear();

  // An argument with a NUL byte cannot be handed over whole; cutting it short would run a
  // different command than the one asked for, so nothing runs.
  if (FExePath.empty() || HasNul(FExePath) || HasNul(FWorkDir)) return false;
  for (const auto& arg : AArgs) {
    if (HasNul(arg)) return false;
  }

  const std::string program = ProgramPathFromHere(FExePath);
  std::vector<char*> argv;
  argv.reserve(AArgs.size() + 2);
  argv.push_back(const_cast<char*>(FExePath.c_str()));
  for (const auto& arg : AArgs) argv.push_back(const_cast<char*>(arg.c_str()));
  argv.push_back(nullptr);

  // Close-on-exec from the start: a child that another thread starts while this call is
  // under way must not inherit our write end, or our read loop would wait for that child.
  int ends[2];
  if (::pipe2(ends, O_CLOEXEC) != 0) return false;
  TFileDescriptor readEnd(ends[0]);
  TFileDescriptor writeEnd(ends[1]);

  TSpawnFileActions actions;
  if (!actions.Ok()) return false;
  // dup2 onto 1 and 2 clears close-on-exec on those two copies only.
  if (::posix_spawn_file_actions_addopen(actions.Get(), 0, "/dev/null", O_RDONLY, 0) != 0 ||
      ::posix_spawn_file_actions_adddup2(actions.Get(), writeEnd.Get(), 1) != 0 ||
      ::posix_spawn_file_actions_adddup2(actions.Get(), writeEnd.Get(), 2) != 0) {
    return false;
  }
  // An empty working folder means "stay where we are".
  if (!FWorkDir.empty() &&
      ::posix_spawn_file_actions_addchdir_np(actions.Get(), FWorkDir.c_str()) != 0) {
    return false;
  }

  // The child starts with no blocked signals and default handlers, whatever this thread and
  // process have set up (a GUI toolkit may ignore SIGPIPE, which the CLI's own pipes rely on).
  TSpawnAttributes attributes;
  if (!attributes.Ok()) return false;
  sigset_t noSignals;
  sigset_t allSignals;
  sigemptyset(&noSignals);
  sigfillset(&allSignals);
  if (::posix_spawnattr_setsigmask(attributes.Get(), &noSignals) != 0 ||
      ::posix_spawnattr_setsigdefault(attributes.Get(), &allSignals) != 0 ||
      ::posix_spawnattr_setflags(attributes.Get(),
                                 POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF) != 0) {
    return false;
  }

  // posix_spawnp looks a bare name up on PATH and takes a name with a slash as a path. Its
  // result also covers the child's side: a missing working folder or a program that cannot
  // be executed is reported here, not as output.
  pid_t pid = -1;
  if (::posix_spawnp(&pid, program.c_str(), actions.Get(), attributes.Get(), argv.data(),
                     environ) != 0) {
    return false;
  }
  TChildProcess child(pid, readEnd);

  // From now on the output ends when the child and everything it passed the pipe to have
  // closed it.
  writeEnd.Close();

  TUtf8Decoder decoder;
  std::array<char, kReadBufferSize> buffer;
  for (;;) {
    const ssize_t n = ::read(readEnd.Get(), buffer.data(), buffer.size());
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    const size_t before = AOutput.size();
    decoder.Decode(std::string_view(buffer.data(), static_cast<size_t>(n)), AOutput);
    if (AOnProgress && AOutput.size() > before) AOnProgress(AOutput);
  }
  const size_t before = AOutput.size();
  decoder.Finish(AOutput);
  if (AOnProgress && AOutput.size() > before) AOnProgress(AOutput);

  readEnd.Close();
  child.Wait();
  return true;
}

}  // namespace twdesktop
