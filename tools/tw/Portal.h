#pragma once

#include <optional>
#include <string>
#include <vector>

namespace tw {

// One repository of a workspace as the portal describes it.
struct TPortalRepo {
  std::string Id;
  std::string Name;
  bool Root = false;
  std::string Remote;  // absolute path of the bare repository in the portal folder
  std::string Folder;  // where it goes inside a workspace folder: the root's id, or modules/<id>
};

struct TPortalWorkspace {
  std::string Id;
  std::string Name;
  std::vector<TPortalRepo> Repos;  // the root project first, then its modules in portal order
};

struct TPortalUser {
  std::string Name;
  std::string Email;
};

// A portal is a folder: the manifest portal.json, which lists the workspaces and the tokens
// that the portal accepts, and the bare repositories it names by paths inside the folder.
//
// Ids become folder names in a workspace, so only plain names pass: letters, digits, ".", "_"
// and "-", not starting with "." (no "..", no hidden folders), at most 64 characters. A root
// may not be called "modules", where its modules live.
class TPortal {
 public:
  static constexpr const char* kManifestName = "portal.json";

  // Nothing, with AError set, when the folder has no manifest or the manifest is not sound.
  static std::optional<TPortal> Load(const std::string& ADir, std::string& AError);

  const std::string& Dir() const { return FDir; }
  const std::string& Name() const { return FName; }
  const std::vector<TPortalWorkspace>& Workspaces() const { return FWorkspaces; }
  const TPortalWorkspace* FindWorkspace(const std::string& AId) const;
  std::optional<TPortalUser> UserForToken(const std::string& AToken) const;

 private:
  struct TToken {
    std::string Token;
    TPortalUser User;
  };
  std::string FDir;
  std::string FName;
  std::vector<TPortalWorkspace> FWorkspaces;
  std::vector<TToken> FTokens;
};

bool IsPlainId(const std::string& AId);

}  // namespace tw
