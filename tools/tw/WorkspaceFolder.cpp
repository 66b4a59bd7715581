#include "WorkspaceFolder.h"

#include <rapidjson/document.h>

#include <filesystem>

#include "Files.h"

namespace tw {

namespace fs = std::filesystem;

namespace {

bool IsEmptyFolder(const fs::path& APath) {
  std::error_code error;
  return fs::is_directory(APath, error) && fs::is_empty(APath, error) && !error;
}

bool IsFree(const fs::path& APath) {
  std::error_code error;
  return !fs::exists(fs::symlink_status(APath, error)) || IsEmptyFolder(APath);
}

bool HoldsSameWorkspace(const fs::path& AFolder, const TPortalWorkspace& AWorkspace,
                        const std::string& APortal) {
  const std::optional<TWorkspaceHere> here = WorkspaceAt(AFolder.string());
  return here && here->Id == AWorkspace.Id && here->Portal == APortal;
}

// AStart can take the workspace when nothing that the workspace brings is there already. A
// "modules" folder is shared by all modules, so only the module folders themselves count.
bool CanHold(const fs::path& AStart, const TPortalWorkspace& AWorkspace) {
  if (!IsFree(AStart / ".tw")) return false;
  for (const TPortalRepo& repo : AWorkspace.Repos)
    if (!IsFree(AStart / repo.Folder)) return false;
  std::error_code error;
  const fs::path modules = AStart / "modules";
  return !fs::exists(fs::symlink_status(modules, error)) || fs::is_directory(modules, error);
}

std::string NamedAfterId(const fs::path& ABase, const TPortalWorkspace& AWorkspace,
                         const std::string& APortal) {
  for (int n = 1;; ++n) {
    const fs::path candidate =
        ABase / (n == 1 ? AWorkspace.Id : AWorkspace.Id + "-" + std::to_string(n));
    if (IsFree(candidate) || HoldsSameWorkspace(candidate, AWorkspace, APortal))
      return candidate.string();
  }
}

}  // namespace

std::optional<TWorkspaceHere> WorkspaceAt(const std::string& AFolder) {
  const std::optional<rapidjson::Document> marker =
      ReadJsonFile((fs::path(AFolder) / ".tw" / "workspace.json").string());
  if (!marker || !marker->IsObject()) return std::nullopt;
  TWorkspaceHere here{AbsolutePath(AFolder), TextMember(*marker, "id"),
                      TextMember(*marker, "portal")};
  if (!IsPlainId(here.Id)) return std::nullopt;
  return here;
}

std::optional<TWorkspaceHere> FindWorkspace(const std::string& AStart) {
  fs::path folder = AbsolutePath(AStart);
  while (true) {
    if (std::optional<TWorkspaceHere> here = WorkspaceAt(folder.string())) return here;
    if (!folder.has_parent_path() || folder.parent_path() == folder) return std::nullopt;
    folder = folder.parent_path();
  }
}

bool MarkWorkspace(const std::string& AFolder, const TPortalWorkspace& AWorkspace,
                   const std::string& APortal) {
  const fs::path markerFolder = fs::path(AFolder) / ".tw";
  if (!MakeFolders(markerFolder.string())) return false;
  rapidjson::Document document(rapidjson::kObjectType);
  auto& alloc = document.GetAllocator();
  document.AddMember("id", rapidjson::Value(AWorkspace.Id.c_str(), alloc), alloc);
  document.AddMember("name", rapidjson::Value(AWorkspace.Name.c_str(), alloc), alloc);
  document.AddMember("portal", rapidjson::Value(APortal.c_str(), alloc), alloc);
  return WriteFileAtomically((markerFolder / "workspace.json").string(),
                             ToJson(document, true) + "\n", 0644);
}

std::string CloneTarget(const std::string& AStart, const TPortalWorkspace& AWorkspace,
                        const std::string& APortal) {
  const fs::path start = AbsolutePath(AStart);
  if (const std::optional<TWorkspaceHere> here = FindWorkspace(start.string())) {
    if (here->Id == AWorkspace.Id && here->Portal == APortal) return here->Folder;
    return NamedAfterId(fs::path(here->Folder).parent_path(), AWorkspace, APortal);
  }
  if (CanHold(start, AWorkspace)) return start.string();
  return NamedAfterId(start, AWorkspace, APortal);
}

}  // namespace tw
