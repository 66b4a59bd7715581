#include "RepoState.h"

#include <charconv>
#include <filesystem>
#include <sstream>

#include "Git.h"

namespace tw {

namespace {

// "+3" or "-2" from git's branch.ab line; 0 for anything else.
int Count(const std::string& AText) {
  int value = 0;
  if (AText.size() > 1) std::from_chars(AText.data() + 1, AText.data() + AText.size(), value);
  return value;
}

}  // namespace

std::string TRepoState::Ref() const {
  if (!Tag.empty()) return Tag;
  if (!Branch.empty()) return Branch;
  return ShortId;
}

TRepoState ReadRepoState(const std::string& AFolder) {
  TRepoState state;
  std::error_code error;
  // Without its own .git, git would answer for whatever repository encloses the folder.
  if (!std::filesystem::exists(std::filesystem::path(AFolder) / ".git", error)) return state;
  const TGit git(AFolder);
  const TProcessResult status =
      git.Run({"--no-optional-locks", "status", "--porcelain=v2", "--branch"});
  if (!status.Ok()) return state;
  state.Missing = false;

  std::istringstream lines(status.Out);
  std::string line;
  while (std::getline(lines, line)) {
    if (line.rfind("# branch.oid ", 0) == 0) {
      const std::string oid = line.substr(13);
      state.Unborn = oid == "(initial)";
      if (!state.Unborn) state.ShortId = oid.substr(0, 7);
    } else if (line.rfind("# branch.head ", 0) == 0) {
      const std::string head = line.substr(14);
      state.Detached = head == "(detached)";
      if (!state.Detached) state.Branch = head;
    } else if (line.rfind("# branch.upstream ", 0) == 0) {
      state.Upstream = line.substr(18);
    } else if (line.rfind("# branch.ab ", 0) == 0) {
      std::istringstream counts(line.substr(12));
      std::string ahead, behind;
      counts >> ahead >> behind;
      state.Ahead = Count(ahead);
      state.Behind = Count(behind);
    } else if (!line.empty() && line[0] != '#') {
      state.Dirty = true;
    }
  }
  if (!state.Unborn) {
    // git's own abbreviation grows with the repository; only a detached HEAD shows it.
    if (state.Detached) {
      const std::string shortId = git.Line({"rev-parse", "--short", "HEAD"});
      if (!shortId.empty()) state.ShortId = shortId;
    }
    const std::string tags = git.Line({"tag", "--points-at", "HEAD", "--sort=-version:refname"});
    state.Tag = tags.substr(0, tags.find('\n'));
  }
  return state;
}

}  // namespace tw
