#include "core/CliRunner.h"

#include <gtest/gtest.h>
#include <pthread.h>
#include <rapidjson/document.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <latch>
#include <optional>
#include <sstream>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

namespace twdesktop {
namespace {

namespace fs = std::filesystem;

const std::string R = "\xEF\xBF\xBD";  // U+FFFD

// Every call of the progress callback, in order.
struct TProgressLog {
  std::vector<std::string> calls;
  TProgressCallback Callback() {
    return [this](const std::string& AText) { calls.push_back(AText); };
  }
};

std::string ReadText(const fs::path& APath) {
  std::ifstream in(APath, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

// What a user watching the progress would rely on: every call shows more than the one before
// and continues it, and the last one shows the whole output.
void ExpectGrowingProgress(const std::vector<std::string>& ACalls, const std::string& AOutput) {
  ASSERT_FALSE(ACalls.empty());
  EXPECT_FALSE(ACalls.front().empty());
  for (size_t i = 1; i < ACalls.size(); ++i) {
    EXPECT_GT(ACalls[i].size(), ACalls[i - 1].size()) << "call " << i;
    EXPECT_TRUE(ACalls[i].starts_with(ACalls[i - 1])) << "call " << i;
  }
  EXPECT_EQ(ACalls.back(), AOutput);
}

// Environment changes made by a test, undone when it ends. Tests change the environment only
// while no other thread runs, which is what makes these calls safe here.
class TScopedEnv {
 public:
  TScopedEnv(const char* AName, const std::string& AValue) : FName(AName) {
    const char* old = std::getenv(AName);  // NOLINT(concurrency-mt-unsafe)
    if (old != nullptr) FOld = old;
    ::setenv(AName, AValue.c_str(), 1);  // NOLINT(concurrency-mt-unsafe)
  }
  TScopedEnv(const TScopedEnv&) = delete;
  TScopedEnv& operator=(const TScopedEnv&) = delete;
  ~TScopedEnv() {
    if (FOld) {
      ::setenv(FName, FOld->c_str(), 1);  // NOLINT(concurrency-mt-unsafe)
    } else {
      ::unsetenv(FName);  // NOLINT(concurrency-mt-unsafe)
    }
  }

 private:
  const char* FName;
  std::optional<std::string> FOld;
};

// True when this process has no child left to reap: every run waited for its own.
bool NoChildLeft() {
  int status = 0;
  return ::waitpid(-1, &status, WNOHANG) < 0 && errno == ECHILD;
}

// Each test gets its own folder (with a blank in its name, as workspace folders may have) that
// holds the scenario, the stand-in's log and the working folder.
class CliRunnerTest : public testing::Test {
 protected:
  void SetUp() override {
    const char* tmp = std::getenv("TMPDIR");  // NOLINT(concurrency-mt-unsafe)
    std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/twd runner XXXXXX";
    ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
    FRoot = fs::canonical(pattern);
    FWork = FRoot / "work space";
    fs::create_directory(FWork);
    FScenarioVar.emplace("FAKE_TW_SCENARIO", (FRoot / "scenario.json").string());
    FLogVar.emplace("FAKE_TW_LOG", (FRoot / "log.jsonl").string());
  }

  void TearDown() override {
    std::error_code ignored;
    fs::remove_all(FRoot, ignored);
  }

  void Scenario(const std::string& AJson) {
    std::ofstream(FRoot / "scenario.json", std::ios::binary) << AJson;
  }

  TCliRunner Runner() const { return TCliRunner(TWD_FAKE_TW, FWork.string()); }

  // The stand-in copied to APath, with the given permissions.
  fs::path CopyStandIn(const fs::path& APath, fs::perms APerms = fs::perms::owner_all) const {
    fs::create_directories(APath.parent_path());
    fs::copy_file(TWD_FAKE_TW, APath, fs::copy_options::overwrite_existing);
    fs::permissions(APath, APerms);
    return APath;
  }

  // The log's lines, each parsed.
  std::vector<rapidjson::Document> LogLines() const {
    std::vector<rapidjson::Document> lines;
    std::istringstream in(ReadText(FRoot / "log.jsonl"));
    std::string line;
    while (std::getline(in, line)) {
      lines.emplace_back();
      lines.back().Parse(line.c_str());
      EXPECT_FALSE(lines.back().HasParseError()) << line;
    }
    return lines;
  }

  fs::path FRoot;
  fs::path FWork;
  std::optional<TScopedEnv> FScenarioVar;
  std::optional<TScopedEnv> FLogVar;
};

TEST_F(CliRunnerTest, StartsTheProgramHoweverItIsNamed) {
  Scenario(R"({"rules": [{"args": "--version", "output": "tw 1.0\n"}]})");
  const fs::path folder = FRoot / "app folder";
  const fs::path program = CopyStandIn(folder / "tw");

  // A relative path is taken from the caller's folder, not from the child's working folder.
  const fs::path here = fs::current_path();
  fs::current_path(FRoot);
  const char* path = std::getenv("PATH");  // NOLINT(concurrency-mt-unsafe)
  const TScopedEnv searchPath("PATH", folder.string() + ":" + (path ? path : ""));

  const struct {
    const char* how;
    std::string exePath;
  } cases[] = {
      {"absolute path with blanks", program.string()},
      {"relative path with a slash", "app folder/tw"},
      {"bare name found on PATH", "tw"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.how);
    std::string output;
    EXPECT_TRUE(TCliRunner(c.exePath, FWork.string()).Run({"--version"}, output));
    EXPECT_EQ(output, "tw 1.0\n");
  }

  fs::current_path(here);
  EXPECT_TRUE(NoChildLeft());
}

TEST_F(CliRunnerTest, ReportsAProgramThatCannotBeStartedAsFalseWithNoOutput) {
  Scenario(R"({"default": {"output": "ran\n"}})");
  const fs::path notExecutable = CopyStandIn(FRoot / "plain" / "tw", fs::perms::owner_read);
  fs::create_directories(FRoot / "a folder");
  std::ofstream(FRoot / "a file") << "x";

  const struct {
    const char* what;
    std::string exePath;
    std::string workDir;
    std::vector<std::string> args;
  } cases[] = {
      {"no program at the path", (FRoot / "missing" / "tw").string(), FWork.string(), {}},
      {"bare name not on PATH", "twd-no-such-program-here", FWork.string(), {}},
      {"program not executable", notExecutable.string(), FWork.string(), {}},
      {"a folder as the program", (FRoot / "a folder").string(), FWork.string(), {}},
      {"empty program path", "", FWork.string(), {}},
      {"missing working folder", TWD_FAKE_TW, (FRoot / "gone").string(), {}},
      {"a file as the working folder", TWD_FAKE_TW, (FRoot / "a file").string(), {}},
      // An argument cannot carry a NUL byte; cutting it short would run another command.
      {"NUL byte in an argument", TWD_FAKE_TW, FWork.string(), {std::string("a\0b", 3)}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    TCliRunner runner(c.exePath, c.workDir);
    std::string output = "left from before";
    TProgressLog progress;
    EXPECT_FALSE(runner.RunStreaming(c.args, progress.Callback(), output));
    EXPECT_EQ(output, "");
    EXPECT_TRUE(progress.calls.empty());
    output = "left from before";
    EXPECT_FALSE(runner.Run(c.args, output));
    EXPECT_EQ(output, "");
    EXPECT_TRUE(NoChildLeft());
  }
  EXPECT_FALSE(fs::exists(FRoot / "log.jsonl")) << "the stand-in must not have run";
}

TEST_F(CliRunnerTest, ReturnsTrueWithTheOutputWhateverTheExitCode) {
  Scenario(R"({"rules": [
    {"args": "quiet", "output": ""},
    {"args": "fail", "output": "error: not a workspace\n", "exit": 1},
    {"args": "crash", "chunks": [{"text": "partial", "stream": "stderr"}], "exit": 139}
  ]})");
  const struct {
    const char* arg;
    std::string output;
  } cases[] = {
      {"quiet", ""},
      {"fail", "error: not a workspace\n"},
      {"crash", "partial"},
  };
  TCliRunner runner = Runner();
  for (const auto& c : cases) {
    SCOPED_TRACE(c.arg);
    std::string output = "left from before";
    TProgressLog progress;
    EXPECT_TRUE(runner.RunStreaming({c.arg}, progress.Callback(), output));
    EXPECT_EQ(output, c.output);
    if (c.output.empty()) {
      EXPECT_TRUE(progress.calls.empty()) << "no text, no call";
    } else {
      ExpectGrowingProgress(progress.calls, output);
    }
  }
  EXPECT_TRUE(NoChildLeft());
}

TEST_F(CliRunnerTest, HandsEveryArgumentOverExactlyWithNoShell) {
  Scenario(R"({"default": {"echo_args": true}})");
  const std::vector<std::string> args = {
      "workspace",
      "commit",
      "-m",
      "fix \"quoted\" text",
      "a b  c",
      "",
      "back\\slash\\",
      "$(touch pwned)",
      "`touch pwned`",
      "; touch pwned",
      "line one\nline two",
      "*",
      "'single'",
      "$HOME",
      "Gr\303\274\303\237e",
      "-",
  };
  std::string output;
  ASSERT_TRUE(Runner().Run(args, output));

  std::string expected;
  for (const auto& a : args) expected += "<" + a + ">\n";
  EXPECT_EQ(output, expected);

  const auto log = LogLines();
  ASSERT_EQ(log.size(), 1u);
  const auto& logged = log[0]["args"];
  ASSERT_EQ(logged.Size(), args.size());
  for (rapidjson::SizeType i = 0; i < logged.Size(); ++i) {
    EXPECT_EQ(std::string(logged[i].GetString(), logged[i].GetStringLength()), args[i]);
  }
  EXPECT_FALSE(fs::exists(FWork / "pwned"));
  EXPECT_FALSE(fs::exists(FRoot / "pwned"));
}

TEST_F(CliRunnerTest, RunsTheChildInTheWorkingFolder) {
  Scenario(R"({"default": {"output": "ok\n"}})");
  std::string output;
  ASSERT_TRUE(Runner().Run({"workspace", "status", "--json"}, output));
  // An empty working folder leaves the child where the caller is.
  ASSERT_TRUE(TCliRunner(TWD_FAKE_TW, "").Run({"x"}, output));

  const auto log = LogLines();
  ASSERT_EQ(log.size(), 2u);
  EXPECT_EQ(std::string(log[0]["cwd"].GetString()), FWork.string());
  EXPECT_EQ(std::string(log[1]["cwd"].GetString()), fs::current_path().string());
}

TEST_F(CliRunnerTest, ChildHasNoStandardInputAndStartsWithDefaultSignals) {
  Scenario(R"({"default": {"stdin_report": true, "signal_report": true}})");

  // Set up what a GUI process and its worker threads may have: an ignored SIGPIPE and a
  // blocked signal. None of it may reach the CLI.
  struct sigaction ignore {};
  struct sigaction previous {};
  ignore.sa_handler = SIG_IGN;
  ::sigaction(SIGPIPE, &ignore, &previous);
  sigset_t blocked;
  sigset_t previousMask;
  sigemptyset(&blocked);
  sigaddset(&blocked, SIGUSR1);
  ::pthread_sigmask(SIG_BLOCK, &blocked, &previousMask);

  // Our own stdin is a pipe that stays open with nothing in it: a child that inherited it
  // would see "waiting", not the end of its input.
  int quietPipe[2];
  ASSERT_EQ(::pipe(quietPipe), 0);
  const int ourStdin = ::dup(0);
  ::dup2(quietPipe[0], 0);

  std::string output;
  const bool ok = Runner().Run({"status"}, output);

  ::dup2(ourStdin, 0);
  ::close(ourStdin);
  ::close(quietPipe[0]);
  ::close(quietPipe[1]);
  ::pthread_sigmask(SIG_SETMASK, &previousMask, nullptr);
  ::sigaction(SIGPIPE, &previous, nullptr);

  ASSERT_TRUE(ok);
  std::istringstream lines(output);
  std::string stdinLine, blockedLine, ignoredLine;
  std::getline(lines, stdinLine);
  std::getline(lines, blockedLine);
  std::getline(lines, ignoredLine);
  // Reading stdin must end at once rather than wait for input that never comes.
  EXPECT_EQ(stdinLine, "stdin: eof /dev/null");

  // Only the classic signals 1..31 are ours to judge; the C library may keep its own
  // real-time ones ignored.
  const auto classic = [](const std::string& ALine) {
    const auto tab = ALine.find_first_of(" \t");
    return std::stoull(ALine.substr(tab + 1), nullptr, 16) & 0x7FFFFFFFull;
  };
  ASSERT_TRUE(blockedLine.starts_with("SigBlk:")) << output;
  ASSERT_TRUE(ignoredLine.starts_with("SigIgn:")) << output;
  EXPECT_EQ(classic(blockedLine), 0u) << blockedLine;
  EXPECT_EQ(classic(ignoredLine), 0u) << ignoredLine;
}

TEST_F(CliRunnerTest, KeepsStdoutAndStderrInTheOrderWritten) {
  Scenario(R"({"default": {"chunks": [
    {"text": "[1/3] cloning root\n"},
    {"text": "warning: slow\n", "stream": "stderr"},
    {"text": "[2/3] cloning lib\n"},
    {"delay_ms": 20, "text": "error: lib\n", "stream": "stderr"},
    {"text": "Summary: 1 ok, 1 failed\n"}
  ]}})");
  std::string output;
  ASSERT_TRUE(Runner().Run({"workspace", "clone", "ws1"}, output));
  EXPECT_EQ(output,
            "[1/3] cloning root\nwarning: slow\n[2/3] cloning lib\nerror: lib\n"
            "Summary: 1 ok, 1 failed\n");
}

