#include "view/CliCommands.h"

#include <gtest/gtest.h>

namespace twdesktop {
namespace {

struct TCommandCase {
  const char* Name;
  TCliArgs Args;
  TCliArgs Expected;
  std::string Shown;
};

// Test names in listings show the case name, not the bytes of the case.
void PrintTo(const TCommandCase& ACase, std::ostream* AOut) {
  *AOut << ACase.Name;
}

class CliCommandsTest : public testing::TestWithParam<TCommandCase> {};

TEST_P(CliCommandsTest, PassesEachValueAsOneArgumentAndShowsThemJoinedByBlanks) {
  EXPECT_EQ(GetParam().Args, GetParam().Expected);
  EXPECT_EQ(CommandLineText(GetParam().Args), GetParam().Shown);
}

INSTANTIATE_TEST_SUITE_P(
    Commands, CliCommandsTest,
    testing::Values(
        TCommandCase{"OwnStatus",
                     WorkspaceStatusCommand(""),
                     {"workspace", "status", "--json"},
                     "workspace status --json"},
        TCommandCase{"OtherStatus",
                     WorkspaceStatusCommand("ws 1"),
                     {"workspace", "status", "ws 1", "--json"},
                     "workspace status ws 1 --json"},
        TCommandCase{"List",
                     WorkspaceListCommand(),
                     {"workspace", "list", "--json"},
                     "workspace list --json"},
        TCommandCase{"Login",
                     LoginCommand("twk_a b"),
                     {"login", "--token", "twk_a b"},
                     "login --token twk_a b"},
        TCommandCase{"Clone",
                     CloneCommand("ws;rm"),
                     {"workspace", "clone", "ws;rm"},
                     "workspace clone ws;rm"},
        TCommandCase{"Update", UpdateCommand(), {"workspace", "update"}, "workspace update"},
        TCommandCase{"Commit",
                     CommitCommand("say \"hi\"\nnow"),
                     {"workspace", "commit", "-m", "say \"hi\"\nnow"},
                     "workspace commit -m say \"hi\"\nnow"},
        TCommandCase{"EmptyCommitMessage",
                     CommitCommand(""),
                     {"workspace", "commit", "-m", ""},
                     "workspace commit -m "},
        TCommandCase{
            "Diff", DiffCommand(), {"workspace", "diff", "--json"}, "workspace diff --json"},
        TCommandCase{"NodeAction",
                     NodeActionCommand("push --force"),
                     {"workspace", "push --force"},
                     "workspace push --force"}),
    [](const testing::TestParamInfo<TCommandCase>& AInfo) { return AInfo.param.Name; });

}  // namespace
}  // namespace twdesktop
