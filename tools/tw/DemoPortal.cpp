#include "DemoPortal.h"

#include <rapidjson/document.h>

#include <filesystem>
#include <fstream>
#include <vector>

#include "Files.h"
#include "Git.h"
#include "Portal.h"

namespace tw {

namespace fs = std::filesystem;

namespace {

struct TDemoRepo {
  const char* Id;
  const char* Summary;
};

struct TDemoWorkspace {
  const char* Id;
  const char* Name;
  TDemoRepo Root;
  const char* ReleaseTag;  // a release of the root, or nothing
  bool WorkSinceRelease;   // false: the root's HEAD is the release
  std::vector<TDemoRepo> Modules;
};

const std::vector<TDemoWorkspace>& DemoWorkspaces() {
  static const std::vector<TDemoWorkspace> workspaces = {
      {"atlas",
       "Atlas",
       {"atlas-app", "The Atlas desktop application."},
       "v2.22.5",
       false,
       {{"core", "Shared data types and algorithms."},
        {"net", "HTTP and socket transport."},
        {"storage", "Local database and file cache."},
        {"ui", "Widgets and themes."},
        {"telemetry", "Opt-in usage counters."}}},
      {"beacon",
       "Beacon",
       {"beacon-service", "The Beacon notification service."},
       "v1.4.0",
       true,
       {{"auth", "Sign-in and session handling."}, {"billing", "Plans, invoices and receipts."}}},
      {"cobalt",
       "Cobalt",
       {"cobalt-suite", "The Cobalt build suite."},
       nullptr,
       false,
       {{"parser", "Reads the build files."},
        {"runtime", "Runs the build graph."},
        {"scheduler", "Orders and parallelises jobs."},
        {"cache", "Content-addressed build cache."},
        {"metrics", "Build timing reports."},
        {"plugins", "Loads third-party steps."},
        {"cli", "The command-line front end."},
        {"docs", "User guide and reference."}}},
  };
  return workspaces;
}

std::string Identifier(std::string AId) {
  for (char& c : AId)
    if (c == '-' || c == '.') c = '_';
  return AId;
}

// A repository's whole history as one git fast-import stream: one process per repository
// instead of one per file and commit, and no work tree. Fixed dates a few hours apart, one day
// per repository, and a fixed identity give the same commit ids on every run.
class THistory {
 public:
  explicit THistory(int ASeq) : FTime(kNovemberFirst2026 + (ASeq % 28) * 86400L + 9 * 3600L) {}

  THistory& File(const std::string& APath, const std::string& AText) {
    FFiles += "M 100644 inline " + APath + "\n" + Data(AText);
    return *this;
  }

  THistory& Commit(const std::string& AMessage) {
    const std::string who = "Portal Seed <seed@demo.invalid> " + std::to_string(FTime) + " +0000\n";
    FStream += "commit refs/heads/main\nmark :" + std::to_string(++FMarks) + "\nauthor " + who +
               "committer " + who + Data(AMessage) + FFiles + "\n";
    FFiles.clear();
    FTime += 3600;
    return *this;
  }

  THistory& TagLastCommit(const std::string& ATag) {
    FStream += "reset refs/tags/" + ATag + "\nfrom :" + std::to_string(FMarks) + "\n\n";
    return *this;
  }

  const std::string& Stream() const { return FStream; }

 private:
  static constexpr long kNovemberFirst2026 = 1793491200;

  static std::string Data(const std::string& AText) {
    return "data " + std::to_string(AText.size()) + "\n" + AText + "\n";
  }

