#include "gtk/UserDataFolder.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

namespace twdesktop {
namespace {

namespace fs = std::filesystem;

TEST(UserDataFolderTest, NamedAfterTheExecutableInsideTheCacheFolder) {
  struct Case {
    const char* CacheDir;
    const char* ExeName;
    const char* Expected;
  } cases[] = {
      {"/home/u/.cache", "twdesktop", "/home/u/.cache/Tarnwick-twdesktop"},
      {"/home/u/.cache/", "twdesktop", "/home/u/.cache/Tarnwick-twdesktop"},
      {"/home/u/.cache", "tw-copy.bin", "/home/u/.cache/Tarnwick-tw-copy"},
      {"/home/u/.cache", "tw.desktop.x", "/home/u/.cache/Tarnwick-tw.desktop"},
      {"", "twdesktop", "Tarnwick-twdesktop"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(UserDataFolderName(c.CacheDir, c.ExeName), c.Expected) << c.ExeName;
  }
}

class PrivateFolderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/twd-folder-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    FRoot = pattern;
  }
  void TearDown() override { fs::remove_all(FRoot); }

  static mode_t ModeOf(const fs::path& APath) {
    struct stat info {};
    EXPECT_EQ(stat(APath.c_str(), &info), 0);
    return info.st_mode & 0777;
  }

  fs::path FRoot;
};

TEST_F(PrivateFolderTest, CreatedWithItsParentsForTheUserAlone) {
  const fs::path folder = FRoot / "cache/deeper/Tarnwick-twdesktop";
  ASSERT_TRUE(EnsurePrivateFolder(folder.string()));
  EXPECT_TRUE(fs::is_directory(folder));
  EXPECT_EQ(ModeOf(folder), 0700u);
  // A second start finds it in place.
  EXPECT_TRUE(EnsurePrivateFolder(folder.string()));
}

TEST_F(PrivateFolderTest, AnExistingOpenFolderIsClosedToOthers) {
  const fs::path folder = FRoot / "Tarnwick-twdesktop";
  fs::create_directory(folder);
  chmod(folder.c_str(), 0777);
  ASSERT_TRUE(EnsurePrivateFolder(folder.string()));
  EXPECT_EQ(ModeOf(folder), 0700u);
}

TEST_F(PrivateFolderTest, RefusedWhenAFileIsInTheWay) {
  std::ofstream(FRoot / "file") << "x";
  EXPECT_FALSE(EnsurePrivateFolder((FRoot / "file").string()));
  EXPECT_FALSE(EnsurePrivateFolder((FRoot / "file/below").string()));
  EXPECT_FALSE(EnsurePrivateFolder(""));
}

}  // namespace
}  // namespace twdesktop
