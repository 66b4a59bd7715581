#include "view/TarnwickFrame.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "view/FrameTestKit.h"

namespace twdesktop {
namespace {

using namespace testkit;

using TArgs = std::vector<std::string>;

std::string Scenario(const std::string& ARules, const std::string& ADefaultOutput = "ok\n") {
  return "{\"rules\":[" + ARules + "],\"default\":{\"output\":" + Quoted(ADefaultOutput) + "}}";
}

std::vector<TArgs> Sorted(std::vector<TArgs> ARuns) {
  std::sort(ARuns.begin(), ARuns.end());
  return ARuns;
}

TEST(TarnwickFrameTest, ActivationAsksTheContextThenCreatesTheWebViewAndShowsThePageOnSuccess) {
  TFakeCli Cli;
  Cli.SetScenario(Scenario(""));
  TFrameHarness Frame(Cli, {.CreateWebView = false});
  EXPECT_EQ(*Frame.Asked, (TArgs{"CliPath", "WorkspacePath", "UserDataFolder", "LoadViewHtml"}));
  ASSERT_EQ(Frame.Log->Events.size(), 1u);
  EXPECT_EQ(Frame.Log->Events[0].Kind, ESurfaceEvent::Creation);
  EXPECT_EQ(Frame.Log->Events[0].Text, kUserDataFolder);

  Frame.Log->Listener->WebViewCreated(true);
  ASSERT_EQ(Frame.Log->Events.size(), 2u);
  EXPECT_EQ(Frame.Log->Events[1].Kind, ESurfaceEvent::Navigate);
  EXPECT_EQ(Frame.Log->Events[1].Text, kPageHtml);

  // The runner came from the context: its CLI, run in its workspace folder.
  Frame.Send(R"({"action":"refresh-status"})");
  Frame.Settle();
  const std::vector<TLoggedRun> Runs = Cli.Runs();
  ASSERT_EQ(Runs.size(), 1u);
  EXPECT_EQ(Runs[0].Args, (TArgs{"workspace", "status", "--json"}));
  EXPECT_EQ(Runs[0].Cwd, Cli.WorkspacePath());
}

TEST(TarnwickFrameTest, ActivationWithoutAContextDoesNothingAtAll) {
  TFakeCli Cli;
  TFrameHarness Frame(Cli, {.WithContext = false});
  EXPECT_TRUE(Frame.Asked->empty());
  EXPECT_TRUE(Frame.Log->Events.empty());
  EXPECT_EQ(Frame.Log->Listener, nullptr);
}

// Until the web view exists, and for good once its creation failed, the page cannot take a
// script or a message; the status strip still reports every step.
TEST(TarnwickFrameTest, ScriptsAndMessagesAreDroppedUntilTheWebViewExists) {
  for (const bool CreationFails : {false, true}) {
    SCOPED_TRACE(CreationFails ? "creation failed" : "creation under way");
    TFakeCli Cli;
    Cli.SetScenario(
        Scenario(R"({"args":"workspace status --json","output":"please login"})", "first line\n"));
    TFrameHarness Frame(Cli, {.CreateWebView = false});
    if (CreationFails) Frame.Log->Listener->WebViewCreated(false);
    Frame.Send(R"({"action":"refresh-status"})");
    Frame.Send(R"({"action":"status","node":"n1"})");
    Frame.Settle();
    EXPECT_TRUE(Frame.Log->Scripts().empty());
    EXPECT_TRUE(Frame.Log->Messages().empty());
    EXPECT_TRUE(Frame.Log->Texts(ESurfaceEvent::Navigate).empty());
    const std::vector<std::string> Statuses = Frame.Log->Statuses();
    EXPECT_NE(std::find(Statuses.begin(), Statuses.end(), "  status: no data."), Statuses.end());
    EXPECT_NE(std::find(Statuses.begin(), Statuses.end(), "  status(n1)  ->  first line"),
              Statuses.end());

    if (!CreationFails) {
      // Once created, the same requests reach the page.
      Frame.Log->Listener->WebViewCreated(true);
      Frame.Send(R"({"action":"refresh-status"})");
      Frame.Send(R"({"action":"status","node":"n1"})");
      Frame.Settle();
      EXPECT_EQ(Frame.Log->Scripts().size(), 1u);
      EXPECT_EQ(Frame.Log->Messages().size(), 1u);
    }
  }
}

TEST(TarnwickFrameTest, RejectedMessagesRunNothingSayWhyOnStandardErrorAndLaterOnesStillWork) {
  TFakeCli Cli;
  Cli.SetScenario(Scenario(""));
  TFrameHarness Frame(Cli);
  const size_t EventsBefore = Frame.Log->Events.size();
  for (const char* Text : {R"({"node":"x"})", R"({"Action":"ready"})", R"({"action":{"a":1}})",
                           R"({"action":["ready"],"node":"x"})"}) {
    testing::internal::CaptureStderr();
    Frame.Send(Text);
    const std::string Said = testing::internal::GetCapturedStderr();
    EXPECT_FALSE(Said.empty()) << Text;
    EXPECT_EQ(std::count(Said.begin(), Said.end(), '\n'), 1) << Said;
    EXPECT_EQ(Said.back(), '\n') << Said;
  }
  for (const std::optional<std::string>& Text : std::vector<std::optional<std::string>>{
           std::nullopt, "", "not json", R"([{"action":"ready"}])", R"("ready")",
           R"({"action":"ready"}{"action":"ready"})", R"({"action":"ready",})", "null"}) {
    testing::internal::CaptureStderr();
    Frame.Send(Text);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "") << Text.value_or("(not a string)");
  }
  Frame.Settle();
  EXPECT_EQ(Frame.Log->Events.size(), EventsBefore);
  EXPECT_TRUE(Cli.Runs().empty());