  long FTime;
  int FMarks = 0;
  std::string FFiles;
  std::string FStream;
};

bool SeedRepository(const fs::path& APortal, const std::string& ABare, const TDemoRepo& ARepo,
                    const char* ATag, bool AWorkAfterTag, int ASeq, std::string& AError) {
  const std::string id = ARepo.Id;
  const std::string readme = "# " + id + "\n\n" + ARepo.Summary + "\n";
  THistory history(ASeq);
  history.File("README.md", readme)
      .File("src/" + id + ".cpp",
            "// " + id + "\n\nint " + Identifier(id) + "_version() { return 1; }\n")
      .Commit("Initial import of " + id)
      .File("config/" + id + ".toml", "[" + id + "]\nlog_level = \"info\"\n")
      .Commit("Add the " + id + " configuration")
      .File("README.md", readme + "\n## Build\n\nBuilt with the rest of the workspace.\n")
      .Commit("Describe how " + id + " is built");
  if (ATag) {
    history.File("VERSION", std::string(ATag + 1) + "\n")
        .Commit(std::string("Release ") + ATag)
        .TagLastCommit(ATag);
    if (AWorkAfterTag)
      history.File("CHANGELOG.md", "# Changes\n\n- Unreleased: retry on timeouts.\n")
          .Commit(std::string("Start the changelog after ") + ATag);
  }

  const fs::path bare = APortal / ABare;
  const fs::path stream = APortal / (".seed-" + id + ".fi");
  // The user's own git configuration (hooks, templates, default branch) must not change what
  // the portal holds.
  const TGit git(APortal.string(), {"GIT_CONFIG_GLOBAL=/dev/null", "GIT_CONFIG_NOSYSTEM=1"});
  TProcessOptions fromStream;
  fromStream.StdinFile = stream.string();
  fromStream.WorkDir = bare.string();
  TProcessResult result;
  const bool ok = MakeFolders(bare.string()) &&
                  WriteFileAtomically(stream.string(), history.Stream(), 0644) &&
                  (result = git.Run({"init", "-q", "--bare", "-b", "main", bare.string()})).Ok() &&
                  (result = git.Run({"fast-import", "--quiet"}, fromStream)).Ok();
  std::error_code error;
  fs::remove(stream, error);
  if (!ok)
    AError = "cannot make " + bare.string() + (result.Started ? ": " + FirstErrorLine(result) : "");
  return ok;
}

}  // namespace

bool CreateDemoPortal(const std::string& ADir, std::string& AError) {
  const fs::path dir = AbsolutePath(ADir);
  std::error_code error;
  if (fs::exists(dir, error) && !(fs::is_directory(dir, error) && fs::is_empty(dir, error))) {
    AError = dir.string() + " already exists and is not empty; a portal is made in a new folder";
    return false;
  }
  if (!MakeFolders(dir.string())) {
    AError = "cannot create " + dir.string();
    return false;
  }

  rapidjson::Document manifest(rapidjson::kObjectType);
  auto& alloc = manifest.GetAllocator();
  manifest.AddMember("name", "Demo portal", alloc);
  rapidjson::Value tokens(rapidjson::kArrayType);
  rapidjson::Value token(rapidjson::kObjectType);
  token.AddMember("token", rapidjson::StringRef(kDemoToken), alloc);
  token.AddMember("name", "Dana Demo", alloc);
  token.AddMember("email", "dana@demo.invalid", alloc);
  tokens.PushBack(token, alloc);
  manifest.AddMember("tokens", tokens, alloc);

  auto repoEntry = [&](const std::string& AId, const std::string& APath) {
    rapidjson::Value entry(rapidjson::kObjectType);
    entry.AddMember("id", rapidjson::Value(AId.c_str(), alloc), alloc);
    entry.AddMember("name", rapidjson::Value(AId.c_str(), alloc), alloc);
    entry.AddMember("repo", rapidjson::Value(APath.c_str(), alloc), alloc);
    return entry;
  };

  rapidjson::Value workspaces(rapidjson::kArrayType);
  int seq = 0;
  for (const TDemoWorkspace& demo : DemoWorkspaces()) {
    rapidjson::Value workspace(rapidjson::kObjectType);
    workspace.AddMember("id", rapidjson::StringRef(demo.Id), alloc);
    workspace.AddMember("name", rapidjson::StringRef(demo.Name), alloc);
    const std::string rootPath = std::string("repos/") + demo.Id + "/" + demo.Root.Id + ".git";
    if (!SeedRepository(dir, rootPath, demo.Root, demo.ReleaseTag, demo.WorkSinceRelease, seq++,
                        AError))
      return false;
    workspace.AddMember("root", repoEntry(demo.Root.Id, rootPath), alloc);
    rapidjson::Value modules(rapidjson::kArrayType);
    for (const TDemoRepo& module : demo.Modules) {
      const std::string path = std::string("repos/") + demo.Id + "/" + module.Id + ".git";
      if (!SeedRepository(dir, path, module, nullptr, false, seq++, AError)) return false;
      modules.PushBack(repoEntry(module.Id, path), alloc);
    }
    workspace.AddMember("modules", modules, alloc);
    workspaces.PushBack(workspace, alloc);
  }
  manifest.AddMember("workspaces", workspaces, alloc);

  if (!WriteFileAtomically((dir / TPortal::kManifestName).string(), ToJson(manifest, true) + "\n",
                           0644)) {
    AError = "cannot write the portal manifest in " + dir.string();
    return false;
  }
  return true;
}

}  // namespace tw
