#include "Commands.h"

#include <rapidjson/document.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <sstream>

#include "CliState.h"
#include "DemoPortal.h"
#include "Files.h"
#include "Git.h"
#include "Portal.h"
#include "RepoState.h"
#include "WorkspaceFolder.h"

namespace tw {

namespace fs = std::filesystem;

namespace {

// The application shows its sign-in card for an output without braces that holds "login" or
// "token", and "No workspace cloned here" for one that holds neither; the two texts below are
// written for that rule.
const char* const kSignedOutText = "Not signed in: run tw login --token <your token> first.";
const char* const kNoWorkspaceText =
    "No workspace here: this folder is not inside a cloned workspace (clone one with tw "
    "workspace clone ID).";

// Diffs larger than this are cut in the document: the page draws every line.
constexpr size_t kDiffLimit = 4u << 20;
// Each untracked file costs a git run; past this many (a build folder nobody ignored, say)
// the rest are only named.
constexpr size_t kUntrackedShown = 200;

// Output goes out at once: the application shows a clone's progress while it runs. A reader
// that has gone away is not our failure to report (SIGPIPE is ignored; see main).
void Print(const std::string& AText) {
  (void)std::fwrite(AText.data(), 1, AText.size(), stdout);
  (void)std::fflush(stdout);
}

void Say(const std::string& ALine) {
  Print(ALine + "\n");
}

const char* const kUsage =
    "usage: tw <command>\n"
    "\n"
    "  login --token TOKEN             sign in to the portal\n"
    "  logout                          forget the sign-in\n"
    "  workspace list [--json]         the portal's workspaces\n"
    "  workspace status [ID] [--json]  every repository of the workspace here (or of ID)\n"
    "  workspace update                git pull --ff-only in every clean repository\n"
    "  workspace commit -m MESSAGE     add and commit in every repository with changes\n"
    "  workspace diff [--json]         uncommitted changes against HEAD, untracked files too\n"
    "  workspace push                  push every repository that is ahead of its remote\n"
    "  workspace clone ID              clone a workspace (here, or beside the one here)\n"
    "  portal init DIR --demo          create a demo portal in a new folder\n"
    "\n"
    "Environment: TW_PORTAL (the portal folder), TW_HOME (the sign-in and clone records).\n";

int Usage(const std::string& AProblem) {
  Say("tw: " + AProblem + " (tw help lists the commands)");
  return kExitUsage;
}

std::string Plural(size_t ACount, const char* AOne, const char* AMany) {
  return std::to_string(ACount) + " " + (ACount == 1 ? AOne : AMany);
}

// An id from the command line, echoed only when it is a plain name: a caller may read any
// brace in our output as the start of a document.
std::string Quoted(const std::string& AId) {
  return IsPlainId(AId) ? "\"" + AId + "\"" : "with that id";
}

std::string JoinNames(const std::vector<std::string>& ANames, const char* ASeparator = ", ") {
  std::string text;
  for (const std::string& name : ANames) text += (text.empty() ? "" : ASeparator) + name;
  return text;
}

// The signed-in user on the portal in use, or a printed reason and an exit code.
struct TSignedIn {
  TPortal Portal;
  TPortalUser User;
};

std::optional<TSignedIn> RequireSignIn(int& AExit) {
  AExit = kExitSignedOut;
  const std::optional<TSession> session = LoadSession();
  const std::string portalDir = PortalFolder();
  if (!session) {
    Say(kSignedOutText);
    return std::nullopt;
  }
  if (session->Portal != portalDir) {
    Say("Not signed in to the portal at " + portalDir + ": run tw login --token <your token>.");
    return std::nullopt;
  }
  std::string error;
  std::optional<TPortal> portal = TPortal::Load(portalDir, error);
  if (!portal) {
    AExit = kExitFailed;
    Say("Cannot open the portal: " + error + ".");
    return std::nullopt;
  }
  std::optional<TPortalUser> user = portal->UserForToken(session->Token);
  if (!user) {
    Say("The portal no longer accepts your sign-in: run tw login --token <your token> again.");
    return std::nullopt;
  }
  AExit = kExitOk;
  return TSignedIn{std::move(*portal), std::move(*user)};
}

// The workspace that holds the working folder, checked against the portal.
struct TOpenWorkspace {
  const TPortalWorkspace* Entry = nullptr;
  std::string Folder;  // empty: not cloned anywhere we know of
};

std::optional<TOpenWorkspace> WorkspaceHere(const TPortal& APortal, const std::string& AWorkDir,
                                            int& AExit) {
  AExit = kExitNoWorkspace;
  const std::optional<TWorkspaceHere> here = FindWorkspace(AWorkDir);
  if (!here) {
    Say(kNoWorkspaceText);
    return std::nullopt;
  }
  // No paths in these lines: the application sorts a line without braces by the words in it,
  // and a folder may well be called "tokens" or "{draft}".
  if (here->Portal != APortal.Dir()) {
    Say("This folder's workspace comes from another portal than the one in use (TW_PORTAL).");
    return std::nullopt;
  }
  const TPortalWorkspace* entry = APortal.FindWorkspace(here->Id);
  if (!entry) {
    Say("This folder's workspace (" + here->Id + ") is no longer on the portal.");
    return std::nullopt;
  }
  AExit = kExitOk;
  return TOpenWorkspace{entry, here->Folder};
}

// Where workspace AId lives: the working folder's workspace when it is that one, else the
// newest remembered clone that still holds it.
std::string FolderOf(const TPortal& APortal, const std::string& AId, const std::string& AWorkDir) {
  if (const std::optional<TWorkspaceHere> here = FindWorkspace(AWorkDir))
    if (here->Id == AId && here->Portal == APortal.Dir()) return here->Folder;
  for (const std::string& folder : CloneLocations(APortal.Dir(), AId)) {
    const std::optional<TWorkspaceHere> there = WorkspaceAt(folder);
    if (there && there->Id == AId && there->Portal == APortal.Dir()) return there->Folder;
  }
  return {};
}

std::string RepoFolder(const TOpenWorkspace& AWorkspace, const TPortalRepo& ARepo) {
  return (fs::path(AWorkspace.Folder) / ARepo.Folder).string();
}

bool HasFlag(std::vector<std::string>& AArgs, const std::string& AFlag) {
  bool found = false;
  for (auto it = AArgs.begin(); it != AArgs.end();)
    if (*it == AFlag) {
      found = true;
      it = AArgs.erase(it);
    } else {
      ++it;
    }
  return found;
}

// ---- login / logout ------------------------------------------------------------------------

int Login(std::vector<std::string> AArgs) {
  std::optional<std::string> token;
  for (size_t i = 0; i < AArgs.size(); ++i) {
    if (AArgs[i] == "--token" && i + 1 < AArgs.size())
      token = AArgs[++i];
    else if (AArgs[i].rfind("--token=", 0) == 0)
      token = AArgs[i].substr(8);
    else
      return Usage("login takes --token TOKEN");
  }
  if (!token) return Usage("login takes --token TOKEN");
  // Never "successful" in a refusal, not even as part of "unsuccessful": the application looks
  // for that word anywhere in the output.
  if (token->empty()) {
    Say("Sign-in failed: no token given.");
    return kExitFailed;
  }
  std::string error;
  const std::string portalDir = PortalFolder();
  const std::optional<TPortal> portal = TPortal::Load(portalDir, error);
  if (!portal) {
    Say("Sign-in failed: " + error + ".");
    return kExitFailed;
  }
  const std::optional<TPortalUser> user = portal->UserForToken(*token);
  if (!user) {
    Say("Sign-in failed: the portal refused that token.");
    return kExitFailed;
  }
  if (!SaveSession({portal->Dir(), *token, user->Name, user->Email})) {
    Say("Sign-in failed: cannot store the sign-in in " + StateFolder() + ".");
    return kExitFailed;
  }
  Say("Login successful: signed in as " + user->Name + " <" + user->Email + "> on " +
      (portal->Name().empty() ? portal->Dir() : portal->Name() + " (" + portal->Dir() + ")") + ".");
  return kExitOk;
}

int Logout() {
  if (!ForgetSession()) {
    Say("Cannot remove the stored sign-in in " + StateFolder() + ".");
    return kExitFailed;
  }
  Say("Signed out.");
  return kExitOk;
}

// ---- list / status ------------------------------------------------------------------------

int List(const TPortal& APortal, bool AJson) {
  if (AJson) {
    rapidjson::Document document(rapidjson::kObjectType);
    auto& alloc = document.GetAllocator();
    rapidjson::Value list(rapidjson::kArrayType);
    for (const TPortalWorkspace& entry : APortal.Workspaces()) {
      rapidjson::Value item(rapidjson::kObjectType);
      item.AddMember("id", rapidjson::Value(entry.Id.c_str(), alloc), alloc);
      item.AddMember("name", rapidjson::Value(entry.Name.c_str(), alloc), alloc);
      item.AddMember("repositories", static_cast<unsigned>(entry.Repos.size()), alloc);
      list.PushBack(item, alloc);
    }
    document.AddMember("workspaces", list, alloc);
    Say(ToJson(document));
    return kExitOk;
  }
  Say(Plural(APortal.Workspaces().size(), "workspace", "workspaces") + " on the portal:");
  for (const TPortalWorkspace& entry : APortal.Workspaces())
    Say("  " + entry.Id + "  " + entry.Name + " (" +
        Plural(entry.Repos.size(), "repository", "repositories") + ")");
  return kExitOk;
}

struct TNode {
  const TPortalRepo* Repo;
  TRepoState State;
};

std::vector<TNode> ReadNodes(const TOpenWorkspace& AWorkspace) {
  std::vector<TNode> nodes;
  for (const TPortalRepo& repo : AWorkspace.Entry->Repos)
    nodes.push_back({&repo, AWorkspace.Folder.empty()
                                ? TRepoState{}
                                : ReadRepoState(RepoFolder(AWorkspace, repo))});
  return nodes;
}

int Status(const TPortal& APortal, std::vector<std::string> AArgs, const std::string& AWorkDir) {
  const bool json = HasFlag(AArgs, "--json");
  if (AArgs.size() > 1) return Usage("workspace status takes at most one workspace id");
  TOpenWorkspace workspace;
  if (AArgs.empty()) {
    int exit = kExitOk;
    std::optional<TOpenWorkspace> here = WorkspaceHere(APortal, AWorkDir, exit);
    if (!here) return exit;
    workspace = *here;
  } else {
    workspace.Entry = APortal.FindWorkspace(AArgs[0]);
    if (!workspace.Entry) {
      Say("No workspace " + Quoted(AArgs[0]) + " on the portal.");
      return kExitFailed;
    }
    workspace.Folder = FolderOf(APortal, AArgs[0], AWorkDir);
  }
  const std::vector<TNode> nodes = ReadNodes(workspace);

  if (json) {
    rapidjson::Document document(rapidjson::kObjectType);
    auto& alloc = document.GetAllocator();
    rapidjson::Value about(rapidjson::kObjectType);
    about.AddMember("id", rapidjson::Value(workspace.Entry->Id.c_str(), alloc), alloc);
    about.AddMember("name", rapidjson::Value(workspace.Entry->Name.c_str(), alloc), alloc);
    about.AddMember("folder", rapidjson::Value(workspace.Folder.c_str(), alloc), alloc);
    document.AddMember("workspace", about, alloc);
    rapidjson::Value list(rapidjson::kArrayType);
    for (const TNode& node : nodes) {
      rapidjson::Value item(rapidjson::kObjectType);
      item.AddMember("id", rapidjson::Value(node.Repo->Id.c_str(), alloc), alloc);
      item.AddMember("name", rapidjson::Value(node.Repo->Name.c_str(), alloc), alloc);
      if (node.Repo->Root) item.AddMember("root", true, alloc);
      item.AddMember("ref", rapidjson::Value(ValidUtf8(node.State.Ref()).c_str(), alloc), alloc);
      item.AddMember("branch", rapidjson::Value(ValidUtf8(node.State.Branch).c_str(), alloc),
                     alloc);
      item.AddMember("dirty", node.State.Dirty, alloc);
      item.AddMember("ahead", node.State.Ahead, alloc);
      item.AddMember("behind", node.State.Behind, alloc);
      item.AddMember("missing", node.State.Missing, alloc);
      item.AddMember("folder", rapidjson::Value(node.Repo->Folder.c_str(), alloc), alloc);
      list.PushBack(item, alloc);
    }
    document.AddMember("nodes", list, alloc);
    Say(ToJson(document));
    return kExitOk;
  }

  size_t dirty = 0, missing = 0, ahead = 0, behind = 0;
  for (const TNode& node : nodes) {
    missing += node.State.Missing;
    dirty += node.State.Dirty;
    ahead += node.State.Ahead > 0;
    behind += node.State.Behind > 0;
  }
  std::string headline = workspace.Entry->Name + " (" + workspace.Entry->Id + "): ";
  if (workspace.Folder.empty()) {
    headline += "not cloned on this computer, " +
                Plural(nodes.size(), "repository", "repositories") + " on the portal";
  } else {
    headline += Plural(nodes.size(), "repository", "repositories") + ", " + std::to_string(dirty) +
                " with changes, " + std::to_string(ahead) + " ahead, " + std::to_string(behind) +
                " behind, " + std::to_string(missing) + " missing";
    headline += " in " + workspace.Folder;
  }
  Say(headline);
  for (const TNode& node : nodes) {
    std::string line = "  " + node.Repo->Folder + "  ";
    if (node.State.Missing) {
      line += "missing";
    } else {
      line += node.State.Ref();
      if (!node.State.Branch.empty() && node.State.Branch != node.State.Ref())
        line += " (" + node.State.Branch + ")";
      line += node.State.Dirty ? "  dirty" : "  clean";
      if (node.State.Ahead) line += "  ahead " + std::to_string(node.State.Ahead);
      if (node.State.Behind) line += "  behind " + std::to_string(node.State.Behind);
    }
    Say(line);
  }
  return kExitOk;
}

// ---- update -------------------------------------------------------------------------------

int Update(const TOpenWorkspace& AWorkspace) {
  std::vector<std::string> updated, current, skipped, failed;
  for (const TPortalRepo& repo : AWorkspace.Entry->Repos) {
    const std::string folder = RepoFolder(AWorkspace, repo);
    const TRepoState state = ReadRepoState(folder);
    auto skip = [&](const std::string& AWhy) {
      Say("  " + repo.Folder + ": " + AWhy + ", skipped");
      skipped.push_back(repo.Folder + " (" + AWhy + ")");
    };
    if (state.Missing)
      skip("not cloned");
    else if (state.Dirty)
      skip("uncommitted changes");
    else if (state.Detached)
      skip("detached HEAD");
    else if (state.Upstream.empty())
      skip("no upstream branch");
    if (state.Missing || state.Dirty || state.Detached || state.Upstream.empty()) continue;

    const TGit git(folder);
    const std::string before = git.Line({"rev-parse", "HEAD"});
    // Explicitly no rebase: a user's pull.rebase setting must not turn this into a rewrite.
    const TProcessResult pull = git.Run({"pull", "--ff-only", "--no-rebase", "-q"});
    if (!pull.Ok()) {
      const std::string why = FirstErrorLine(pull);
      Say("  " + repo.Folder + ": pull failed: " + why);
      failed.push_back(repo.Folder + " (" + why + ")");
      continue;
    }
    const std::string after = git.Line({"rev-parse", "HEAD"});
    if (after == before) {
      Say("  " + repo.Folder + ": up to date");
      current.push_back(repo.Folder);
      continue;
    }
    const std::string count =
        before.empty() ? "" : git.Line({"rev-list", "--count", before + ".." + after});
    Say("  " + repo.Folder + ": fast-forwarded to " + after.substr(0, 7) +
        (count.empty() ? "" : " (" + count + (count == "1" ? " commit)" : " commits)")));
    updated.push_back(repo.Folder);
  }
  std::string summary = "Summary: " + std::to_string(updated.size()) + " updated, " +
                        std::to_string(current.size()) + " up to date, " +
                        std::to_string(skipped.size()) + " skipped, " +
                        std::to_string(failed.size()) + " failed";
  if (!failed.empty()) summary += "; failed: " + JoinNames(failed, "; ");
  if (!skipped.empty()) summary += "; skipped: " + JoinNames(skipped, "; ");
  Say(summary);
  return failed.empty() ? kExitOk : kExitFailed;
}

// ---- commit -------------------------------------------------------------------------------

bool HasGitSetting(const TGit& AGit, const char* AKey) {
  return !AGit.Line({"config", "--get", AKey}).empty();
}

bool HasEnv(const char* AName) {
  const char* value = std::getenv(AName);
  return value && *value;
}

// git's identity, falling back to the signed-in portal user for whatever git lacks; without
// it a fresh machine's first commit would fail with git's own identity complaint.
std::vector<std::string> IdentityArgs(const TGit& AGit, const TPortalUser& AUser) {
  std::vector<std::string> args;
  const bool hasName = HasGitSetting(AGit, "user.name") ||
                       (HasEnv("GIT_AUTHOR_NAME") && HasEnv("GIT_COMMITTER_NAME"));
  const bool hasEmail = HasGitSetting(AGit, "user.email") || HasEnv("EMAIL") ||
                        (HasEnv("GIT_AUTHOR_EMAIL") && HasEnv("GIT_COMMITTER_EMAIL"));
  if (!hasName && !AUser.Name.empty()) args.insert(args.end(), {"-c", "user.name=" + AUser.Name});
  if (!hasEmail && !AUser.Email.empty())
    args.insert(args.end(), {"-c", "user.email=" + AUser.Email});
  return args;
}

std::string Trimmed(const std::string& AText) {
  const size_t first = AText.find_first_not_of(" \t\r\n");
  if (first == std::string::npos) return {};
  return AText.substr(first, AText.find_last_not_of(" \t\r\n") - first + 1);
}

int Commit(const TOpenWorkspace& AWorkspace, const TPortalUser& AUser,
           const std::string& AMessage) {
  if (Trimmed(AMessage).empty()) {
    Say("Summary: nothing committed: the commit message is empty.");
    return kExitUsage;
  }
  std::vector<std::string> committed, failed;
  size_t present = 0;
  for (const TPortalRepo& repo : AWorkspace.Entry->Repos) {
    const std::string folder = RepoFolder(AWorkspace, repo);
    const TRepoState state = ReadRepoState(folder);
    if (state.Missing) {
      Say("  " + repo.Folder + ": not cloned, skipped");
      continue;
    }
    ++present;
    if (!state.Dirty) continue;
    const TGit git(folder);
    auto fail = [&](const TProcessResult& AResult) {
      const std::string why = FirstErrorLine(AResult);
      Say("  " + repo.Folder + ": commit failed: " + why);
      failed.push_back(repo.Folder + " (" + why + ")");
    };
    const TProcessResult add = git.Run({"add", "-A"});
    if (!add.Ok()) {
      fail(add);
      continue;
    }
    std::vector<std::string> args = IdentityArgs(git, AUser);
    // "whitespace", not git's default "strip": a message line that begins with "#" (an issue
    // number, say) is part of the message, not a comment to drop.
    args.insert(args.end(), {"commit", "-q", "--cleanup=whitespace", "-m", AMessage});
    const TProcessResult commit = git.Run(args);
    if (!commit.Ok()) {
      fail(commit);
      continue;
    }
    const std::string files =
        git.Line({"diff-tree", "--no-commit-id", "--name-only", "-r", "HEAD"});
    const size_t count = files.empty() ? 0 : 1 + std::count(files.begin(), files.end(), '\n');
    Say("  " + repo.Folder + ": committed " + git.Line({"rev-parse", "--short", "HEAD"}) + " (" +
        Plural(count, "file", "files") + ")");
    committed.push_back(repo.Folder);
  }
  std::string summary;
  if (committed.empty() && failed.empty())
    summary = "Summary: nothing to commit, every repository is clean";
  else
    summary = "Summary: committed in " + std::to_string(committed.size()) + " of " +
              Plural(present, "repository", "repositories") +
              (committed.empty() ? "" : " (" + JoinNames(committed) + ")");
  if (!failed.empty()) summary += "; failed: " + JoinNames(failed, "; ");
  Say(summary);
  return failed.empty() ? kExitOk : kExitFailed;
}

// ---- diff ---------------------------------------------------------------------------------

// Uncommitted changes against HEAD: tracked files (staged or not) as git shows them, then each
// untracked file as a new file, as "git add" would show it.
std::string RepoDiff(const std::string& AFolder, const TRepoState& AState) {
  const TGit git(AFolder);
  std::string base = "HEAD";
  if (AState.Unborn) base = git.Line({"hash-object", "-t", "tree", "/dev/null"});
  std::string diff = git.Run({"diff", "--no-color", "--no-ext-diff", base}).Out;

  const TProcessResult untracked = git.Run({"ls-files", "--others", "--exclude-standard", "-z"});
  std::istringstream names(untracked.Out);
  std::string name;
  std::vector<std::string> notShown;
  size_t shown = 0;
  while (std::getline(names, name, '\0')) {
    if (name.empty()) continue;
    if (shown >= kUntrackedShown || diff.size() > kDiffLimit) {
      notShown.push_back(name);
      continue;
    }
    ++shown;
    const TProcessResult added =
        git.Run({"diff", "--no-color", "--no-ext-diff", "--no-index", "--", "/dev/null", name});
    if (!added.Out.empty())
      diff += added.Out;
    else if (added.ExitCode <= 1)  // an empty file: git prints nothing for it
      diff += "diff --git a/" + name + " b/" + name + "\nnew file mode 100644\n";
    else
      diff += "diff --git a/" + name + " b/" + name +
              "\n# cannot be read: " + FirstErrorLine(added) + "\n";
  }
  if (!notShown.empty()) {
    diff += "# " + Plural(notShown.size(), "more untracked file", "more untracked files") +
            ", not shown:\n";
    for (const std::string& file : notShown) diff += "#   " + file + "\n";
  }
  if (diff.size() > kDiffLimit) {
    const size_t cut = diff.rfind('\n', kDiffLimit);
    const size_t keep = cut == std::string::npos ? kDiffLimit : cut + 1;
    diff = diff.substr(0, keep) + "# ... diff cut here: " + std::to_string(diff.size() - keep) +
           " more bytes\n";
  }
  return ValidUtf8(diff);
}

int Diff(const TOpenWorkspace& AWorkspace, bool AJson) {
  rapidjson::Document document(rapidjson::kObjectType);
  auto& alloc = document.GetAllocator();
  rapidjson::Value repos(rapidjson::kArrayType);
  size_t changed = 0;
  for (const TPortalRepo& repo : AWorkspace.Entry->Repos) {
    const std::string folder = RepoFolder(AWorkspace, repo);
    const TRepoState state = ReadRepoState(folder);
    if (state.Missing || !state.Dirty) continue;
    ++changed;
    const std::string diff = RepoDiff(folder, state);
    if (!AJson) {
      Say("=== " + repo.Folder + " ===");
      Print(diff);
      continue;
    }
    rapidjson::Value item(rapidjson::kObjectType);
    item.AddMember("id", rapidjson::Value(repo.Id.c_str(), alloc), alloc);
    item.AddMember("name", rapidjson::Value(repo.Name.c_str(), alloc), alloc);
    item.AddMember("folder", rapidjson::Value(repo.Folder.c_str(), alloc), alloc);
    item.AddMember("diff", rapidjson::Value(diff.c_str(), diff.size(), alloc), alloc);
    repos.PushBack(item, alloc);
  }
  if (AJson) {
    document.AddMember("repos", repos, alloc);
    Say(ToJson(document));
  } else if (changed == 0) {
    Say("No uncommitted changes in any repository.");
  }
  return kExitOk;
}

// ---- clone --------------------------------------------------------------------------------

int Clone(const TPortal& APortal, const std::string& AId, const std::string& AWorkDir) {
  const TPortalWorkspace* entry = APortal.FindWorkspace(AId);
  if (!entry) {
    Say("Summary: clone failed: no workspace " + Quoted(AId) + " on the portal.");
    return kExitFailed;
  }
  const std::string target = CloneTarget(AWorkDir, *entry, APortal.Dir());
  const size_t total = entry->Repos.size();
  Say("Cloning " + entry->Name + " (" + entry->Id + "), " +
      Plural(total, "repository", "repositories") + ", into " + target);
  if (!MarkWorkspace(target, *entry, APortal.Dir())) {
    Say("Summary: clone failed: cannot write to " + target + ".");
    return kExitFailed;
  }
  // Remembered before the repositories arrive, so a half-finished clone is still found and
  // shows its missing repositories.
  if (!RememberClone(APortal.Dir(), entry->Id, target))
    Say("  note: cannot record this clone in " + StateFolder() + "; \"tw workspace status " +
        entry->Id + "\" will only find it from inside " + target);

  std::vector<std::string> failed;
  size_t cloned = 0, kept = 0;
  for (size_t i = 0; i < total; ++i) {
    const TPortalRepo& repo = entry->Repos[i];
    Say("[" + std::to_string(i + 1) + "/" + std::to_string(total) + "] cloning " + repo.Folder +
        " ...");
    const fs::path dest = fs::path(target) / repo.Folder;
    std::error_code error;
    if (fs::exists(dest / ".git", error)) {
      Say("  " + repo.Folder + ": already cloned, left as it is");
      ++kept;
      continue;
    }
    if (fs::exists(dest, error) && !fs::is_empty(dest, error)) {
      Say("  " + repo.Folder + ": clone failed: the folder is in use");
      failed.push_back(repo.Folder + " (the folder is in use)");
      continue;
    }
    MakeFolders(dest.parent_path().string());
    const TProcessResult result =
        TGit(target).Run({"clone", "-q", "--", repo.Remote, dest.string()});
    if (!result.Ok()) {
      const std::string why = FirstErrorLine(result);
      Say("  " + repo.Folder + ": clone failed: " + why);
      failed.push_back(repo.Folder + " (" + why + ")");
      continue;
    }
    ++cloned;
  }
  std::string summary;
  if (failed.empty() && kept == 0)
    summary = "Summary: cloned " + entry->Name + " (" +
              Plural(total, "repository", "repositories") + ") into " + target;
  else if (failed.empty())
    summary = "Summary: " + entry->Name + " is complete in " + target + " (" +
              std::to_string(cloned) + " cloned, " + std::to_string(kept) + " already there)";
  else
    summary = "Summary: cloned " + std::to_string(cloned) + " of " +
              Plural(total, "repository", "repositories") + " of " + entry->Name + " into " +
              target + "; failed: " + JoinNames(failed, "; ");
  Say(summary);
  return failed.empty() ? kExitOk : kExitFailed;
}

// ---- push ---------------------------------------------------------------------------------

int Push(const TOpenWorkspace& AWorkspace) {
  std::vector<std::string> details, pushed, failed;
  size_t present = 0;
  for (const TPortalRepo& repo : AWorkspace.Entry->Repos) {
    const std::string folder = RepoFolder(AWorkspace, repo);
    const TRepoState state = ReadRepoState(folder);
    if (state.Missing) {
      details.push_back("  " + repo.Folder + ": not cloned, skipped");
      continue;
    }
    ++present;
    if (state.Detached) {
      details.push_back("  " + repo.Folder + ": detached HEAD, skipped");
      continue;
    }
    if (state.Unborn || (!state.Upstream.empty() && state.Ahead == 0)) {
      details.push_back("  " + repo.Folder + ": nothing to push");
      continue;
    }
    const TGit git(folder);
    const TProcessResult result = state.Upstream.empty()
                                      ? git.Run({"push", "-q", "-u", "origin", state.Branch})
                                      : git.Run({"push", "-q"});
    if (!result.Ok()) {
      const std::string why = FirstErrorLine(result);
      details.push_back("  " + repo.Folder + ": push failed: " + why);
      failed.push_back(repo.Folder + " (" + why + ")");
      continue;
    }
    details.push_back("  " + repo.Folder + ": pushed " + state.Branch +
                      (state.Upstream.empty()
                           ? " (new on the portal)"
                           : " (" + Plural(state.Ahead, "commit", "commits") + ")"));
    pushed.push_back(repo.Folder);
  }
  // The application shows only the first line, so it carries the whole outcome.
  std::string headline;
  if (pushed.empty() && failed.empty())
    headline = "Nothing to push: every repository matches its remote.";
  else
    headline = "Pushed " + std::to_string(pushed.size()) + " of " +
               Plural(present, "repository", "repositories") +
               (pushed.empty() ? "" : " (" + JoinNames(pushed) + ")") +
               (failed.empty() ? "." : "; failed: " + JoinNames(failed, "; ") + ".");
  Say(headline);
  for (const std::string& line : details) Say(line);
  return failed.empty() ? kExitOk : kExitFailed;
}

// ---- dispatch -----------------------------------------------------------------------------

int Workspace(std::vector<std::string> AArgs, const std::string& AWorkDir) {
  if (AArgs.empty()) return Usage("workspace needs a command");
  const std::string verb = AArgs[0];
  AArgs.erase(AArgs.begin());
  const bool known = verb == "list" || verb == "status" || verb == "update" || verb == "commit" ||
                     verb == "diff" || verb == "clone" || verb == "push";
  if (!known) return Usage("unknown command \"workspace " + verb + "\"");

  // The command line is checked before the sign-in, so a typo is reported as a typo.
  std::optional<std::string> message;
  bool json = false;
  if (verb == "commit") {
    for (size_t i = 0; i < AArgs.size(); ++i) {
      if ((AArgs[i] == "-m" || AArgs[i] == "--message") && i + 1 < AArgs.size())
        message = AArgs[++i];
      else if (AArgs[i].rfind("--message=", 0) == 0)
        message = AArgs[i].substr(10);
      else
        return Usage("workspace commit takes -m MESSAGE (one argument)");
    }
    if (!message) return Usage("workspace commit takes -m MESSAGE");
  } else if (verb == "list" || verb == "diff") {
    json = HasFlag(AArgs, "--json");
    if (!AArgs.empty()) return Usage("workspace " + verb + " takes only --json");
  } else if (verb == "clone") {
    if (AArgs.size() != 1) return Usage("workspace clone takes one workspace id");
  } else if (verb != "status" && !AArgs.empty()) {
    return Usage("workspace " + verb + " takes no arguments");
  }

  int exit = kExitOk;
  std::optional<TSignedIn> session = RequireSignIn(exit);
  if (!session) return exit;
  const TPortal& portal = session->Portal;
  if (verb == "list") return List(portal, json);
  if (verb == "status") return Status(portal, AArgs, AWorkDir);
  if (verb == "clone") return Clone(portal, AArgs[0], AWorkDir);

  std::optional<TOpenWorkspace> workspace = WorkspaceHere(portal, AWorkDir, exit);
  if (!workspace) return exit;
  if (verb == "update") return Update(*workspace);
  if (verb == "commit") return Commit(*workspace, session->User, *message);
  if (verb == "diff") return Diff(*workspace, json);
  return Push(*workspace);
}

int Portal(const std::vector<std::string>& AArgs) {
  if (AArgs.size() != 3 || AArgs[0] != "init" || AArgs[2] != "--demo")
    return Usage("portal init DIR --demo");
  std::string error;
  if (!CreateDemoPortal(AArgs[1], error)) {
    Say("Cannot create the portal: " + error + ".");
    return kExitFailed;
  }
  Say("Created a demo portal in " + AbsolutePath(AArgs[1]) + " with 3 workspaces.");
  Say("Sign in with: TW_PORTAL=" + AbsolutePath(AArgs[1]) + " tw login --token " + kDemoToken);
  return kExitOk;
}

}  // namespace

int RunCommand(const std::vector<std::string>& AArgs, const std::string& AWorkDir) {
  if (AArgs.empty()) {
    Print(kUsage);
    return kExitUsage;
  }
  const std::string& command = AArgs[0];
  const std::vector<std::string> rest(AArgs.begin() + 1, AArgs.end());
  if (command == "help" || command == "--help" || command == "-h") {
    Print(kUsage);
    return kExitOk;
  }
  if (command == "login") return Login(rest);
  if (command == "logout") return rest.empty() ? Logout() : Usage("logout takes no arguments");
  if (command == "workspace") return Workspace(rest, AWorkDir);
  if (command == "portal") return Portal(rest);
  return Usage("unknown command \"" + command + "\"");
}

}  // namespace tw
