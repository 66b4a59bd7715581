#include "gtk/StandaloneContext.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

namespace twdesktop {
namespace {

namespace fs = std::filesystem;

class CliPathBesideTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/twd-context-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    FRoot = pattern;
  }
  void TearDown() override { fs::remove_all(FRoot); }

  void WriteFile(const fs::path& APath) {
    fs::create_directories(APath.parent_path());
    std::ofstream(APath) << "#!/bin/sh\n";
  }

  fs::path FRoot;
};

TEST_F(CliPathBesideTest, FullPathOnlyForARegularFileNextToTheExecutable) {
  // Each case: a folder laid out under the scratch root, and what CliPath gives for an
  // executable in it.
  WriteFile(FRoot / "with/tw");
  fs::create_directories(FRoot / "folder-named-tw/tw");
  fs::create_directories(FRoot / "without");
  WriteFile(FRoot / "with blanks here/tw");
  fs::create_directories(FRoot / "linked");
  fs::create_symlink(FRoot / "with/tw", FRoot / "linked/tw");

  struct Case {
    fs::path Folder;
    bool Found;
  } cases[] = {
      {FRoot / "with", true},     {FRoot / "folder-named-tw", false},
      {FRoot / "without", false}, {FRoot / "with blanks here", true},
      {FRoot / "linked", true},  // a link to a regular file is that file
  };
  for (const Case& c : cases) {
    const std::string exe = (c.Folder / "twdesktop").string();
    const std::string expected = c.Found ? (c.Folder / "tw").string() : std::string("tw");
    EXPECT_EQ(CliPathBeside(exe), expected) << exe;
  }
}

TEST_F(CliPathBesideTest, ACliInTheCurrentFolderIsNotTaken) {
  WriteFile(FRoot / "cwd/tw");
  fs::create_directories(FRoot / "bin");
  const fs::path previous = fs::current_path();
  fs::current_path(FRoot / "cwd");
  const std::string result = CliPathBeside((FRoot / "bin/twdesktop").string());
  fs::current_path(previous);
  EXPECT_EQ(result, "tw");
}

TEST(CliPathBesideNames, PathsWithoutAFolderGiveTheBareName) {
  EXPECT_EQ(CliPathBeside(""), "tw");
  EXPECT_EQ(CliPathBeside("twdesktop"), "tw");
}

TEST(StandaloneContextTest, WorkspacePathIsExactlyWhatWasGiven) {
  for (const std::string workspace : {"", "/", "/home/u/ws/", "/tmp/a b", "relative/x"}) {
    EXPECT_EQ(TStandaloneContext(workspace).WorkspacePath(), workspace);
  }
}

}  // namespace
}  // namespace twdesktop
