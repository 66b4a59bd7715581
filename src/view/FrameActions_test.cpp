#include "view/FrameActions.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "view/FrameTestKit.h"

namespace twdesktop {
namespace {

using namespace testkit;

using TArgs = std::vector<std::string>;
using TTexts = std::vector<std::string>;

std::string Rule(const std::string& AArgs, const std::string& AOutput) {
  return "{\"args\":" + Quoted(AArgs) + ",\"output\":" + Quoted(AOutput) + "}";
}

std::string Scenario(const TTexts& ARules, const std::string& ADefaultOutput) {
  std::string Rules;
  for (const std::string& R : ARules) Rules += (Rules.empty() ? "" : ",") + R;
  return "{\"rules\":[" + Rules + "],\"default\":{\"output\":" + Quoted(ADefaultOutput) + "}}";
}

std::vector<TArgs> Sorted(std::vector<TArgs> ARuns) {
  std::sort(ARuns.begin(), ARuns.end());
  return ARuns;
}

constexpr const char* kStatusDocument = R"({"nodes":[{"id":"root"}]})";
const std::string kGraphScript = std::string("window.loadGraph(") + kStatusDocument + ")";
const TArgs kOwnStatus = {"workspace", "status", "--json"};
const TArgs kList = {"workspace", "list", "--json"};
// What a refresh that follows a successful action adds when the status document arrives.
const TTexts kRefreshStatuses = {"  workspace status --json ...", "  status updated."};
const TTexts kRefreshScripts = {kGraphScript, "window.hideError()"};

TTexts Concat(TTexts A, const TTexts& B) {
  A.insert(A.end(), B.begin(), B.end());
  return A;
}

// One action from its message to its last visible effect. The folder's own status always
// answers with a document; every other command answers with Output.
struct TActionCase {
  const char* Name;
  std::string Message;
  std::string Output;
  bool MissingCli;
  std::vector<TArgs> Runs;  // in any order
  TTexts Statuses;
  TTexts Scripts;
  TTexts Messages;
};

// Test names in listings show the case name, not the bytes of the case.
void PrintTo(const TActionCase& ACase, std::ostream* AOut) {
  *AOut << ACase.Name;
}

class FrameActionTest : public testing::TestWithParam<TActionCase> {};

TEST_P(FrameActionTest, ReportsItsOutcome) {
  const TActionCase& Case = GetParam();
  TFakeCli Cli;
  Cli.SetScenario(Scenario({Rule("workspace status --json", kStatusDocument)}, Case.Output));
  TFrameHarness Frame(Cli, {.MissingCli = Case.MissingCli});
  Frame.Send(Case.Message);
  Frame.Settle();
  EXPECT_EQ(Sorted(Cli.RunArgs()), Sorted(Case.Runs));
  EXPECT_EQ(Frame.Log->Statuses(), Case.Statuses);
  EXPECT_EQ(Frame.Log->Scripts(), Case.Scripts);
  EXPECT_EQ(Frame.Log->Messages(), Case.Messages);
}

const char* const kPullStart = "  tw workspace update (pull --ff-only) ...";
const char* const kCommitStart = "  tw workspace commit ...";
const char* const kDiffStart = "  tw workspace diff --json ...";
const TArgs kUpdate = {"workspace", "update"};
const TArgs kDiff = {"workspace", "diff", "--json"};

INSTANTIATE_TEST_SUITE_P(
    PullCommitDiff, FrameActionTest,
    testing::Values(
        TActionCase{"PullShowsItsSummaryThenRefreshes",
                    R"({"action":"pull-all"})",
                    "Pulling\n  Summary: 3 updated, 1 failed  \r\nbye\n",
                    false,
                    {kUpdate, kOwnStatus},
                    Concat({kPullStart, "  Summary: 3 updated, 1 failed"}, kRefreshStatuses),
                    kRefreshScripts,
                    {}},
        TActionCase{"PullWithoutSummary",
                    R"({"action":"pull-all"})",
                    "summary: lower case does not count\nx Summary: nor inside a line\n",
                    false,
                    {kUpdate, kOwnStatus},
                    Concat({kPullStart, "  pull complete"}, kRefreshStatuses),
                    kRefreshScripts,
                    {}},
        TActionCase{"PullWithoutCli",
                    R"({"action":"pull-all"})",
                    "",
                    true,
                    {},
                    {kPullStart, "  pull failed (logged in? git on PATH?)"},
                    {},
                    {}},
        TActionCase{"CommitTakesTheLastSummary",
                    R"({"action":"commit-all","node":"fix the build"})",
                    "Summary: first\nSummary: second\n\tSummary: last\t\n",
                    false,
                    {{"workspace", "commit", "-m", "fix the build"}, kOwnStatus},
                    Concat({kCommitStart, "  Summary: last"}, kRefreshStatuses),
                    kRefreshScripts,
                    {}},
        TActionCase{"CommitWithEmptyMessage",
                    R"({"action":"commit-all"})",
                    "",
                    false,
                    {{"workspace", "commit", "-m", ""}, kOwnStatus},
                    Concat({kCommitStart, "  commit complete"}, kRefreshStatuses),
                    kRefreshScripts,
                    {}},
        TActionCase{"CommitWithoutCli",
                    R"({"action":"commit-all","node":"m"})",
                    "",
                    true,
                    {},
                    {kCommitStart, "  commit failed (git identity configured? logged in?)"},
                    {},
                    {}},
        TActionCase{"DiffHandsOverTheDocumentBetweenTheBraces",
                    R"({"action":"diff-all"})",
                    "diffing...\n{\"repos\":[{\"files\":[]}]}\ndone\n",
                    false,
                    {kDiff},
                    {kDiffStart, "  diff loaded."},
                    {R"(window.loadDiff({"repos":[{"files":[]}]}))"},
                    {}},
        TActionCase{"DiffWithoutBraces",
                    R"({"action":"diff-all"})",
                    "",
                    false,
                    {kDiff},
                    {kDiffStart, "  diff: no output (logged in? workspace cloned?)"},
                    {},
                    {}},
        TActionCase{"DiffWithoutCli",
                    R"({"action":"diff-all"})",
                    "",
                    true,
                    {},
                    {kDiffStart, "  diff: no output (logged in? workspace cloned?)"},
                    {},
                    {}}),
    [](const testing::TestParamInfo<TActionCase>& AInfo) { return AInfo.param.Name; });

const char* const kLoginStart = "  tw login ...";
const char* const kLoginFailed = "  login failed \u2014 invalid token? (twk_...)";
const TArgs kLogin = {"login", "--token", "twk_1"};

INSTANTIATE_TEST_SUITE_P(
    Login, FrameActionTest,
    testing::Values(
        // The list run answers with the same text, which holds no braces: no list reaches the
        // page, but the run shows that the sign-in reloads it.
        TActionCase{"SucceedsInAnyCaseAndReloads",
                    R"({"action":"login","node":"twk_1"})",
                    "Login SUCCESSFUL\n",
                    false,
                    {kLogin, kList, kOwnStatus},
                    Concat({kLoginStart, "  login ok."}, kRefreshStatuses),
                    Concat({"window.hideError()"}, kRefreshScripts),
                    {}},
        TActionCase{"UnsuccessfulIsAFailure",
                    R"({"action":"login","node":"twk_1"})",
                    "Login unsuccessful: token revoked\n",
                    false,
                    {kLogin},
                    {kLoginStart, kLoginFailed},
                    {},
                    {}},
        TActionCase{"OutputWithoutTheWord",
                    R"({"action":"login","node":"twk_1"})",
                    "error: 401\n",
                    false,
                    {kLogin},
                    {kLoginStart, kLoginFailed},
                    {},
                    {}},
        TActionCase{"WithoutCli",
                    R"({"action":"login","node":"twk_1"})",
                    "",
                    true,
                    {},
                    {kLoginStart, kLoginFailed},
                    {},
                    {}}),
    [](const testing::TestParamInfo<TActionCase>& AInfo) { return AInfo.param.Name; });

INSTANTIATE_TEST_SUITE_P(
    NodeAction, FrameActionTest,
    testing::Values(
        TActionCase{
            "ShowsTheFirstLineUntrimmedAndPostsTheResult",
            R"({"action":"push","node":"modules/lib"})",
            "\r\n\n  pushed 2 commits  \nsecond\n",
            false,
            {{"workspace", "push"}},
            {"  running: tw workspace push ...", "  push(modules/lib)  ->    pushed 2 commits  "},
            {},
            {R"({"type":"result","node":"modules/lib","action":"push","ok":true})"}},
        TActionCase{"WithoutOutput",
                    R"({"action":"status","node":"root"})",
                    "",
                    false,
                    {{"workspace", "status"}},
                    {"  running: tw workspace status ...", "  status(root)  ->  (no output)"},
                    {},
                    {R"({"type":"result","node":"root","action":"status","ok":true})"}},
        TActionCase{"WithoutCliPostsNothing",
                    R"({"action":"push","node":"root"})",
                    "",
                    true,
                    {},
                    {"  running: tw workspace push ...", "  tw not found next to the app"},
                    {},
                    {}}),
    [](const testing::TestParamInfo<TActionCase>& AInfo) { return AInfo.param.Name; });

const char* const kRefreshStart = "  workspace status --json ...";

INSTANTIATE_TEST_SUITE_P(
    RefreshStatus, FrameActionTest,
    testing::Values(
        TActionCase{"OtherWorkspaceShowsItsCommandLine",
                    R"({"action":"switch-workspace","node":"ws-7"})",
                    "noise {\"nodes\":[]} trailer",
                    false,
                    {{"workspace", "status", "ws-7", "--json"}},
                    {"  workspace status ws-7 --json ...", "  status updated."},
                    {R"(window.loadGraph({"nodes":[]}))", "window.hideError()"},
                    {}},
        // Between the braces but not JSON: still "updated"; the page's loader gets a text and
        // reports it, instead of running it.
        TActionCase{"TextBetweenBracesIsNotRunAsCode",
                    R"({"action":"switch-workspace","node":"ws"})",
                    "{nodes: oops}); alert(1); ({}",
                    false,
                    {{"workspace", "status", "ws", "--json"}},
                    {"  workspace status ws --json ...", "  status updated."},
                    {R"(window.loadGraph("{nodes: oops}); alert(1); ({}"))", "window.hideError()"},
                    {}},
        TActionCase{"MentionOfLoginAsksForSignIn",
                    R"({"action":"switch-workspace","node":"ws"})",
                    "Please LogIn first",
                    false,
                    {{"workspace", "status", "ws", "--json"}},
                    {"  workspace status ws --json ...", "  status: no data."},
                    {"window.showError(\"You are not logged in\",\"Paste a `manifest:read` token "
                     "from the portal to sign in:\",true)"},
                    {}},
        TActionCase{"MentionOfTokenAsksForSignIn",
                    R"({"action":"switch-workspace","node":"ws"})",
                    "TOKEN expired",
                    false,
                    {{"workspace", "status", "ws", "--json"}},
                    {"  workspace status ws --json ...", "  status: no data."},
                    {"window.showError(\"You are not logged in\",\"Paste a `manifest:read` token "
                     "from the portal to sign in:\",true)"},
                    {}},
        TActionCase{
            "BraceOrderWrongMeansNoDocument",
            R"({"action":"switch-workspace","node":"ws"})",
            "} nothing here {",
            false,
            {{"workspace", "status", "ws", "--json"}},
            {"  workspace status ws --json ...", "  status: no data."},
            {"window.showError(\"No workspace cloned here\",\"Use + Clone workspace, or run "
             "the app in a folder that is already cloned.\",false)"},
            {}},
        TActionCase{
            "WithoutCli",
            R"({"action":"refresh-status"})",
            "",
            true,
            {},
            {kRefreshStart, "  CLI not found."},
            {R"(window.showError("tw not found","Place tw in the same folder as the app.",false))"},
            {}}),
    [](const testing::TestParamInfo<TActionCase>& AInfo) { return AInfo.param.Name; });

// Statuses of the form "  cloning: ..." from a log of status texts.
TTexts ProgressTexts(const TTexts& AStatuses) {
  TTexts Result;
  for (const std::string& S : AStatuses) {
    if (S.rfind("  cloning: ", 0) == 0) Result.push_back(S);
  }
  return Result;
}

TEST(CloneWorkspaceTest, ShowsProgressLinesThenItsSummaryThenTheClonedWorkspace) {
  TFakeCli Cli;
  // The CLI reports a failure and a non-zero exit: the clone still counts as finished.
  Cli.SetScenario(Scenario({R"({"args":"workspace clone ws1","exit":1,"chunks":[
           {"text":"[1/3] root\n"},
           {"delay_ms":60,"text":"plain text\n"},
           {"delay_ms":60,"text":"  \t[2/3] lib   \n"},
           {"delay_ms":60,"text":"plain again\n"},
           {"delay_ms":60,"text":"Summary:  cloned 2 of 3  \n"}]})",
                            Rule("workspace status ws1 --json", kStatusDocument)},
                           "no braces\n"));
  TFrameHarness Frame(Cli);
  Frame.Send(R"({"action":"clone-workspace","node":"ws1"})");
  Frame.Settle();

  const TTexts Statuses = Frame.Log->Statuses();
  ASSERT_GE(Statuses.size(), 4u);
  EXPECT_EQ(Statuses.front(), "  cloning workspace ws1 ...");
  // However the reads fall, each shows the latest progress line so far, trimmed, in order,
  // and all of them come before the final text.
  const TTexts Progress = ProgressTexts(Statuses);
  ASSERT_FALSE(Progress.empty());
  EXPECT_EQ(Progress.back(), "  cloning: [2/3] lib");
  for (size_t I = 0; I < Progress.size(); ++I) {
    EXPECT_TRUE(Progress[I] == "  cloning: [1/3] root" || Progress[I] == "  cloning: [2/3] lib")
        << Progress[I];
    if (I > 0 && Progress[I - 1] == "  cloning: [2/3] lib") {
      EXPECT_EQ(Progress[I], Progress[I - 1]);
    }
  }
  EXPECT_EQ(TTexts(Statuses.begin() + 1, Statuses.begin() + 1 + Progress.size()), Progress);
  EXPECT_EQ(TTexts(Statuses.end() - 3, Statuses.end()),
            (TTexts{"  Summary:  cloned 2 of 3", "  workspace status ws1 --json ...",
                    "  status updated."}));
  EXPECT_EQ(
      Sorted(Cli.RunArgs()),
      Sorted({{"workspace", "clone", "ws1"}, kList, {"workspace", "status", "ws1", "--json"}}));
}

