#include "view/BridgeRoute.h"

#include <gtest/gtest.h>

namespace twdesktop {
namespace {

using enum EFrameAction;

struct TRouteCase {
  const char* Name;
  TBridgeMessage Message;
  std::vector<TActionCall> Expected;
};

// Test names in listings show the case name, not the bytes of the case.
void PrintTo(const TRouteCase& ACase, std::ostream* AOut) {
  *AOut << ACase.Name;
}

class BridgeRouteTest : public testing::TestWithParam<TRouteCase> {};

TEST_P(BridgeRouteTest, CallsTheActionsOfTheFirstMatchingRow) {
  EXPECT_EQ(RouteBridgeMessage(GetParam().Message), GetParam().Expected);
}

INSTANTIATE_TEST_SUITE_P(
    Words, BridgeRouteTest,
    testing::Values(
        TRouteCase{"Ready", {"ready", "x"}, {{LoadWorkspaces, "", ""}, {RefreshStatus, "", ""}}},
        TRouteCase{
            "ReadyCapitals", {"READY", ""}, {{LoadWorkspaces, "", ""}, {RefreshStatus, "", ""}}},
        TRouteCase{"ReadyFirstCapital",
                   {"Ready", ""},
                   {{LoadWorkspaces, "", ""}, {RefreshStatus, "", ""}}},
        TRouteCase{"ReadyLeadingBlank", {" ready", "n"}, {{RunNodeAction, " ready", "n"}}},
        TRouteCase{"ReadyTrailingBlank", {"ready ", ""}, {{RunNodeAction, "ready ", ""}}},
        // Dotless capital I (U+0130) folds to i in some locales; here it is just another byte.
        TRouteCase{
            "NonAsciiLookalike", {"log\xC4\xB0n", "t"}, {{RunNodeAction, "log\xC4\xB0n", "t"}}},
        TRouteCase{"RefreshIgnoresNode", {"refresh-status", "ws9"}, {{RefreshStatus, "", ""}}},
        TRouteCase{"Pull", {"Pull-All", "n"}, {{PullWorkspace, "", ""}}},
        TRouteCase{
            "Commit", {"commit-all", "fix: a \"b\""}, {{CommitWorkspace, "fix: a \"b\"", ""}}},
        TRouteCase{"Diff", {"DIFF-ALL", "n"}, {{ShowDiff, "", ""}}},
        TRouteCase{"Switch", {"switch-workspace", "ws2"}, {{RefreshStatus, "ws2", ""}}},
        TRouteCase{"SwitchWithoutNode", {"switch-workspace", ""}, {{RefreshStatus, "", ""}}},
        TRouteCase{"Clone", {"clone-workspace", "ws3"}, {{CloneWorkspace, "ws3", ""}}},
        TRouteCase{"Login", {"Login", "twk_abc"}, {{DoLogin, "twk_abc", ""}}},
        TRouteCase{"NodeWordKeepsItsCase", {"STATUS", "n1"}, {{RunNodeAction, "STATUS", "n1"}}},
        TRouteCase{"UnknownWord", {"Action", ""}, {{RunNodeAction, "Action", ""}}},
        // What null, a number and true read as in a message.
        TRouteCase{"EmptyWord", {"", "n"}, {{RunNodeAction, "", "n"}}},
        TRouteCase{"NumberWord", {"7", "true"}, {{RunNodeAction, "7", "true"}}},
        TRouteCase{"TrueWord", {"true", ""}, {{RunNodeAction, "true", ""}}}),
    [](const testing::TestParamInfo<TRouteCase>& AInfo) { return AInfo.param.Name; });

}  // namespace
}  // namespace twdesktop