// Pieces of output that reach the runner in separate reads (a delay between them), and what
// the text must be once they are all in.
TEST_F(CliRunnerTest, DecodesUtf8AcrossReadsDropsNulAloneAndReplacesInvalidBytes) {
  Scenario(R"({"rules": [
    {"args": "split", "chunks": [
      {"hex": "e282"}, {"delay_ms": 80, "hex": "ac0a"},
      {"delay_ms": 80, "hex": "f0"}, {"delay_ms": 80, "hex": "9d84"}, {"delay_ms": 80, "hex": "9e"}
    ]},
    {"args": "nul", "chunks": [
      {"hex": "61006263"}, {"delay_ms": 80, "hex": "0064"}, {"delay_ms": 80, "hex": "65 00"}
    ]},
    {"args": "invalid", "chunks": [
      {"hex": "41ff42c0af43"}, {"delay_ms": 80, "hex": "eda080"}, {"delay_ms": 80, "hex": "44e282"}
    ]}
  ]})");
  const struct {
    const char* arg;
    std::string output;
  } cases[] = {
      {"split", "\xE2\x82\xAC\n\xF0\x9D\x84\x9E"},
      {"nul", "abcde"},
      {"invalid", "A" + R + "B" + R + R + "C" + R + R + R + "D" + R},
  };
  TCliRunner runner = Runner();
  for (const auto& c : cases) {
    SCOPED_TRACE(c.arg);
    std::string output;
    TProgressLog progress;
    ASSERT_TRUE(runner.RunStreaming({c.arg}, progress.Callback(), output));
    EXPECT_EQ(output, c.output);
    // Reads that bring only part of a character (or only a NUL) show nothing new, and a
    // character never shows up as a replacement first and right later.
    ExpectGrowingProgress(progress.calls, output);
  }
}