TEST(CloneWorkspaceTest, FinishesWithItsDefaultOrReportsACliThatDidNotStart) {
  struct TCase {
    bool MissingCli;
    TTexts Statuses;
    size_t Runs;
  } Cases[] = {
      {false,
       {"  cloning workspace ws1 ...", "  clone complete", "  workspace status ws1 --json ...",
        "  status: no data."},
       3},
      {true, {"  cloning workspace ws1 ...", "  clone failed (logged in? git on PATH?)"}, 0},
  };
  for (const TCase& Case : Cases) {
    TFakeCli Cli;
    Cli.SetScenario(Scenario({}, "cloned without a summary\n"));
    TFrameHarness Frame(Cli, {.MissingCli = Case.MissingCli});
    Frame.Send(R"({"action":"clone-workspace","node":"ws1"})");
    Frame.Settle();
    EXPECT_EQ(Frame.Log->Statuses(), Case.Statuses);
    EXPECT_EQ(Cli.Runs().size(), Case.Runs);
  }
}

TEST(WorkspaceSweepTest, ListReachesThePageThenOneScriptColoursEveryDotInListOrder) {
  TFakeCli Cli;
  const std::string List =
      R"({"workspaces":[{"id":"b"},{"name":"no id"},"text",{"id":"a"},{"id":"b"},{"id":"c"}]})";
  Cli.SetScenario(Scenario({Rule("workspace list --json", "listing\n" + List + "\n"),
                            Rule("workspace status b --json", R"({"nodes":[{"dirty":true}]})"),
                            Rule("workspace status a --json", R"({"nodes":[{}]})"),
                            Rule("workspace status c --json", R"({"nodes":[]})"),
                            Rule("workspace status --json", kStatusDocument)},
                           ""));
  TFrameHarness Frame(Cli);
  Frame.Send(R"({"action":"ready"})");
  Frame.Settle();

  TTexts SweepRuns;
  for (const TArgs& Args : Cli.RunArgs()) {
    if (Args.size() == 4) SweepRuns.push_back(Args[2]);
  }
  EXPECT_EQ(SweepRuns, (TTexts{"b", "a", "b", "c"}));

  const TTexts Scripts = Frame.Log->Scripts();
  const auto ListAt =
      std::find(Scripts.begin(), Scripts.end(), "window.loadWorkspaces(" + List + ")");
  const auto DotsAt = std::find_if(Scripts.begin(), Scripts.end(), [](const std::string& S) {
    return S.rfind("window.setWorkspaceDot(", 0) == 0;
  });
  ASSERT_NE(ListAt, Scripts.end());
  ASSERT_NE(DotsAt, Scripts.end());
  EXPECT_LT(ListAt, DotsAt);
  EXPECT_EQ(*DotsAt, R"(window.setWorkspaceDot("b","dirty");window.setWorkspaceDot("a","clean");)"
                     R"(window.setWorkspaceDot("b","dirty");)");
  EXPECT_EQ(std::count_if(Scripts.begin(), Scripts.end(),
                          [](const std::string& S) { return S.find("setWorkspaceDot") != S.npos; }),
            1);
  // Silent: the only status texts are the refresh's own.
  EXPECT_EQ(Frame.Log->Statuses(), kRefreshStatuses);
}

