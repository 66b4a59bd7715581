#include "WorkspaceFolder.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "TestPortal.h"

namespace tw::test {
namespace {

namespace fs = std::filesystem;

TPortalWorkspace Entry(const std::string& AId) {
  TPortalWorkspace entry{AId, AId, {}};
  entry.Repos.push_back({AId + "-app", AId + "-app", true, "/p/" + AId + "-app.git", AId + "-app"});
  entry.Repos.push_back({"lib", "lib", false, "/p/lib.git", "modules/lib"});
  return entry;
}

// Folders are given relative to a fresh temporary folder; "x/" makes a folder, "x" a file.
TEST(CloneTarget, NeverOverwritesOrNestsAWorkspace) {
  struct TCase {
    const char* Name;
    std::vector<std::string> Before;  // what exists before the clone
    std::string MarkedAs;             // a workspace marked at "ws" with this id
    std::string Start;
    std::string Target;
  };
  const std::vector<TCase> cases = {
      {"an empty folder takes the workspace", {"start/"}, "", "start", "start"},
      {"unrelated files do not stand in the way",
       {"start/notes.txt", "start/modules/other/x"},
       "",
       "start",
       "start"},
      {"a taken repository folder sends it one level down",
       {"start/a-app/README"},
       "",
       "start",
       "start/a"},
      {"a taken module folder too", {"start/modules/lib/x"}, "", "start", "start/a"},
      {"a file named modules too", {"start/modules"}, "", "start", "start/a"},
      {"one level down skips a taken name",
       {"start/a-app/README", "start/a/x"},
       "",
       "start",
       "start/a-2"},
      {"an empty folder of that name is fine",
       {"start/a-app/README", "start/a/"},
       "",
       "start",
       "start/a"},
      {"inside the same workspace: that workspace",
       {"ws/modules/lib/src/"},
       "a",
       "ws/modules/lib/src",
       "ws"},
      {"inside another workspace: beside it", {"ws/modules/lib/"}, "b", "ws/modules/lib", "a"},
      {"beside it, past a taken name", {"ws/", "a/x"}, "b", "ws", "a-2"},
  };
  const std::string portal = "/p";
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    TTempFolder root;
    for (const std::string& entry : c.Before) {
      if (entry.back() == '/') {
        fs::create_directories(root / entry);
      } else {
        WriteFile(root / entry, "x");
      }
    }
    if (!c.MarkedAs.empty()) {
      ASSERT_TRUE(MarkWorkspace(root / "ws", Entry(c.MarkedAs), portal));
    }
    EXPECT_EQ(CloneTarget(root / c.Start, Entry("a"), portal), root / c.Target);
  }
}

TEST(CloneTarget, ASecondCloneOfTheSameWorkspaceBesideAnotherReusesIt) {
  TTempFolder root;
  ASSERT_TRUE(MarkWorkspace(root / "ws", Entry("b"), "/p"));
  ASSERT_TRUE(MarkWorkspace(root / "a", Entry("a"), "/p"));
  EXPECT_EQ(CloneTarget(root / "ws", Entry("a"), "/p"), root / "a");
  // The same id from another portal is another workspace.
  EXPECT_EQ(CloneTarget(root / "ws", Entry("a"), "/q"), root / "a-2");
}

TEST(FindWorkspace, FindsTheNearestMarkedFolderUpwards) {
  TTempFolder root;
  ASSERT_TRUE(MarkWorkspace(root / "ws", Entry("a"), "/p"));
  fs::create_directories(root / "ws/modules/lib/deep");
  const std::optional<TWorkspaceHere> here = FindWorkspace(root / "ws/modules/lib/deep");
  ASSERT_TRUE(here);
  EXPECT_EQ(here->Folder, root / "ws");
  EXPECT_EQ(here->Id, "a");
  EXPECT_EQ(here->Portal, "/p");
  EXPECT_FALSE(FindWorkspace(root.Path()));
}

}  // namespace
}  // namespace tw::test
