#include "Portal.h"

#include <gtest/gtest.h>

#include "TestPortal.h"

namespace tw::test {
namespace {

std::string Manifest(const std::string& AWorkspaces) {
  return R"({"name":"P","tokens":[{"token":"t1","name":"N","email":"e@x"}],"workspaces":[)" +
         AWorkspaces + "]}";
}

TEST(Portal, ReadsWorkspacesRootFirstWithTheirFolders) {
  TTempFolder dir;
  WriteFile(dir / "portal.json",
            Manifest(R"({"id":"w","name":"W","root":{"id":"app","repo":"r/app.git"},
                         "modules":[{"id":"lib","name":"Lib","repo":"r/lib.git"}]})"));
  std::string error;
  const std::optional<TPortal> portal = TPortal::Load(dir.Path(), error);
  ASSERT_TRUE(portal) << error;
  const TPortalWorkspace* ws = portal->FindWorkspace("w");
  ASSERT_NE(ws, nullptr);
  ASSERT_EQ(ws->Repos.size(), 2u);
  EXPECT_TRUE(ws->Repos[0].Root);
  EXPECT_EQ(ws->Repos[0].Folder, "app");
  EXPECT_EQ(ws->Repos[0].Name, "app") << "a missing name falls back to the id";
  EXPECT_EQ(ws->Repos[1].Folder, "modules/lib");
  EXPECT_EQ(ws->Repos[1].Remote, dir.Path() + "/r/lib.git");
  EXPECT_EQ(portal->UserForToken("t1")->Name, "N");
  EXPECT_FALSE(portal->UserForToken("t2"));
  EXPECT_FALSE(portal->UserForToken(""));
}

// Ids become folder names and repository paths are opened: neither may leave its place.
TEST(Portal, RefusesAManifestThatWouldReachOutsideItsFolders) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"parent id", R"({"id":"..","root":{"id":"a","repo":"a.git"}})"},
      {"path id", R"({"id":"w","root":{"id":"a/b","repo":"a.git"}})"},
      {"hidden id", R"({"id":"w","root":{"id":".git","repo":"a.git"}})"},
      {"empty id", R"({"id":"w","root":{"id":"","repo":"a.git"}})"},
      {"module id with a slash", R"({"id":"w","root":{"id":"a","repo":"a.git"},
                                     "modules":[{"id":"../../x","repo":"b.git"}]})"},
      {"root named modules", R"({"id":"w","root":{"id":"modules","repo":"a.git"}})"},
      {"absolute repo", R"({"id":"w","root":{"id":"a","repo":"/etc/a.git"}})"},
      {"repo above the portal", R"({"id":"w","root":{"id":"a","repo":"r/../../a.git"}})"},
      {"no root", R"({"id":"w"})"},
      {"two repos with one id", R"({"id":"w","root":{"id":"a","repo":"a.git"},
                                    "modules":[{"id":"a","repo":"b.git"}]})"},
      {"two workspaces with one id", R"({"id":"w","root":{"id":"a","repo":"a.git"}},
                                        {"id":"w","root":{"id":"b","repo":"b.git"}})"},
  };
  for (const auto& [name, workspaces] : cases) {
    TTempFolder dir;
    WriteFile(dir / "portal.json", Manifest(workspaces));
    std::string error;
    EXPECT_FALSE(TPortal::Load(dir.Path(), error)) << name;
    EXPECT_FALSE(error.empty()) << name;
  }
}

TEST(Portal, AFolderWithoutAManifestIsNoPortal) {
  TTempFolder dir;
  std::string error;
  EXPECT_FALSE(TPortal::Load(dir.Path(), error));
  EXPECT_NE(error.find("portal.json"), std::string::npos);
  WriteFile(dir / "portal.json", "[1,2]");
  EXPECT_FALSE(TPortal::Load(dir.Path(), error));
}

}  // namespace
}  // namespace tw::test