TEST(WorkspaceSweepTest, StaysSilentWhenThereIsNothingToShow) {
  struct TCase {
    const char* Name;
    std::string ListOutput;
    std::string StatusOutput;  // for every sweep run
    bool ListScript;
    size_t SweepRuns;
  } Cases[] = {
      {"list without braces", "not signed in\n", "", false, 0},
      {"list without workspaces", R"({"items":[{"id":"a"}]})", "", true, 0},
      {"workspaces not an array", R"({"workspaces":{"id":"a"}})", "", true, 0},
      {"no state anywhere", R"({"workspaces":[{"id":"a"},{"id":"b"}]})", R"({"nodes":[1,"x"]})",
       true, 2},
      {"no document anywhere", R"({"workspaces":[{"id":"a"}]})", "error\n", true, 1},
  };
  for (const TCase& Case : Cases) {
    SCOPED_TRACE(Case.Name);
    TFakeCli Cli;
    Cli.SetScenario(Scenario({Rule("workspace list --json", Case.ListOutput),
                              Rule("workspace status --json", kStatusDocument)},
                             Case.StatusOutput));
    TFrameHarness Frame(Cli);
    Frame.Send(R"({"action":"ready"})");
    Frame.Settle();
    const TTexts Scripts = Frame.Log->Scripts();
    const bool HasList = std::any_of(Scripts.begin(), Scripts.end(), [](const std::string& S) {
      return S.rfind("window.loadWorkspaces(", 0) == 0;
    });
    EXPECT_EQ(HasList, Case.ListScript);
    EXPECT_EQ(Scripts.size(), kRefreshScripts.size() + (Case.ListScript ? 1 : 0));
    EXPECT_EQ(Cli.Runs().size(), 2 + Case.SweepRuns);
    EXPECT_EQ(Frame.Log->Statuses(), kRefreshStatuses);
  }
}