  Frame.Send(" \r\n\t{\"action\":\"refresh-status\"} \n");
  Frame.Settle();
  EXPECT_EQ(Cli.RunArgs(), (std::vector<TArgs>{{"workspace", "status", "--json"}}));
}

struct TDispatchCase {
  const char* Name;
  const char* Message;
  std::vector<TArgs> Runs;  // in any order: actions of one message run side by side
};

// Test names in listings show the case name, not the bytes of the case.
void PrintTo(const TDispatchCase& ACase, std::ostream* AOut) {
  *AOut << ACase.Name;
}

class FrameDispatchTest : public testing::TestWithParam<TDispatchCase> {};

TEST_P(FrameDispatchTest, RunsTheCommandsOfTheRoutedActions) {
  TFakeCli Cli;
  Cli.SetScenario(Scenario(""));
  TFrameHarness Frame(Cli);
  Frame.Send(GetParam().Message);
  Frame.Settle();
  EXPECT_EQ(Sorted(Cli.RunArgs()), Sorted(GetParam().Runs));
}

INSTANTIATE_TEST_SUITE_P(
    Messages, FrameDispatchTest,
    testing::Values(
        TDispatchCase{"ReadyAnyCase",
                      R"({"action":"rEaDy"})",
                      {{"workspace", "list", "--json"}, {"workspace", "status", "--json"}}},
        TDispatchCase{"ReadyWithBlank", R"({"action":" ready"})", {{"workspace", " ready"}}},
        TDispatchCase{"SwitchWithoutNode",
                      R"({"action":"switch-workspace"})",
                      {{"workspace", "status", "--json"}}},
        TDispatchCase{"SwitchToOther",
                      R"({"node":"ws2","action":"switch-workspace"})",
                      {{"workspace", "status", "ws2", "--json"}}},
        TDispatchCase{"NumberAction", R"({"action":7,"node":true})", {{"workspace", "7"}}},
        TDispatchCase{"NullAction", R"({"action":null})", {{"workspace", ""}}},
        TDispatchCase{"FirstOfTwoActions",
                      R"({"action":"diff-all","node":"msg","action":"pull-all"})",
                      {{"workspace", "diff", "--json"}}},
        TDispatchCase{"ObjectNodeReadsEmpty",
                      R"({"action":"login","node":{"t":1}})",
                      {{"login", "--token", ""}}},
        TDispatchCase{
            "CapitalisedNodeWord", R"({"action":"STATUS","node":"n"})", {{"workspace", "STATUS"}}}),
    [](const testing::TestParamInfo<TDispatchCase>& AInfo) { return AInfo.param.Name; });

// Nothing ends a running CLI, so a window closed mid-run leaves workers behind: they must end on
// their own and their completions must not reach the surface of the frame that is gone.
TEST(TarnwickFrameTest, DestroyingTheFrameWhileTheCliRunsKeepsItsCompletionsAway) {
  struct TCase {
    const char* Message;
    const char* Rule;
  } Cases[] = {
      {R"({"action":"pull-all"})",
       R"({"args":"workspace update","delay_ms":800,"output":"Summary: done\n"})"},
      {R"({"action":"clone-workspace","node":"ws1"})",
       R"({"args":"workspace clone ws1","chunks":[{"delay_ms":400,"text":"[1/2] a\n"},
           {"delay_ms":400,"text":"[2/2] b\n"}]})"},
  };
  for (const TCase& Case : Cases) {
    SCOPED_TRACE(Case.Message);
    TFakeCli Cli;
    Cli.SetScenario(Scenario(Case.Rule));
    TFrameHarness Frame(Cli);
    Frame.Send(Case.Message);
    const size_t EventsAtClose = Frame.Log->Events.size();
    Frame.DestroyFrame();
    ASSERT_TRUE(WaitForWorkersToEnd(Frame.Queue, 1));
    EXPECT_GE(Frame.Queue->Posted(), 1u) << "the worker should have posted its completion";
    Frame.Queue->RunPending();
    EXPECT_EQ(Frame.Log->Events.size(), EventsAtClose);
    EXPECT_EQ(Cli.Runs().size(), 1u);
  }
}

