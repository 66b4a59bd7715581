#include "Portal.h"

#include <filesystem>
#include <set>

#include "Files.h"

namespace tw {

namespace fs = std::filesystem;

bool IsPlainId(const std::string& AId) {
  if (AId.empty() || AId.size() > 64 || AId[0] == '.') return false;
  for (const char c : AId) {
    const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                       c == '.' || c == '_' || c == '-';
    if (!plain) return false;
  }
  return true;
}

namespace {

// A repository path must stay inside the portal folder.
bool IsInsidePath(const std::string& ARelative) {
  if (ARelative.empty()) return false;
  const fs::path path(ARelative);
  if (path.is_absolute()) return false;
  for (const fs::path& part : path.lexically_normal())
    if (part == "..") return false;
  return true;
}

std::optional<TPortalRepo> ReadRepo(const rapidjson::Value& AValue, bool ARoot,
                                    const std::string& APortalDir, std::string& AError) {
  TPortalRepo repo;
  repo.Id = TextMember(AValue, "id");
  repo.Name = TextMember(AValue, "name");
  const std::string path = TextMember(AValue, "repo");
  repo.Root = ARoot;
  if (!IsPlainId(repo.Id) || (ARoot && repo.Id == "modules")) {
    AError = "repository id \"" + repo.Id + "\" is not a plain name";
    return std::nullopt;
  }
  if (!IsInsidePath(path)) {
    AError = "repository \"" + repo.Id + "\" has no path inside the portal folder";
    return std::nullopt;
  }
  if (repo.Name.empty()) repo.Name = repo.Id;
  repo.Remote = (fs::path(APortalDir) / path).lexically_normal().string();
  repo.Folder = ARoot ? repo.Id : "modules/" + repo.Id;
  return repo;
}

std::optional<TPortalWorkspace> ReadWorkspace(const rapidjson::Value& AValue,
                                              const std::string& APortalDir, std::string& AError) {
  TPortalWorkspace workspace;
  workspace.Id = TextMember(AValue, "id");
  workspace.Name = TextMember(AValue, "name");
  if (!IsPlainId(workspace.Id)) {
    AError = "workspace id \"" + workspace.Id + "\" is not a plain name";
    return std::nullopt;
  }
  if (workspace.Name.empty()) workspace.Name = workspace.Id;
  const auto root = AValue.FindMember("root");
  if (root == AValue.MemberEnd() || !root->value.IsObject()) {
    AError = "workspace \"" + workspace.Id + "\" has no root project";
    return std::nullopt;
  }
  std::optional<TPortalRepo> rootRepo = ReadRepo(root->value, true, APortalDir, AError);
  if (!rootRepo) return std::nullopt;
  workspace.Repos.push_back(std::move(*rootRepo));
  const auto modules = AValue.FindMember("modules");
  if (modules != AValue.MemberEnd()) {
    if (!modules->value.IsArray()) {
      AError = "workspace \"" + workspace.Id + "\": modules is not a list";
      return std::nullopt;
    }
    for (const rapidjson::Value& module : modules->value.GetArray()) {
      std::optional<TPortalRepo> repo = ReadRepo(module, false, APortalDir, AError);
      if (!repo) return std::nullopt;
      workspace.Repos.push_back(std::move(*repo));
    }
  }
  // Ids name the page's cards and the folders: two repositories with one id would share both.
  std::set<std::string> ids;
  for (const TPortalRepo& repo : workspace.Repos)
    if (!ids.insert(repo.Id).second) {
      AError = "workspace \"" + workspace.Id + "\" names repository \"" + repo.Id + "\" twice";
      return std::nullopt;
    }
  return workspace;
}

}  // namespace

std::optional<TPortal> TPortal::Load(const std::string& ADir, std::string& AError) {
  const std::string dir = AbsolutePath(ADir);
  const std::string manifestPath = (fs::path(dir) / kManifestName).string();
  const std::optional<std::string> text = ReadTextFile(manifestPath);
  if (!text) {
    AError = "no portal at " + dir + " (" + kManifestName + " not found)";
    return std::nullopt;
  }
  rapidjson::Document document;
  document.Parse<rapidjson::kParseValidateEncodingFlag>(text->c_str(), text->size());
  if (document.HasParseError() || !document.IsObject()) {
    AError = "the portal manifest " + manifestPath + " is not a JSON object";
    return std::nullopt;
  }
  TPortal portal;
  portal.FDir = dir;
  portal.FName = TextMember(document, "name");
  const auto workspaces = document.FindMember("workspaces");
  if (workspaces != document.MemberEnd() && workspaces->value.IsArray()) {
    std::set<std::string> ids;
    for (const rapidjson::Value& value : workspaces->value.GetArray()) {
      std::optional<TPortalWorkspace> workspace = ReadWorkspace(value, dir, AError);
      if (!workspace) {
        AError = "the portal manifest " + manifestPath + " is not sound: " + AError;
        return std::nullopt;
      }
      if (!ids.insert(workspace->Id).second) {
        AError = "the portal manifest " + manifestPath + " names workspace \"" + workspace->Id +
                 "\" twice";
        return std::nullopt;
      }
      portal.FWorkspaces.push_back(std::move(*workspace));
    }
  }
  const auto tokens = document.FindMember("tokens");
  if (tokens != document.MemberEnd() && tokens->value.IsArray()) {
    for (const rapidjson::Value& value : tokens->value.GetArray()) {
      TToken token{TextMember(value, "token"),
                   {TextMember(value, "name"), TextMember(value, "email")}};
      if (!token.Token.empty()) portal.FTokens.push_back(std::move(token));
    }
  }
  return portal;
}

const TPortalWorkspace* TPortal::FindWorkspace(const std::string& AId) const {
  for (const TPortalWorkspace& workspace : FWorkspaces)
    if (workspace.Id == AId) return &workspace;
  return nullptr;
}

std::optional<TPortalUser> TPortal::UserForToken(const std::string& AToken) const {
  if (AToken.empty()) return std::nullopt;
  for (const TToken& token : FTokens)
    if (token.Token == AToken) return token.User;
  return std::nullopt;
}

}  // namespace tw
