#include "gtk/ExecutableInfo.h"

#include <gtest/gtest.h>

namespace twdesktop {
namespace {

TEST(ExecutableInfoTest, OwnPathIsTheRunningTestProgram) {
  const std::string path = OwnExecutablePath();
  ASSERT_FALSE(path.empty());
  EXPECT_EQ(path.front(), '/');
  EXPECT_EQ(FileNameOf(path), "gtk_test");
}

TEST(ExecutableInfoTest, AReplacedExecutableKeepsItsName) {
  EXPECT_EQ(ExecutablePathFromLink("/opt/app/twdesktop (deleted)"), "/opt/app/twdesktop");
  EXPECT_EQ(ExecutablePathFromLink("/opt/app/twdesktop"), "/opt/app/twdesktop");
  EXPECT_EQ(ExecutablePathFromLink("/opt/my (deleted) app/twdesktop"),
            "/opt/my (deleted) app/twdesktop");
}

TEST(ExecutableInfoTest, NamesTakenFromAPath) {
  struct Case {
    const char* Path;
    const char* FileName;
    const char* Stem;
    const char* Title;
  } cases[] = {
      {"/opt/app/twdesktop", "twdesktop", "twdesktop", "twdesktop"},
      {"/opt/app/TwDesktop.bin", "TwDesktop.bin", "TwDesktop", "Twdesktop"},
      {"/opt/my.app/tw.desktop.bin", "tw.desktop.bin", "tw.desktop", "tw"},
      {"twdesktop", "twdesktop", "twdesktop", "twdesktop"},
      {"/opt/app/.hidden", ".hidden", ".hidden", ""},
      {"/opt/app/", "", "", ""},
  };
  for (const Case& c : cases) {
    const std::string name = FileNameOf(c.Path);
    EXPECT_EQ(name, c.FileName) << c.Path;
    EXPECT_EQ(WithoutExtension(name), c.Stem) << c.Path;
    EXPECT_EQ(ApplicationTitle(name), c.Title) << c.Path;
  }
}

}  // namespace
}  // namespace twdesktop