TEST_F(CliRunnerTest, ProgressGrowsByWhatEachReadAdded) {
  Scenario(R"({"default": {"chunks": [
    {"text": "[1/3] cloning root\n"},
    {"delay_ms": 150, "text": "[2/3] cloning lib\n"},
    {"delay_ms": 150, "text": "[3/3] cloning docs\nSummary: 3 ok\n"}
  ]}})");
  std::string output;
  TProgressLog progress;
  ASSERT_TRUE(Runner().RunStreaming({"workspace", "clone", "ws1"}, progress.Callback(), output));
  EXPECT_EQ(output, "[1/3] cloning root\n[2/3] cloning lib\n[3/3] cloning docs\nSummary: 3 ok\n");
  // The output came in three pieces well apart, so it was shown before the run ended.
  EXPECT_GE(progress.calls.size(), 2u);
  ExpectGrowingProgress(progress.calls, output);
}

TEST_F(CliRunnerTest, DeliversTenMegabytesWholeWithAndWithoutCallback) {
  // A line whose length does not divide the read size, with characters of every width, so
  // that reads end inside characters all the time.
  const std::string line = "0123456789 Gr\303\274\303\237e \xE2\x82\xAC \xF0\x9D\x84\x9E\n";
  const size_t repeat = size_t{10} * 1024 * 1024 / line.size() + 1;
  Scenario(R"({"default": {"output": "start\n", "chunks": [{"text": ")" +
           line.substr(0, line.size() - 1) + R"(\n", "repeat": )" + std::to_string(repeat) +
           R"(}, {"text": "end\n", "stream": "stderr"}]}})");
  std::string expected = "start\n";
  for (size_t i = 0; i < repeat; ++i) expected += line;
  expected += "end\n";

  TCliRunner runner = Runner();
  std::string plain;
  ASSERT_TRUE(runner.Run({"workspace", "diff", "--json"}, plain));
  EXPECT_TRUE(plain == expected) << "sizes " << plain.size() << " and " << expected.size();

  std::string streamed;
  size_t calls = 0;
  size_t shown = 0;
  bool grewEachTime = true;
  bool eachPieceRight = true;
  ASSERT_TRUE(runner.RunStreaming(
      {"workspace", "diff", "--json"},
      [&](const std::string& AText) {
        ++calls;
        grewEachTime = grewEachTime && AText.size() > shown;
        eachPieceRight =
            eachPieceRight && AText.size() <= expected.size() &&
            AText.compare(shown, std::string::npos, expected, shown, AText.size() - shown) == 0;
        shown = AText.size();
      },
      streamed));
  EXPECT_TRUE(streamed == plain);
  EXPECT_GT(calls, 1u);
  EXPECT_TRUE(grewEachTime);
  EXPECT_TRUE(eachPieceRight);
  EXPECT_EQ(shown, streamed.size()) << "the last call shows the whole output";
}