// A runner that answers from a function and records how many runs overlapped.
class TRecordingRunner final : public ICliRunner {
 public:
  explicit TRecordingRunner(std::function<std::string(const TArgs&)> AAnswer)
      : FAnswer(std::move(AAnswer)) {}

  bool Run(const TArgs& AArgs, std::string& AOutput) override {
    {
      std::lock_guard Lock(FMutex);
      FCalls.push_back(AArgs);
      FMaxInFlight = std::max(FMaxInFlight, ++FInFlight);
    }
    // Long enough that runs started side by side would overlap here.
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    AOutput = FAnswer(AArgs);
    std::lock_guard Lock(FMutex);
    --FInFlight;
    return true;
  }
  bool RunStreaming(const TArgs& AArgs, const TProgressCallback&, std::string& AOutput) override {
    return Run(AArgs, AOutput);
  }

  std::vector<TArgs> Calls() {
    std::lock_guard Lock(FMutex);
    return FCalls;
  }
  int MaxInFlight() {
    std::lock_guard Lock(FMutex);
    return FMaxInFlight;
  }

 private:
  std::vector<TArgs> FCalls;
  int FMaxInFlight = 0;
  std::function<std::string(const TArgs&)> FAnswer;
  std::mutex FMutex;
  int FInFlight = 0;
};

