#pragma once

#include <string>

namespace tw {

// What one cloned repository looks like right now, read from git without changing anything
// (no fetch, no index refresh that would take git's lock while the application's other
// status runs read the same repository).
struct TRepoState {
  bool Missing = true;  // no git repository in the folder
  bool Dirty = false;   // uncommitted changes, untracked files included
  bool Detached = false;
  bool Unborn = false;  // no commit yet
  std::string Branch;   // empty when detached
  std::string Upstream;
  std::string Tag;  // a tag at HEAD, the highest version when there are several
  std::string ShortId;
  int Ahead = 0;
  int Behind = 0;

  // A tag at HEAD, else the branch, else a short commit id.
  std::string Ref() const;
};

TRepoState ReadRepoState(const std::string& AFolder);

}  // namespace tw