// Values from the page and from the CLI that would break a script, a message or a command
// line if they went in as they came.
const std::vector<std::string> kHostileValues = {
    "a\"b",
    "back\\slash\\",
    "\");alert(1);(\"",
    "</script><script>alert(1)</script>",
    "line\u2028sep\u2029para",
    "two words --json",
    "line1\nline2\r\n",
    "-m",
    "'single' `tick` $(echo x)",
};

// A page message from the JSON texts of its two members.
std::string MessageText(const std::string& AActionJson, const std::string& ANodeJson) {
  std::string Text = "{\"action\":";
  Text += AActionJson;
  Text += ",\"node\":";
  Text += ANodeJson;
  Text += '}';
  return Text;
}

bool Contains(const std::vector<std::string>& AList, const std::string& AText) {
  return std::find(AList.begin(), AList.end(), AText) != AList.end();
}

TEST(TarnwickFrameTest, HostileValuesStayOneArgumentAndOneLiteral) {
  for (const std::string& Value : kHostileValues) {
    SCOPED_TRACE(testing::PrintToString(Value));
    TFakeCli Cli;
    Cli.SetScenario(Scenario(R"({"args":"workspace list --json","output":)" +
                                 Quoted(R"({"workspaces":[{"id":)" + Quoted(Value) + "}]}") + "}",
                             R"({"nodes":[{"dirty":true}]})"));
    TFrameHarness Frame(Cli);
    const std::string Node = Quoted(Value);
    for (const std::string& Action :
         {"switch-workspace", "login", "commit-all", "clone-workspace", "ready"}) {
      Frame.Send(MessageText(Quoted(Action), Node));
    }
    Frame.Send(MessageText(Node, Node));
    Frame.Settle();

    const std::vector<TArgs> Allowed = {{"workspace", "list", "--json"},
                                        {"workspace", "status", "--json"},
                                        {"workspace", "status", Value, "--json"},
                                        {"login", "--token", Value},
                                        {"workspace", "commit", "-m", Value},
                                        {"workspace", "clone", Value},
                                        {"workspace", Value}};
    const std::vector<TArgs> Runs = Cli.RunArgs();
    for (const TArgs& Must : {Allowed[2], Allowed[3], Allowed[4], Allowed[5], Allowed[6]}) {
      EXPECT_NE(std::find(Runs.begin(), Runs.end(), Must), Runs.end())
          << testing::PrintToString(Must);
    }
    for (const TArgs& Run : Runs) {
      EXPECT_NE(std::find(Allowed.begin(), Allowed.end(), Run), Allowed.end())
          << "unexpected command " << testing::PrintToString(Run);
    }

    const std::vector<std::string> Statuses = Frame.Log->Statuses();
    EXPECT_TRUE(Contains(Statuses, "  workspace status " + Value + " --json ..."));
    EXPECT_TRUE(Contains(Statuses, "  cloning workspace " + Value + " ..."));
    EXPECT_TRUE(Contains(Statuses, "  running: tw workspace " + Value + " ..."));

    size_t DotScripts = 0;
    for (const std::string& Script : Frame.Log->Scripts()) {
      EXPECT_FALSE(HasRawBreakout(Script)) << Script;
      if (Script.rfind("window.setWorkspaceDot(", 0) != 0) continue;
      ++DotScripts;
      const auto Calls = ReadDotScript(Script);
      ASSERT_TRUE(Calls) << Script;
      EXPECT_EQ(*Calls, (std::vector<std::pair<std::string, std::string>>{{Value, "dirty"}}));
    }
    // One sweep after "ready" and one after the clone's reload.
    EXPECT_EQ(DotScripts, 2u);

    const std::vector<std::string> Messages = Frame.Log->Messages();
    ASSERT_EQ(Messages.size(), 1u);
    rapidjson::Document Result;
    Result.Parse(Messages[0].c_str(), Messages[0].size());
    ASSERT_FALSE(Result.HasParseError()) << Messages[0];
    EXPECT_EQ(std::string(Result["node"].GetString(), Result["node"].GetStringLength()), Value);
    EXPECT_EQ(std::string(Result["action"].GetString(), Result["action"].GetStringLength()), Value);
  }
}

}  // namespace
}  // namespace twdesktop
