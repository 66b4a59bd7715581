#include "gtk/NavigationRules.h"

#include <gtest/gtest.h>

namespace twdesktop {
namespace {

TEST(NavigationRulesTest, OnlyTheLoadedPageMayBeShown) {
  EXPECT_TRUE(IsOwnPageUri("about:blank"));
  for (const char* uri : {"https://portal.example/profile/tokens", "about:blank#x",
                          "file:///etc/passwd", "about:srcdoc", "data:text/html,x", ""}) {
    EXPECT_FALSE(IsOwnPageUri(uri)) << uri;
  }
}

TEST(NavigationRulesTest, OnlyWebAddressesGoToTheBrowser) {
  struct Case {
    const char* Uri;
    bool Opens;
  } cases[] = {
      {"https://portal.example/profile/tokens", true},
      {"http://portal.example/", true},
      {"HTTPS://PORTAL.EXAMPLE/", true},
      {"https://", false},
      {"file:///home/u/.ssh/id_rsa", false},
      {"javascript:alert(1)", false},
      {"about:blank", false},
      {"ssh://host", false},
      {"httpsx://host", false},
      {"", false},
  };
  for (const Case& c : cases) EXPECT_EQ(MayOpenInBrowser(c.Uri), c.Opens) << c.Uri;
}

}  // namespace
}  // namespace twdesktop
