#pragma once

// Test support for the frame's tests: a recording web surface, a queue the test drains, a
// context, the scripted CLI stand-in in a scratch folder, and helpers that read the page's
// scripts back. Header only, so that it stays out of the frame's library.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <rapidjson/document.h>
#include <rapidjson/stringbuffer.h>
#include <rapidjson/writer.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <deque>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <sstream>
#include <stdexcept>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "view/MainThreadQueue.h"
#include "view/TarnwickContext.h"
#include "view/TarnwickFrame.h"
#include "view/WebSurface.h"

namespace twdesktop::testkit {

// Generous: the sanitizer builds run the CLI many times slower. Nothing asserts on time.
inline constexpr std::chrono::seconds kPatience{60};

enum class ESurfaceEvent { Creation, Navigate, Script, Message, Status };

struct TSurfaceEvent {
  ESurfaceEvent Kind;
  std::string Text;
};

// Everything the frame did to its surface, in order. Shared between the test and the fake
// surface so that it outlives the frame (and the surface the frame owns).
struct TSurfaceLog {
  std::vector<TSurfaceEvent> Events;
  IWebSurfaceListener* Listener = nullptr;

  std::vector<std::string> Texts(ESurfaceEvent AKind) const {
    std::vector<std::string> Result;
    for (const TSurfaceEvent& Event : Events) {
      if (Event.Kind == AKind) Result.push_back(Event.Text);
    }
    return Result;
  }
  std::vector<std::string> Statuses() const { return Texts(ESurfaceEvent::Status); }
  std::vector<std::string> Scripts() const { return Texts(ESurfaceEvent::Script); }
  std::vector<std::string> Messages() const { return Texts(ESurfaceEvent::Message); }
  std::string LastStatus() const {
    const std::vector<std::string> All = Statuses();
    return All.empty() ? std::string() : All.back();
  }
};

class TFakeSurface final : public IWebSurface {
 public:
  explicit TFakeSurface(std::shared_ptr<TSurfaceLog> ALog) : FLog(std::move(ALog)) {}
  ~TFakeSurface() override { FLog->Listener = nullptr; }

  void StartCreation(const std::string& AUserDataFolder, IWebSurfaceListener& AListener) override {
    FLog->Listener = &AListener;
    Add(ESurfaceEvent::Creation, AUserDataFolder);
  }
  void NavigateToHtml(const std::string& AHtml) override { Add(ESurfaceEvent::Navigate, AHtml); }
  void ExecuteScript(const std::string& AScript) override { Add(ESurfaceEvent::Script, AScript); }
  void PostWebMessage(const std::string& AMessage) override {
    Add(ESurfaceEvent::Message, AMessage);
  }
  void SetStatusText(const std::string& AText) override { Add(ESurfaceEvent::Status, AText); }

 private:
  void Add(ESurfaceEvent AKind, const std::string& AText) {
    FLog->Events.push_back({AKind, AText});
  }
  std::shared_ptr<TSurfaceLog> FLog;
};

// A main-thread queue that the test drains by hand. Workers post from their threads.
class TTestQueue final : public IMainThreadQueue {
 public:
  void Post(std::function<void()> AClosure) override {
    {
      std::lock_guard Lock(FMutex);
      FPending.push_back(std::move(AClosure));
      ++FPosted;
    }
    FChanged.notify_all();
  }

  size_t Posted() const {
    std::lock_guard Lock(FMutex);
    return FPosted;
  }

  // True once at least ACount closures have been posted in all.
  bool WaitForPosted(size_t ACount) {
    std::unique_lock Lock(FMutex);
    return FChanged.wait_for(Lock, kPatience, [&] { return FPosted >= ACount; });
  }

  // Runs what is queued now, in order, on the calling thread; returns how many ran.
  size_t RunPending() {
    std::deque<std::function<void()>> Batch;
    {
      std::lock_guard Lock(FMutex);
      Batch.swap(FPending);
    }
    for (auto& Closure : Batch) Closure();
    return Batch.size();
  }