TEST_F(CliRunnerTest, ACallbackThatThrowsLeavesNoChildBehind) {
  // Far more than a pipe holds: the child is still writing when the callback throws.
  Scenario(R"({"default": {"chunks": [{"text": "0123456789abcdef", "repeat": 1000000}]}})");
  std::string output;
  EXPECT_THROW(Runner().RunStreaming(
                   {"x"}, [](const std::string&) { throw std::runtime_error("stop"); }, output),
               std::runtime_error);
  EXPECT_TRUE(NoChildLeft());
}

// A run whose CLI leaves a long-lived background process behind, started in the same instant
// as another run: the other run's pipe must not leak into that process, or it would wait for
// it. Several pairs make the race likely.
TEST_F(CliRunnerTest, ARunDoesNotWaitForAnotherRunsBackgroundProcess) {
  Scenario(R"({"rules": [
    {"args": "workspace update", "detach_sleep_ms": 20000, "output": "Summary: ok\n"},
    {"args": "workspace status --json", "output": "{\"nodes\":[]}\n"}
  ]})");
  using Clock = std::chrono::steady_clock;
  // One runner for both threads, as the frame shares its one runner between its workers.
  TCliRunner runner = Runner();
  for (int pair = 0; pair < 12; ++pair) {
    SCOPED_TRACE(pair);
    std::latch start(2);
    std::string updateOut;
    std::string statusOut;
    bool updateOk = false;
    bool statusOk = false;
    Clock::duration updateTime{};
    Clock::duration statusTime{};
    const auto run = [&](const std::vector<std::string>& AArgs, std::string& AOut, bool& AOk,
                         Clock::duration& ATime) {
      start.arrive_and_wait();
      const auto begin = Clock::now();
      AOk = runner.Run(AArgs, AOut);
      ATime = Clock::now() - begin;
    };
    std::thread update(run, std::vector<std::string>{"workspace", "update"}, std::ref(updateOut),
                       std::ref(updateOk), std::ref(updateTime));
    std::thread status(run, std::vector<std::string>{"workspace", "status", "--json"},
                       std::ref(statusOut), std::ref(statusOk), std::ref(statusTime));
    update.join();
    status.join();

    EXPECT_TRUE(updateOk);
    EXPECT_TRUE(statusOk);
    EXPECT_EQ(updateOut, "Summary: ok\n");
    EXPECT_EQ(statusOut, "{\"nodes\":[]}\n");
    // The background process sleeps 20 s; anything near that means a leaked pipe end.
    EXPECT_LT(updateTime, std::chrono::seconds(10));
    EXPECT_LT(statusTime, std::chrono::seconds(10));
    if (HasFailure()) break;  // one leak is enough; each would cost another 20 s
  }
}

}  // namespace
}  // namespace twdesktop
