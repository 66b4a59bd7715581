// The stand-in's own contract: which rule answers, the fallbacks, the exit codes and the log.
// Other tests build on these, so a slip here would show up as confusing failures elsewhere.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <rapidjson/document.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

extern char** environ;

namespace {

namespace fs = std::filesystem;

struct TAnswer {
  std::string output;
  int exitCode = -1;
};

std::string ReadText(const fs::path& APath) {
  std::ifstream in(APath, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

class FakeTwTest : public testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = fs::temp_directory_path().string() + "/fake-tw test XXXXXX";
    ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
    FRoot = pattern;
  }
  void TearDown() override {
    std::error_code ignored;
    fs::remove_all(FRoot, ignored);
  }

  void Scenario(const std::string& AJson) const {
    std::ofstream(FRoot / "scenario.json", std::ios::binary) << AJson;
  }

  // Runs the stand-in with its output in a file, and its exit code; AWithScenario false leaves
  // the scenario variable out.
  TAnswer Run(const std::vector<std::string>& AArgs, bool AWithScenario = true) const {
    std::vector<std::string> env;
    for (char** e = environ; *e != nullptr; ++e) {
      const std::string var = *e;
      if (!var.starts_with("FAKE_TW_")) env.push_back(var);
    }
    if (AWithScenario) env.push_back("FAKE_TW_SCENARIO=" + (FRoot / "scenario.json").string());
    env.push_back("FAKE_TW_LOG=" + (FRoot / "log.jsonl").string());
    std::vector<char*> envp;
    envp.reserve(env.size() + 1);
    for (auto& v : env) envp.push_back(v.data());
    envp.push_back(nullptr);

    std::vector<std::string> args = {TWD_FAKE_TW};
    args.insert(args.end(), AArgs.begin(), AArgs.end());
    std::vector<char*> argv;
    argv.reserve(args.size() + 1);
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);

    const fs::path outPath = FRoot / "out.txt";
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0644);
    posix_spawn_file_actions_adddup2(&actions, 1, 2);
    pid_t pid = -1;
    const int spawned = ::posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    TAnswer answer;
    if (spawned != 0) return answer;
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    answer.output = ReadText(outPath);
    answer.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return answer;
  }

  fs::path FRoot;
};

TEST_F(FakeTwTest, TheFirstMatchingRuleAnswersThenTheDefault) {
  Scenario(R"({"rules": [
    {"args": "workspace status --json", "output": "exact\n"},
    {"prefix": "workspace status ", "output": "by prefix\n", "exit": 5},
    {"args": "workspace list --json", "output": "listed\n"},
    {"prefix": "workspace", "output": "any workspace command\n"},
    {"args": "workspace list --json", "output": "never: an earlier rule matches\n"}
  ], "default": {"output": "unknown command\n", "exit": 2}})");
  const struct {
    std::vector<std::string> args;
    TAnswer answer;
  } cases[] = {
      {{"workspace", "status", "--json"}, {"exact\n", 0}},
      {{"workspace", "status", "ws1", "--json"}, {"by prefix\n", 5}},
      {{"workspace", "list", "--json"}, {"listed\n", 0}},
      {{"workspace", "update"}, {"any workspace command\n", 0}},
      // Arguments are joined with single blanks before matching.
      {{"workspace status", "--json"}, {"exact\n", 0}},
      {{"login", "--token", "t"}, {"unknown command\n", 2}},
      {{}, {"unknown command\n", 2}},
  };
  for (const auto& c : cases) {
    const TAnswer answer = Run(c.args);
    EXPECT_EQ(answer.output, c.answer.output) << testing::PrintToString(c.args);
    EXPECT_EQ(answer.exitCode, c.answer.exitCode) << testing::PrintToString(c.args);
  }
}

TEST_F(FakeTwTest, FallsBackWhenNothingAnswers) {
  const struct {
    const char* what;
    const char* scenario;  // nullptr: no scenario variable
    TAnswer answer;
  } cases[] = {
      {"no rule and no default",
       R"({"rules": [{"args": "x"}]})",
       {"fake-tw: no rule for: workspace update\n", 2}},
      {"a rule with neither args nor prefix matches everything",
       R"({"rules": [{"output": "any\n", "exit": 7}]})",
       {"any\n", 7}},
      {"scenario is not JSON", "{rules", {"fake-tw: no scenario\n", 3}},
      {"scenario is not an object", "[]", {"fake-tw: no scenario\n", 3}},
      {"no scenario variable", nullptr, {"fake-tw: no scenario\n", 3}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    if (c.scenario) Scenario(c.scenario);
    const TAnswer answer = Run({"workspace", "update"}, c.scenario != nullptr);
    EXPECT_EQ(answer.output, c.answer.output);
    EXPECT_EQ(answer.exitCode, c.answer.exitCode);
  }
  fs::remove(FRoot / "scenario.json");
  EXPECT_EQ(Run({"x"}).output, "fake-tw: no scenario\n") << "unreadable file";
}

TEST_F(FakeTwTest, LogsEveryRunAsOneLineEvenWithoutAScenario) {
  Scenario(R"({"default": {"output": "ok\n"}})");
  Run({"workspace", "commit", "-m", "\"a \\ b\"\n", ""});
  Run({"login"}, false);

  std::istringstream lines(ReadText(FRoot / "log.jsonl"));
  std::string line;
  std::vector<rapidjson::Document> log;
  while (std::getline(lines, line)) {
    log.emplace_back().Parse(line.c_str());
    ASSERT_FALSE(log.back().HasParseError()) << line;
  }
  ASSERT_EQ(log.size(), 2u);
  const auto& args = log[0]["args"];
  ASSERT_EQ(args.Size(), 5u);
  EXPECT_STREQ(args[3].GetString(), "\"a \\ b\"\n");
  EXPECT_STREQ(args[4].GetString(), "");
  EXPECT_EQ(std::string(log[0]["cwd"].GetString()), fs::current_path().string());
  EXPECT_TRUE(log[0]["pid"].IsInt());
  EXPECT_STREQ(log[1]["args"][0].GetString(), "login");
}

}  // namespace