 private:
  mutable std::mutex FMutex;
  std::condition_variable FChanged;
  std::deque<std::function<void()>> FPending;
  size_t FPosted = 0;
};

// Waits until no one but AOwners holds the queue: every worker holds a copy of it until it
// ends, so this is "every worker has ended".
inline bool WaitForWorkersToEnd(const std::shared_ptr<TTestQueue>& AQueue, long AOwners) {
  const auto Deadline = std::chrono::steady_clock::now() + kPatience;
  while (AQueue.use_count() > AOwners) {
    if (std::chrono::steady_clock::now() > Deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  return true;
}

class TTestContext final : public ITarnwickContext {
 public:
  TTestContext(std::string ACliPath, std::string AWorkspacePath,
               std::shared_ptr<std::vector<std::string>> AAsked)
      : FCliPath(std::move(ACliPath)),
        FWorkspacePath(std::move(AWorkspacePath)),
        FAsked(std::move(AAsked)) {}
  std::string WorkspacePath() const override {
    FAsked->push_back("WorkspacePath");
    return FWorkspacePath;
  }
  std::string CliPath() const override {
    FAsked->push_back("CliPath");
    return FCliPath;
  }

 private:
  std::string FCliPath;
  std::string FWorkspacePath;
  std::shared_ptr<std::vector<std::string>> FAsked;
};

// A JSON string literal written by RapidJSON, for building scenarios and messages in tests.
inline std::string Quoted(std::string_view AText) {
  rapidjson::StringBuffer Buffer;
  rapidjson::Writer<rapidjson::StringBuffer> Writer(Buffer);
  Writer.String(AText.data(), static_cast<rapidjson::SizeType>(AText.size()));
  return Buffer.GetString();
}

// One run of the stand-in as its log recorded it.
struct TLoggedRun {
  std::vector<std::string> Args;
  std::string Cwd;
};

// The stand-in for the companion CLI, copied as "tw" into a scratch folder beside a workspace
// folder. The scenario and log variables are set for the whole process; children inherit them.
class TFakeCli {
 public:
  TFakeCli() {
    std::string Template = (std::filesystem::temp_directory_path() / "twd-frame-XXXXXX").string();
    const char* Made = mkdtemp(Template.data());
    // GoogleTest reports an exception from a fixture as the test's failure.
    if (Made == nullptr) throw std::runtime_error("cannot make a scratch folder");
    FRoot = Made;
    std::filesystem::create_directory(WorkspacePath());
    std::filesystem::copy_file(TWD_FAKE_TW, CliPath());
    std::filesystem::permissions(CliPath(), std::filesystem::perms::owner_all);
    // Set while no worker runs (every harness waits for its workers before it goes), so no
    // child start reads the environment at the same time.
    // NOLINTNEXTLINE(concurrency-mt-unsafe)
    setenv("FAKE_TW_SCENARIO", (FRoot / "scenario.json").c_str(), 1);
    // NOLINTNEXTLINE(concurrency-mt-unsafe)
    setenv("FAKE_TW_LOG", (FRoot / "runs.log").c_str(), 1);
  }
  ~TFakeCli() {
    std::error_code Ignored;
    std::filesystem::remove_all(FRoot, Ignored);
  }
  TFakeCli(const TFakeCli&) = delete;
  TFakeCli& operator=(const TFakeCli&) = delete;

  std::string CliPath() const { return (FRoot / "tw").string(); }
  std::string WorkspacePath() const { return (FRoot / "work space").string(); }
  std::string MissingCliPath() const { return (FRoot / "no-such-folder" / "tw").string(); }

  // AScenario: the scenario's JSON text (see the stand-in's README).
  void SetScenario(const std::string& AScenario) const {
    std::ofstream(FRoot / "scenario.json", std::ios::trunc) << AScenario;
  }

  std::vector<TLoggedRun> Runs() const {
    std::vector<TLoggedRun> Result;
    std::ifstream In(FRoot / "runs.log");
    std::string Line;
    while (std::getline(In, Line)) {
      rapidjson::Document Doc;
      Doc.Parse(Line.c_str(), Line.size());
      EXPECT_FALSE(Doc.HasParseError()) << Line;
      if (Doc.HasParseError() || !Doc.IsObject()) continue;
      TLoggedRun Run;
      for (const auto& Arg : Doc["args"].GetArray()) {
        Run.Args.emplace_back(Arg.GetString(), Arg.GetStringLength());
      }
      Run.Cwd = Doc["cwd"].GetString();
      Result.push_back(std::move(Run));
    }
    return Result;
  }

  std::vector<std::vector<std::string>> RunArgs() const {
    std::vector<std::vector<std::string>> Result;
    for (TLoggedRun& Run : Runs()) Result.push_back(std::move(Run.Args));
    return Result;
  }

 private:
  std::filesystem::path FRoot;
};

inline constexpr const char* kUserDataFolder = "/nonexistent/user-data/Tarnwick-view_test";
inline constexpr const char* kPageHtml = "<!doctype html><title>page</title>";

// The real frame on a fake surface and a test-drained queue. The test plays the main thread:
// it sends the page's messages and runs the queued completions.
class TFrameHarness {
 public:
  struct TOptions {
    bool WithContext = true;
    bool MissingCli = false;
    bool CreateWebView = true;  // report a successful creation right after Activate
  };

  explicit TFrameHarness(const TFakeCli& ACli) : TFrameHarness(ACli, TOptions{}) {}
  TFrameHarness(const TFakeCli& ACli, TOptions AOptions)
      : Log(std::make_shared<TSurfaceLog>()),
        Queue(std::make_shared<TTestQueue>()),
        Asked(std::make_shared<std::vector<std::string>>()) {
    TFramePlatform Platform;
    Platform.Surface = std::make_unique<TFakeSurface>(Log);
    Platform.Queue = Queue;
    Platform.UserDataFolder = [this] {
      Asked->push_back("UserDataFolder");
      return std::string(kUserDataFolder);
    };
    Platform.LoadViewHtml = [this] {
      Asked->push_back("LoadViewHtml");
      return std::string(kPageHtml);
    };
    Frame = std::make_unique<TTarnwickFrame>(std::move(Platform));
    if (AOptions.WithContext) {
      Frame->SetContext(std::make_shared<TTestContext>(
          AOptions.MissingCli ? ACli.MissingCliPath() : ACli.CliPath(), ACli.WorkspacePath(),
          Asked));
    }
    Frame->Activate();
    if (AOptions.CreateWebView && Log->Listener != nullptr) Log->Listener->WebViewCreated(true);
  }

  ~TFrameHarness() {
    DestroyFrame();
    EXPECT_TRUE(WaitForWorkersToEnd(Queue, 1)) << "a worker did not end";
    Queue->RunPending();
  }

  // What the page would post: a string message (nullopt: a non-string value).
  void Send(const std::optional<std::string>& AText) {
    ASSERT_NE(Log->Listener, nullptr) << "no web view to post from";
    Log->Listener->WebMessageReceived(AText);
  }

  // Runs completions until every worker has ended and nothing is left in the queue, the
  // completions' own follow-up actions included.
  void Settle() {
    for (;;) {
      ASSERT_TRUE(WaitForWorkersToEnd(Queue, Frame ? 2 : 1)) << "a worker did not end";
      if (Queue->RunPending() == 0) return;
    }
  }

  void DestroyFrame() { Frame.reset(); }

  std::shared_ptr<TSurfaceLog> Log;
  std::shared_ptr<TTestQueue> Queue;
  std::shared_ptr<std::vector<std::string>> Asked;
  std::unique_ptr<TTarnwickFrame> Frame;
};

// Reads the JSON string literal that starts at APos and moves APos past it; nothing when there
// is no well-formed literal there.
inline std::optional<std::string> ReadLiteral(std::string_view AText, size_t& APos) {
  if (APos >= AText.size() || AText[APos] != '"') return std::nullopt;
  size_t End = APos + 1;
  while (End < AText.size() && AText[End] != '"') End += AText[End] == '\\' ? 2 : 1;
  if (End >= AText.size()) return std::nullopt;
  const std::string Literal(AText.substr(APos, End + 1 - APos));
  rapidjson::Document Doc;
  Doc.Parse(Literal.c_str(), Literal.size());
  if (Doc.HasParseError() || !Doc.IsString()) return std::nullopt;
  APos = End + 1;
  return std::string(Doc.GetString(), Doc.GetStringLength());
}

inline bool ReadExact(std::string_view AText, size_t& APos, std::string_view AExpected) {
  if (AText.substr(APos, AExpected.size()) != AExpected) return false;
  APos += AExpected.size();
  return true;
}

// The (id, state) pairs of a sweep's script, when it is exactly a row of
// window.setWorkspaceDot(<literal>,<literal>); calls and nothing else.
inline std::optional<std::vector<std::pair<std::string, std::string>>> ReadDotScript(
    std::string_view AScript) {
  std::vector<std::pair<std::string, std::string>> Calls;
  size_t Pos = 0;
  while (Pos < AScript.size()) {
    if (!ReadExact(AScript, Pos, "window.setWorkspaceDot(")) return std::nullopt;
    std::optional<std::string> Id = ReadLiteral(AScript, Pos);
    if (!Id || !ReadExact(AScript, Pos, ",")) return std::nullopt;
    std::optional<std::string> State = ReadLiteral(AScript, Pos);
    if (!State || !ReadExact(AScript, Pos, ");")) return std::nullopt;
    Calls.emplace_back(std::move(*Id), std::move(*State));
  }
  return Calls;
}

struct TErrorCard {
  std::string Title;
  std::string Hint;
  bool SignIn = false;
  bool operator==(const TErrorCard&) const = default;
};

// The arguments of a script that is exactly window.showError(<literal>,<literal>,true|false).
inline std::optional<TErrorCard> ReadShowError(std::string_view AScript) {
  TErrorCard Card;
  size_t Pos = 0;
  if (!ReadExact(AScript, Pos, "window.showError(")) return std::nullopt;
  std::optional<std::string> Title = ReadLiteral(AScript, Pos);
  if (!Title || !ReadExact(AScript, Pos, ",")) return std::nullopt;
  std::optional<std::string> Hint = ReadLiteral(AScript, Pos);
  if (!Hint || !ReadExact(AScript, Pos, ",")) return std::nullopt;
  if (ReadExact(AScript, Pos, "true)")) {
    Card.SignIn = true;
  } else if (!ReadExact(AScript, Pos, "false)")) {
    return std::nullopt;
  }
  if (Pos != AScript.size()) return std::nullopt;
  Card.Title = std::move(*Title);
  Card.Hint = std::move(*Hint);
  return Card;
}

// Characters that would let a value end a script early or break out of an HTML script block.
inline bool HasRawBreakout(std::string_view AScript) {
  return AScript.find('\n') != std::string_view::npos ||
         AScript.find('\r') != std::string_view::npos ||
         AScript.find("\xE2\x80\xA8") != std::string_view::npos ||
         AScript.find("\xE2\x80\xA9") != std::string_view::npos ||
         AScript.find("</") != std::string_view::npos;
}

}  // namespace twdesktop::testkit
