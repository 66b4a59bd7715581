#include "TestPortal.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "DemoPortal.h"

namespace tw::test {

namespace fs = std::filesystem;

TTempFolder::TTempFolder() {
  std::string pattern = (fs::temp_directory_path() / "tw-test-XXXXXX").string();
  if (::mkdtemp(pattern.data()) == nullptr) ADD_FAILURE() << "mkdtemp failed";
  FPath = pattern;
}

TTempFolder::~TTempFolder() {
  std::error_code error;
  fs::remove_all(FPath, error);
}

namespace {

// The demo portal takes a few seconds to make; every test copies one instead: the one CTest
// made before the tests (TW_TEST_PORTAL_TEMPLATE), or one made once per test program.
const std::string& DemoPortalTemplate() {
  if (const char* made = std::getenv("TW_TEST_PORTAL_TEMPLATE")) {
    static const std::string path = made;
    if (fs::exists(path + "/portal.json")) return path;
  }
  static TTempFolder folder;
  static const std::string path = [] {
    std::string error;
    std::string dir = folder / "portal";
    if (!CreateDemoPortal(dir, error)) ADD_FAILURE() << "demo portal: " << error;
    return dir;
  }();
  return path;
}

const std::vector<std::string> kIdentity = {
    "GIT_AUTHOR_NAME=Colleague", "GIT_AUTHOR_EMAIL=colleague@demo.invalid",
    "GIT_COMMITTER_NAME=Colleague", "GIT_COMMITTER_EMAIL=colleague@demo.invalid"};

}  // namespace

TTwWorld::TTwWorld() {
  // No identity of any kind reaches tw: its commits must fall back to the portal's user.
  for (const char* name : {"GIT_AUTHOR_NAME", "GIT_AUTHOR_EMAIL", "GIT_COMMITTER_NAME",
                           "GIT_COMMITTER_EMAIL", "EMAIL", "TW_PORTAL", "TW_HOME"})
    ::unsetenv(name);
  fs::copy(DemoPortalTemplate(), Portal(), fs::copy_options::recursive);
  for (const std::string& folder : {Home(), Work(), Scratch()}) fs::create_directories(folder);
}

std::vector<std::string> TTwWorld::Environment() const {
  return {"TW_PORTAL=" + Portal(),
          "TW_HOME=" + StateFolder(),
          "HOME=" + Home(),
          "XDG_CONFIG_HOME=" + Home() + "/.config",
          "XDG_DATA_HOME=" + Home() + "/.local/share",
          "GIT_CONFIG_NOSYSTEM=1",
          "GIT_CONFIG_GLOBAL=" + Home() + "/.gitconfig"};
}

TProcessResult TTwWorld::Tw(const std::vector<std::string>& AArgs, const std::string& AWorkDir,
                            TProcessOptions AOptions) const {
  std::vector<std::string> args = {TW_BINARY};
  args.insert(args.end(), AArgs.begin(), AArgs.end());
  AOptions.WorkDir = AWorkDir.empty() ? Work() : AWorkDir;
  std::vector<std::string> env = Environment();
  AOptions.ExtraEnv.insert(AOptions.ExtraEnv.begin(), env.begin(), env.end());
  return RunProcess(args, AOptions);
}

TProcessResult TTwWorld::Git(const std::string& AWorkDir,
                             const std::vector<std::string>& AArgs) const {
  std::vector<std::string> args = {"git"};
  args.insert(args.end(), AArgs.begin(), AArgs.end());
  TProcessOptions options;
  options.WorkDir = AWorkDir;
  options.ExtraEnv = Environment();
  options.ExtraEnv.insert(options.ExtraEnv.end(), kIdentity.begin(), kIdentity.end());
  return RunProcess(args, options);
}

std::string TTwWorld::GitLine(const std::string& AWorkDir,
                              const std::vector<std::string>& AArgs) const {
  const TProcessResult result = Git(AWorkDir, AArgs);
  EXPECT_TRUE(result.Ok()) << "git failed in " << AWorkDir << ": " << result.Err;
  std::string text = result.Out;
  while (!text.empty() && text.back() == '\n') text.pop_back();
  return text;
}

void TTwWorld::SignIn() const {
  const TProcessResult result = Tw({"login", "--token", kDemoToken});
  ASSERT_EQ(result.ExitCode, 0) << result.Out;
}

std::string TTwWorld::CloneInto(const std::string& AId, const std::string& AFolder) const {
  std::string folder = Path(AFolder);
  fs::create_directories(folder);
  const TProcessResult result = Tw({"workspace", "clone", AId}, folder);
  EXPECT_EQ(result.ExitCode, 0) << result.Out;
  return folder;
}

void TTwWorld::PushColleagueCommit(const std::string& ABareRelative,
                                   const std::string& AFile) const {
  const std::string scratch = Scratch() + "/" + fs::path(ABareRelative).stem().string();
  fs::remove_all(scratch);
  ASSERT_TRUE(Git(Scratch(), {"clone", "-q", Portal() + "/" + ABareRelative, scratch}).Ok());
  WriteFile(scratch + "/" + AFile, "from a colleague\n");
  ASSERT_TRUE(Git(scratch, {"add", "-A"}).Ok());
  ASSERT_TRUE(Git(scratch, {"commit", "-q", "-m", "Colleague's change"}).Ok());
  ASSERT_TRUE(Git(scratch, {"push", "-q", "origin", "main"}).Ok());
}

void WriteFile(const std::string& APath, const std::string& AText) {
  fs::create_directories(fs::path(APath).parent_path());
  std::ofstream(APath, std::ios::binary | std::ios::trunc) << AText;
}

std::string ReadFile(const std::string& APath) {
  std::ifstream in(APath, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

std::vector<std::string> Lines(const std::string& AText) {
  std::vector<std::string> lines;
  std::istringstream in(AText);
  std::string line;
  while (std::getline(in, line))
    if (!line.empty()) lines.push_back(line);
  return lines;
}

std::string LowerAscii(std::string AText) {
  for (char& c : AText)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return AText;
}

}  // namespace tw::test