class TIgnoringListener final : public IWebSurfaceListener {
  void WebViewCreated(bool) override {}
  void WebMessageReceived(const std::optional<std::string>&) override {}
};

// The actions on their own, on a page whose web view exists, with a runner the test chooses.
struct TActionsHarness {
  TActionsHarness() : Page(std::make_unique<TFakeSurface>(Log)) {
    Page.StartCreation("", Listener);
    Page.CreationEnded(true);
    Actions = std::make_unique<TFrameActions>(Page, Queue);
  }
  ~TActionsHarness() {
    Actions.reset();
    EXPECT_TRUE(WaitForWorkersToEnd(Queue, 1));
  }
  void Settle() {
    do {
      ASSERT_TRUE(WaitForWorkersToEnd(Queue, 2));
    } while (Queue->RunPending() > 0);
  }

  std::shared_ptr<TSurfaceLog> Log = std::make_shared<TSurfaceLog>();
  std::shared_ptr<TTestQueue> Queue = std::make_shared<TTestQueue>();
  TIgnoringListener Listener;
  TPageChannel Page;
  std::unique_ptr<TFrameActions> Actions;
};

TEST(WorkspaceSweepTest, RunsOneStatusCommandAtATime) {
  TActionsHarness Harness;
  auto Runner = std::make_shared<TRecordingRunner>([](const TArgs& AArgs) -> std::string {
    if (AArgs == kList) return R"({"workspaces":[{"id":"c"},{"id":"a"},{"id":"c"},{"id":"b"}]})";
    return R"({"nodes":[{"dirty":false}]})";
  });
  Harness.Actions->SetRunner(Runner);
  Harness.Actions->LoadWorkspaces();
  Harness.Settle();
  EXPECT_EQ(Runner->MaxInFlight(), 1);
  EXPECT_EQ(Runner->Calls(), (std::vector<TArgs>{kList,
                                                 {"workspace", "status", "c", "--json"},
                                                 {"workspace", "status", "a", "--json"},
                                                 {"workspace", "status", "c", "--json"},
                                                 {"workspace", "status", "b", "--json"}}));
}

TEST(FrameActionsTest, WithoutARunnerOnlyTheNodeActionSaysSoAndNothingStarts) {
  TActionsHarness Harness;
  Harness.Actions->RefreshStatus("");
  Harness.Actions->LoadWorkspaces();
  Harness.Actions->DoLogin("t");
  Harness.Actions->CloneWorkspace("w");
  Harness.Actions->PullWorkspace();
  Harness.Actions->CommitWorkspace("m");
  Harness.Actions->ShowDiff();
  Harness.Actions->RunNodeAction("push", "n");
  // No worker holds the queue: none was started.
  EXPECT_EQ(Harness.Queue.use_count(), 2);
  EXPECT_EQ(Harness.Log->Statuses(), (TTexts{"  tw not found next to the app"}));
  EXPECT_TRUE(Harness.Log->Scripts().empty());
  EXPECT_TRUE(Harness.Log->Messages().empty());
}

}  // namespace
}  // namespace twdesktop
