#include "Commands.h"

#include <gtest/gtest.h>
#include <rapidjson/document.h>
#include <rapidjson/error/en.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <filesystem>
#include <thread>

#include "DemoPortal.h"
#include "TestPortal.h"

namespace tw::test {
namespace {

namespace fs = std::filesystem;

// Parses the way the application does (first "{" to last "}"), strictly and checking UTF-8.
rapidjson::Document Document(const std::string& AOutput) {
  rapidjson::Document document;
  const size_t first = AOutput.find('{');
  const size_t last = AOutput.rfind('}');
  if (first == std::string::npos || last == std::string::npos || last < first) {
    ADD_FAILURE() << "no JSON in: " << AOutput;
    return document;
  }
  const std::string json = AOutput.substr(first, last - first + 1);
  document.Parse<rapidjson::kParseValidateEncodingFlag>(json.c_str(), json.size());
  EXPECT_FALSE(document.HasParseError())
      << rapidjson::GetParseError_En(document.GetParseError()) << " in: " << json;
  return document;
}

const rapidjson::Value* Node(const rapidjson::Document& AStatus, const std::string& AId) {
  for (const rapidjson::Value& node : AStatus["nodes"].GetArray())
    if (AId == node["id"].GetString()) return &node;
  ADD_FAILURE() << "no node " << AId;
  return nullptr;
}

std::string LastLine(const std::string& AText) {
  const std::vector<std::string> lines = Lines(AText);
  return lines.empty() ? std::string() : lines.back();
}

class TwCommands : public ::testing::Test {
 protected:
  TTwWorld W;
};

// The application decides between its sign-in card and "No workspace cloned here" from these
// outputs alone: one line, no braces, and the words "login"/"token" only when signed out.
TEST_F(TwCommands, SignedOutAndNoWorkspaceOutputsFitTheApplicationsRules) {
  const std::vector<std::vector<std::string>> everyCommand = {
      {"workspace", "list", "--json"},
      {"workspace", "status", "--json"},
      {"workspace", "status", "atlas", "--json"},
      {"workspace", "update"},
      {"workspace", "commit", "-m", "x"},
      {"workspace", "diff", "--json"},
      {"workspace", "clone", "atlas"},
      {"workspace", "push"},
      {"workspace", "status"}};
  for (const std::vector<std::string>& args : everyCommand) {
    const TProcessResult run = W.Tw(args);
    SCOPED_TRACE(args[1]);
    EXPECT_EQ(run.ExitCode, kExitSignedOut);
    EXPECT_EQ(Lines(run.Out).size(), 1u) << run.Out;
    EXPECT_NE(run.Out.find("tw login --token"), std::string::npos) << run.Out;
    EXPECT_EQ(run.Out.find_first_of("{}"), std::string::npos) << run.Out;
  }
  EXPECT_FALSE(fs::exists(W.Work() + "/.tw")) << "a signed-out clone must not start";

  W.SignIn();
  const std::vector<std::vector<std::string>> needAWorkspace = {{"workspace", "status", "--json"},
                                                                {"workspace", "update"},
                                                                {"workspace", "commit", "-m", "x"},
                                                                {"workspace", "diff", "--json"},
                                                                {"workspace", "push"},
                                                                {"workspace", "status"}};
  for (const std::vector<std::string>& args : needAWorkspace) {
    const TProcessResult run = W.Tw(args);
    SCOPED_TRACE(args[1]);
    EXPECT_EQ(run.ExitCode, kExitNoWorkspace);
    EXPECT_EQ(Lines(run.Out).size(), 1u) << run.Out;
    EXPECT_EQ(run.Out.find_first_of("{}"), std::string::npos) << run.Out;
    EXPECT_EQ(LowerAscii(run.Out).find("login"), std::string::npos) << run.Out;
    EXPECT_EQ(LowerAscii(run.Out).find("token"), std::string::npos) << run.Out;
  }
}

TEST_F(TwCommands, LoginStoresAPrivateSignInOnlyForAnAcceptedToken) {
  struct TCase {
    std::string Token;
    bool Accepted;
  };
  const std::vector<TCase> cases = {{"twk_wrong", false},
                                    {"", false},
                                    {std::string(kDemoToken) + " ", false},
                                    {std::string(kDemoToken).substr(1), false},
                                    {kDemoToken, true}};
  const std::string session = W.StateFolder() + "/session.json";
  for (const TCase& c : cases) {
    SCOPED_TRACE("token \"" + c.Token + "\"");
    const TProcessResult run = W.Tw({"login", "--token", c.Token});
    // The application's test is a plain substring, so "unsuccessful" would count as signed in.
    EXPECT_EQ(LowerAscii(run.Out).find("successful") != std::string::npos, c.Accepted) << run.Out;
    EXPECT_EQ(run.ExitCode == 0, c.Accepted);
    EXPECT_EQ(fs::exists(session), c.Accepted);
  }
  struct stat info {};
  ASSERT_EQ(::stat(session.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0600u);
  ASSERT_EQ(::stat(W.StateFolder().c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0077, 0u) << "the state folder must be private";
  EXPECT_EQ(ReadFile(session).find(kDemoToken) != std::string::npos, true);

  EXPECT_EQ(W.Tw({"workspace", "list", "--json"}).ExitCode, 0);
  EXPECT_EQ(W.Tw({"logout"}).ExitCode, 0);
  EXPECT_EQ(W.Tw({"workspace", "list", "--json"}).ExitCode, kExitSignedOut);
}

TEST_F(TwCommands, ASignInOfAnotherPortalOrARevokedTokenCountsAsSignedOut) {
  W.SignIn();
  const std::string manifest = W.Portal() + "/portal.json";
  const std::string original = ReadFile(manifest);
  std::string revoked = original;
  revoked.replace(revoked.find(kDemoToken), std::string(kDemoToken).size(), "twk_other");
  WriteFile(manifest, revoked);
  TProcessResult run = W.Tw({"workspace", "status", "--json"});
  EXPECT_EQ(run.ExitCode, kExitSignedOut);
  EXPECT_NE(run.Out.find("tw login --token"), std::string::npos) << run.Out;

  WriteFile(manifest, original);
  TProcessOptions otherPortal;
  otherPortal.ExtraEnv = {"TW_PORTAL=" + W.Path("elsewhere")};
  run = W.Tw({"workspace", "list", "--json"}, {}, otherPortal);
  EXPECT_EQ(run.ExitCode, kExitSignedOut);
  EXPECT_NE(run.Out.find("tw login --token"), std::string::npos) << run.Out;
}

TEST_F(TwCommands, ListsThePortalsWorkspaces) {
  W.SignIn();
  const TProcessResult run = W.Tw({"workspace", "list", "--json"});
  EXPECT_EQ(run.ExitCode, 0);
  const rapidjson::Document list = Document(run.Out);
  ASSERT_TRUE(list.HasMember("workspaces"));
  std::vector<std::string> ids;
  for (const rapidjson::Value& ws : list["workspaces"].GetArray()) {
    ids.push_back(ws["id"].GetString());
    EXPECT_TRUE(ws["name"].IsString());
  }
  EXPECT_EQ(ids, (std::vector<std::string>{"atlas", "beacon", "cobalt"}));
}

TEST_F(TwCommands, AWorkspaceClonedNowhereHasEveryNodeMissing) {
  W.SignIn();
  const TProcessResult run = W.Tw({"workspace", "status", "atlas", "--json"});
  EXPECT_EQ(run.ExitCode, 0);
  const rapidjson::Document status = Document(run.Out);
  ASSERT_EQ(status["nodes"].Size(), 6u);
  int roots = 0;
  for (const rapidjson::Value& node : status["nodes"].GetArray()) {
    EXPECT_TRUE(node["missing"].GetBool());
    EXPECT_FALSE(node["dirty"].GetBool());
    roots += node.HasMember("root") && node["root"].GetBool();
  }
  EXPECT_EQ(roots, 1);
  EXPECT_TRUE(status["nodes"][0]["root"].GetBool()) << "the root project comes first";

  // An unknown id is never echoed into something the application would take for a document.
  for (const std::string id : {"nope", R"({"nodes":[]})"}) {
    const TProcessResult status = W.Tw({"workspace", "status", id, "--json"});
    EXPECT_EQ(status.ExitCode, kExitFailed);
    EXPECT_EQ(status.Out.find_first_of("{}"), std::string::npos) << status.Out;
    const TProcessResult clone = W.Tw({"workspace", "clone", id});
    EXPECT_EQ(clone.ExitCode, kExitFailed);
    EXPECT_EQ(LastLine(clone.Out).rfind("Summary: clone failed: no workspace", 0), 0u) << clone.Out;
    EXPECT_EQ(clone.Out.find_first_of("{}"), std::string::npos) << clone.Out;
  }
  EXPECT_FALSE(fs::exists(W.Work() + "/.tw"));
}

// The application shows the last "[" line while the clone runs, so each must arrive on its own
// before the clone ends, not all at once when the pipe is closed.
TEST_F(TwCommands, CloneReportsEachStepWhileItRuns) {
  W.SignIn();
  int pid = -1;
  bool stillRunningAtFirstStep = false;
  bool summaryWithFirstStep = true;
  std::string seen;
  TProcessOptions options;
  options.OnStarted = [&](int APid) { pid = APid; };
  options.OnStdout = [&](const std::string& APiece) {
    const bool hadStep = seen.find("\n[") != std::string::npos || seen.rfind('[', 0) == 0;
    seen += APiece;
    const bool hasStep = seen.find("\n[") != std::string::npos || seen.rfind('[', 0) == 0;
    if (!hadStep && hasStep) {
      summaryWithFirstStep = seen.find("Summary:") != std::string::npos;
      siginfo_t info{};
      // WNOWAIT: look without reaping, the runner still waits for it.
      stillRunningAtFirstStep =
          ::waitid(P_PID, pid, &info, WEXITED | WNOHANG | WNOWAIT) == 0 && info.si_pid == 0;
    }
  };
  const TProcessResult run = W.Tw({"workspace", "clone", "cobalt"}, {}, options);
  EXPECT_EQ(run.ExitCode, 0) << run.Out;
  EXPECT_TRUE(stillRunningAtFirstStep);
  EXPECT_FALSE(summaryWithFirstStep) << "the steps came only with the end";

  std::vector<std::string> steps;
  for (const std::string& line : Lines(run.Out))
    if (line.rfind('[', 0) == 0) steps.push_back(line);
  ASSERT_EQ(steps.size(), 9u) << run.Out;
  EXPECT_EQ(steps[0], "[1/9] cloning cobalt-suite ...");
  EXPECT_EQ(steps[1], "[2/9] cloning modules/parser ...");
  EXPECT_EQ(steps[8], "[9/9] cloning modules/docs ...");
  EXPECT_EQ(LastLine(run.Out).rfind("Summary: cloned Cobalt (9 repositories) into ", 0), 0u)
      << run.Out;

  // The folder the clone ran in is the workspace now: the application's Refresh shows it.
  const rapidjson::Document status = Document(W.Tw({"workspace", "status", "--json"}).Out);
  ASSERT_EQ(status["nodes"].Size(), 9u);
  for (const rapidjson::Value& node : status["nodes"].GetArray()) {
    EXPECT_FALSE(node["missing"].GetBool()) << node["id"].GetString();
    EXPECT_FALSE(node["dirty"].GetBool()) << node["id"].GetString();
    EXPECT_EQ(std::string(node["branch"].GetString()), "main");
  }
  EXPECT_TRUE(fs::exists(W.Work() + "/cobalt-suite/.git"));
  EXPECT_TRUE(fs::exists(W.Work() + "/modules/docs/.git"));
}

TEST_F(TwCommands, RefIsATagAtHeadElseTheBranchElseAShortCommitId) {
  W.SignIn();
  const std::string atlas = W.CloneInto("atlas", "atlas-here");
  const std::string beacon = W.CloneInto("beacon", "beacon-here");
  ASSERT_TRUE(W.Git(atlas + "/modules/net", {"checkout", "-q", "--detach", "HEAD~1"}).Ok());
  const std::string detachedId = W.GitLine(atlas + "/modules/net", {"rev-parse", "HEAD"});

  const rapidjson::Document a = Document(W.Tw({"workspace", "status", "--json"}, atlas).Out);
  const rapidjson::Document b = Document(W.Tw({"workspace", "status", "--json"}, beacon).Out);
  struct TCase {
    const rapidjson::Document* Status;
    std::string Node, Ref, Branch;
  };
  const std::vector<TCase> cases = {
      {&a, "atlas-app", "v2.22.5", "main"},    // released: the tag is at HEAD
      {&b, "beacon-service", "main", "main"},  // work after the release: the tag is not at HEAD
      {&a, "core", "main", "main"},
  };
  for (const TCase& c : cases) {
    const rapidjson::Value* node = Node(*c.Status, c.Node);
    ASSERT_NE(node, nullptr);
    EXPECT_EQ(std::string((*node)["ref"].GetString()), c.Ref) << c.Node;
    EXPECT_EQ(std::string((*node)["branch"].GetString()), c.Branch) << c.Node;
  }
  const rapidjson::Value* net = Node(a, "net");
  ASSERT_NE(net, nullptr);
  const std::string ref = (*net)["ref"].GetString();
  EXPECT_GE(ref.size(), 7u);
  EXPECT_EQ(detachedId.rfind(ref, 0), 0u) << ref << " is not a prefix of " << detachedId;
  EXPECT_EQ(std::string((*net)["branch"].GetString()), "");
}

TEST_F(TwCommands, UpdateFastForwardsCleanRepositoriesAndSkipsDirtyOnes) {
  W.SignIn();
  const std::string ws = W.CloneInto("beacon", "ws");
  W.PushColleagueCommit("repos/beacon/auth.git", "remote-auth.txt");
  W.PushColleagueCommit("repos/beacon/billing.git", "remote-billing.txt");
  WriteFile(ws + "/modules/billing/README.md", "local edit\n");
  const std::string billingBefore = W.GitLine(ws + "/modules/billing", {"rev-parse", "HEAD"});

  // Status never fetches; after a fetch it shows what the portal has that we do not.
  ASSERT_TRUE(W.Git(ws + "/modules/auth", {"fetch", "-q"}).Ok());
  const rapidjson::Document before = Document(W.Tw({"workspace", "status", "--json"}, ws).Out);
  EXPECT_EQ((*Node(before, "auth"))["behind"].GetInt(), 1);

  const TProcessResult run = W.Tw({"workspace", "update"}, ws);
  EXPECT_EQ(run.ExitCode, 0) << run.Out;
  EXPECT_EQ(LastLine(run.Out),
            "Summary: 1 updated, 1 up to date, 1 skipped, 0 failed; skipped: modules/billing "
            "(uncommitted changes)");
  EXPECT_EQ(W.GitLine(ws + "/modules/auth", {"rev-parse", "HEAD"}),
            W.GitLine(W.Portal() + "/repos/beacon/auth.git", {"rev-parse", "main"}));
  EXPECT_TRUE(fs::exists(ws + "/modules/auth/remote-auth.txt"));
  EXPECT_EQ(W.GitLine(ws + "/modules/billing", {"rev-parse", "HEAD"}), billingBefore);
  EXPECT_EQ(ReadFile(ws + "/modules/billing/README.md"), "local edit\n");

  const rapidjson::Document after = Document(W.Tw({"workspace", "status", "--json"}, ws).Out);
  EXPECT_EQ((*Node(after, "auth"))["behind"].GetInt(), 0);
  EXPECT_TRUE((*Node(after, "billing"))["dirty"].GetBool());
}

TEST_F(TwCommands, UpdateReportsARepositoryThatCannotFastForward) {
  W.SignIn();
  const std::string ws = W.CloneInto("beacon", "ws");
  W.PushColleagueCommit("repos/beacon/auth.git", "theirs.txt");
  WriteFile(ws + "/modules/auth/ours.txt", "ours\n");
  ASSERT_TRUE(W.Git(ws + "/modules/auth", {"add", "-A"}).Ok());
  ASSERT_TRUE(W.Git(ws + "/modules/auth", {"commit", "-q", "-m", "ours"}).Ok());

  const TProcessResult run = W.Tw({"workspace", "update"}, ws);
  EXPECT_EQ(run.ExitCode, kExitFailed);
  EXPECT_EQ(LastLine(run.Out).rfind("Summary: 0 updated, 2 up to date, 0 skipped, 1 failed; "
                                    "failed: modules/auth (",
                                    0),
            0u)
      << run.Out;
}

// One argument, quotes and line breaks included, is one commit message; a line that begins
// with "#" is part of it.
TEST_F(TwCommands, CommitCommitsEveryChangedRepositoryWithTheMessageAsGiven) {
  W.SignIn();
  const std::string ws = W.CloneInto("beacon", "ws");
  WriteFile(ws + "/beacon-service/README.md", "changed\n");
  WriteFile(ws + "/modules/billing/new file.txt", "new\n");
  const std::string authBefore = W.GitLine(ws + "/modules/auth", {"rev-parse", "HEAD"});
  const std::string message = "Fix \"quoted\" names, it's done\n\n#42 keeps this line\n  indented";

  const TProcessResult run = W.Tw({"workspace", "commit", "-m", message}, ws);
  EXPECT_EQ(run.ExitCode, 0) << run.Out;
  EXPECT_EQ(LastLine(run.Out),
            "Summary: committed in 2 of 3 repositories (beacon-service, modules/billing)");
  for (const std::string repo : {"beacon-service", "modules/billing"}) {
    SCOPED_TRACE(repo);
    EXPECT_EQ(W.GitLine(ws + "/" + repo, {"log", "-1", "--format=%B"}), message);
    // git has no identity here: the commit carries the signed-in portal user.
    EXPECT_EQ(W.GitLine(ws + "/" + repo, {"log", "-1", "--format=%an <%ae>"}),
              "Dana Demo <dana@demo.invalid>");
    EXPECT_EQ(W.GitLine(ws + "/" + repo, {"status", "--porcelain"}), "");
  }
  EXPECT_EQ(W.GitLine(ws + "/modules/auth", {"rev-parse", "HEAD"}), authBefore);

  const rapidjson::Document status = Document(W.Tw({"workspace", "status", "--json"}, ws).Out);
  EXPECT_EQ((*Node(status, "beacon-service"))["ahead"].GetInt(), 1);
  EXPECT_EQ((*Node(status, "auth"))["ahead"].GetInt(), 0);

  const TProcessResult again = W.Tw({"workspace", "commit", "-m", "again"}, ws);
  EXPECT_EQ(again.ExitCode, 0);
  EXPECT_EQ(LastLine(again.Out), "Summary: nothing to commit, every repository is clean");
}

TEST_F(TwCommands, CommitKeepsTheUsersOwnGitIdentity) {
  W.SignIn();
  const std::string ws = W.CloneInto("beacon", "ws");
  ASSERT_TRUE(W.Git(ws + "/modules/auth", {"config", "user.name", "Own Name"}).Ok());
  ASSERT_TRUE(W.Git(ws + "/modules/auth", {"config", "user.email", "own@example.invalid"}).Ok());
  WriteFile(ws + "/modules/auth/x.txt", "x\n");
  ASSERT_EQ(W.Tw({"workspace", "commit", "-m", "mine"}, ws).ExitCode, 0);
  EXPECT_EQ(W.GitLine(ws + "/modules/auth", {"log", "-1", "--format=%an <%ae>"}),
            "Own Name <own@example.invalid>");
}

TEST_F(TwCommands, AnEmptyCommitMessageCommitsNothing) {
  W.SignIn();
  const std::string ws = W.CloneInto("beacon", "ws");
  WriteFile(ws + "/modules/auth/x.txt", "x\n");
  const std::string before = W.GitLine(ws + "/modules/auth", {"rev-parse", "HEAD"});
  for (const std::string message : {"", "  \n\t "}) {
    const TProcessResult run = W.Tw({"workspace", "commit", "-m", message}, ws);
    EXPECT_NE(run.ExitCode, 0);
    EXPECT_EQ(LastLine(run.Out).rfind("Summary: nothing committed", 0), 0u) << run.Out;
  }
  EXPECT_EQ(W.GitLine(ws + "/modules/auth", {"rev-parse", "HEAD"}), before);
}

TEST_F(TwCommands, DiffDocumentHoldsEveryChangedRepositoryUntrackedFilesIncluded) {
  W.SignIn();
  const std::string ws = W.CloneInto("beacon", "ws");
  EXPECT_EQ(Document(W.Tw({"workspace", "diff", "--json"}, ws).Out)["repos"].Size(), 0u);

  WriteFile(ws + "/beacon-service/README.md", "# beacon-service\n\nrewritten <&> line\n");
  WriteFile(ws + "/modules/billing/notes.txt", "hello\n");
  WriteFile(ws + "/modules/billing/empty.txt", "");
  WriteFile(ws + "/modules/billing/latin1.txt", "caf\xE9\n");  // not UTF-8
  const TProcessResult run = W.Tw({"workspace", "diff", "--json"}, ws);
  EXPECT_EQ(run.ExitCode, 0);
  const rapidjson::Document diff = Document(run.Out);
  ASSERT_EQ(diff["repos"].Size(), 2u) << run.Out;
  const std::string root = diff["repos"][0]["diff"].GetString();
  const std::string billing = diff["repos"][1]["diff"].GetString();
  EXPECT_EQ(std::string(diff["repos"][0]["name"].GetString()), "beacon-service");
  EXPECT_EQ(std::string(diff["repos"][1]["name"].GetString()), "billing");
  EXPECT_NE(root.find("\n+rewritten <&> line\n"), std::string::npos) << root;
  EXPECT_NE(root.find("\n-The Beacon notification service.\n"), std::string::npos) << root;
  EXPECT_NE(root.find("\n@@ "), std::string::npos) << root;
  EXPECT_NE(billing.find("+++ b/notes.txt\n@@ -0,0 +1 @@\n+hello\n"), std::string::npos) << billing;
  EXPECT_NE(billing.find("diff --git a/empty.txt b/empty.txt\nnew file mode"), std::string::npos)
      << billing;
  EXPECT_NE(billing.find("+caf\xEF\xBF\xBD"), std::string::npos) << billing;
  // Read-only: nothing was staged.
  EXPECT_EQ(W.GitLine(ws + "/modules/billing", {"diff", "--cached", "--name-only"}), "");
}

// The page draws every line: a build folder nobody ignored must not flood it.
TEST_F(TwCommands, DiffNamesUntrackedFilesPastTwoHundredAndCutsAHugeDiff) {
  W.SignIn();
  const std::string ws = W.CloneInto("beacon", "ws");
  for (int i = 0; i < 203; ++i) {
    char name[32];
    std::snprintf(name, sizeof name, "out/f%03d.txt", i);
    WriteFile(ws + "/modules/auth/" + name, "generated\n");
  }
  const rapidjson::Document diff = Document(W.Tw({"workspace", "diff", "--json"}, ws).Out);
  ASSERT_EQ(diff["repos"].Size(), 1u);
  const std::string text = diff["repos"][0]["diff"].GetString();
  EXPECT_NE(text.find("+++ b/out/f199.txt\n"), std::string::npos);
  EXPECT_EQ(text.find("+++ b/out/f200.txt"), std::string::npos);
  EXPECT_NE(text.find("# 3 more untracked files, not shown:\n#   out/f200.txt\n#   out/f201.txt\n"
                      "#   out/f202.txt\n"),
            std::string::npos);

  std::string big;
  while (big.size() < (5u << 20)) big += "a line of generated text \xC3\xA9\n";
  WriteFile(ws + "/modules/billing/big.txt", big);
  const TProcessResult run = W.Tw({"workspace", "diff", "--json"}, ws);
  const rapidjson::Document cut = Document(run.Out);
  ASSERT_EQ(cut["repos"].Size(), 2u);
  const std::string billing = cut["repos"][1]["diff"].GetString();
  EXPECT_LE(billing.size(), (4u << 20) + 100);
  EXPECT_NE(billing.find("\n# ... diff cut here: "), std::string::npos);
}

TEST_F(TwCommands, PushLandsInThePortalsRepository) {
  W.SignIn();
  const std::string ws = W.CloneInto("beacon", "ws");
  WriteFile(ws + "/modules/auth/pushed.txt", "to the portal\n");
  ASSERT_EQ(W.Tw({"workspace", "commit", "-m", "Push me"}, ws).ExitCode, 0);

  const TProcessResult run = W.Tw({"workspace", "push"}, ws);
  EXPECT_EQ(run.ExitCode, 0) << run.Out;
  EXPECT_EQ(Lines(run.Out).at(0), "Pushed 1 of 3 repositories (modules/auth).");
  const std::string bare = W.Portal() + "/repos/beacon/auth.git";
  EXPECT_EQ(W.GitLine(bare, {"rev-parse", "main"}),
            W.GitLine(ws + "/modules/auth", {"rev-parse", "HEAD"}));
  EXPECT_EQ(W.GitLine(bare, {"log", "-1", "--format=%s"}), "Push me");

  EXPECT_EQ(Lines(W.Tw({"workspace", "push"}, ws).Out).at(0),
            "Nothing to push: every repository matches its remote.");
}

TEST_F(TwCommands, PushReportsARejectionInItsFirstLine) {
  W.SignIn();
  const std::string ws = W.CloneInto("beacon", "ws");
  W.PushColleagueCommit("repos/beacon/billing.git", "theirs.txt");
  WriteFile(ws + "/modules/billing/ours.txt", "ours\n");
  ASSERT_EQ(W.Tw({"workspace", "commit", "-m", "ours"}, ws).ExitCode, 0);
  const TProcessResult run = W.Tw({"workspace", "push"}, ws);
  EXPECT_EQ(run.ExitCode, kExitFailed);
  EXPECT_EQ(Lines(run.Out).at(0).rfind("Pushed 0 of 3 repositories; failed: modules/billing (", 0),
            0u)
      << run.Out;
}

TEST_F(TwCommands, StatusWithoutJsonLeadsWithAOneLineOverview) {
  W.SignIn();
  const std::string ws = W.CloneInto("beacon", "ws");
  WriteFile(ws + "/modules/auth/x.txt", "x\n");
  const TProcessResult run = W.Tw({"workspace", "status"}, ws);
  EXPECT_EQ(run.ExitCode, 0);
  EXPECT_EQ(
      Lines(run.Out).at(0),
      "Beacon (beacon): 3 repositories, 1 with changes, 0 ahead, 0 behind, 0 missing in " + ws);
}

// A second workspace cloned from inside the first goes beside it, never into it, and the
// application's "status ID" finds it from the first one's folder.
TEST_F(TwCommands, ACloneFromInsideAnotherWorkspaceGoesBesideIt) {
  W.SignIn();
  const std::string atlas = W.CloneInto("atlas", "atlas-ws");
  WriteFile(atlas + "/modules/core/mine.txt", "keep me\n");
  const TProcessResult run = W.Tw({"workspace", "clone", "beacon"}, atlas + "/modules/core");
  EXPECT_EQ(run.ExitCode, 0) << run.Out;
  EXPECT_TRUE(fs::exists(W.Path("beacon/beacon-service/.git"))) << run.Out;
  EXPECT_FALSE(fs::exists(atlas + "/beacon-service"));

  const rapidjson::Document beacon =
      Document(W.Tw({"workspace", "status", "beacon", "--json"}, atlas).Out);
  for (const rapidjson::Value& node : beacon["nodes"].GetArray())
    EXPECT_FALSE(node["missing"].GetBool()) << node["id"].GetString();
  const rapidjson::Document own = Document(W.Tw({"workspace", "status", "--json"}, atlas).Out);
  EXPECT_EQ(std::string(own["nodes"][0]["id"].GetString()), "atlas-app");

  // A repository gone from the folder is missing, the others are not.
  fs::remove_all(atlas + "/modules/ui");
  const rapidjson::Document gone = Document(W.Tw({"workspace", "status", "--json"}, atlas).Out);
  EXPECT_TRUE((*Node(gone, "ui"))["missing"].GetBool());
  EXPECT_FALSE((*Node(gone, "core"))["missing"].GetBool());

  // Cloning the same workspace again fills in what is missing and leaves the rest alone.
  const TProcessResult again = W.Tw({"workspace", "clone", "atlas"}, atlas);
  EXPECT_EQ(again.ExitCode, 0) << again.Out;
  EXPECT_TRUE(fs::exists(atlas + "/modules/ui/.git"));
  EXPECT_EQ(ReadFile(atlas + "/modules/core/mine.txt"), "keep me\n");
  EXPECT_EQ(LastLine(again.Out).rfind("Summary: Atlas is complete in " + atlas, 0), 0u)
      << again.Out;
}

// Every clone is remembered, also when several start at the same moment.
TEST_F(TwCommands, ClonesRunningSideBySideAreAllRemembered) {
  W.SignIn();
  std::vector<std::thread> clones;
  for (int i = 0; i < 8; ++i) {
    const std::string folder = W.Path("clone-" + std::to_string(i));
    fs::create_directories(folder);
    clones.emplace_back([this, folder] { W.Tw({"workspace", "clone", "beacon"}, folder); });
  }
  for (std::thread& clone : clones) clone.join();
  const rapidjson::Document state = Document(ReadFile(W.StateFolder() + "/clones.json"));
  EXPECT_EQ(state["clones"].Size(), 8u);
}

TEST_F(TwCommands, UnknownCommandsAndBadArgumentsAreUsageErrors) {
  W.SignIn();
  const std::vector<std::vector<std::string>> cases = {
      {"workspace", "frobnicate"},       {"workspace", "commit"},
      {"workspace", "commit", "a", "b"}, {"workspace", "clone"},
      {"workspace", "push", "x"},        {"login"},
      {"portal", "init", "x"},           {"nonsense"}};
  for (const std::vector<std::string>& args : cases) {
    const TProcessResult run = W.Tw(args);
    EXPECT_EQ(run.ExitCode, kExitUsage) << args.back();
    EXPECT_FALSE(Lines(run.Out).empty());
  }
  EXPECT_FALSE(fs::exists(W.Work() + "/.tw"));
}

TEST_F(TwCommands, TraceRecordsEveryRunWithoutTheToken) {
  TProcessOptions traced;
  traced.ExtraEnv = {"TW_TRACE=" + W.Path("trace.jsonl")};
  W.Tw({"login", "--token", kDemoToken}, {}, traced);
  W.Tw({"workspace", "status", "--json"}, {}, traced);
  const std::string trace = ReadFile(W.Path("trace.jsonl"));
  EXPECT_EQ(
      Lines(trace),
      (std::vector<std::string>{
          R"x({"args":["login","--token","(hidden)"],"cwd":")x" + W.Work() + R"x(","exit":0})x",
          R"x({"args":["workspace","status","--json"],"cwd":")x" + W.Work() + R"x(","exit":4})x"}));
}

TEST(TwPortalInit, TheDemoPortalIsReproducibleAndNeverOverwritesAFolder) {
  TTempFolder temp;
  std::string first, second;
  for (std::string* head : {&first, &second}) {
    const std::string dir = temp / (head == &first ? "one" : "two");
    const TProcessResult run = RunProcess({TW_BINARY, "portal", "init", dir, "--demo"});
    ASSERT_EQ(run.ExitCode, 0) << run.Out << run.Err;
    TProcessOptions inBare;
    inBare.WorkDir = dir + "/repos/atlas/atlas-app.git";
    *head = RunProcess({"git", "rev-parse", "v2.22.5^{commit}", "main"}, inBare).Out;
  }
  EXPECT_FALSE(first.empty());
  EXPECT_EQ(first, second);

  const TProcessResult again = RunProcess({TW_BINARY, "portal", "init", temp / "one", "--demo"});
  EXPECT_EQ(again.ExitCode, kExitFailed);
  EXPECT_TRUE(fs::exists(temp / "one/portal.json"));
}

}  // namespace
}  // namespace tw::test
