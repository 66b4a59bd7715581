#pragma once

#include <optional>
#include <string>

#include "Portal.h"

namespace tw {

// A workspace folder is marked by .tw/workspace.json, which names the workspace and its portal.
// The root project sits in <folder>/<root id>, each module in <folder>/modules/<module id>.
struct TWorkspaceHere {
  std::string Folder;  // absolute
  std::string Id;
  std::string Portal;
};

// The workspace that holds AStart: AStart itself or its nearest marked parent folder, as git
// finds a repository from any folder inside it.
std::optional<TWorkspaceHere> FindWorkspace(const std::string& AStart);

// The workspace marked exactly at AFolder (no search upwards).
std::optional<TWorkspaceHere> WorkspaceAt(const std::string& AFolder);

bool MarkWorkspace(const std::string& AFolder, const TPortalWorkspace& AWorkspace,
                   const std::string& APortal);

// Where "workspace clone" run in AStart puts AWorkspace. A clone never overwrites anything and
// never nests one workspace inside another:
//  - AStart inside a clone of the same workspace: that clone, whose missing repositories are
//    then filled in;
//  - AStart inside another workspace: a folder beside that workspace named after the id;
//  - AStart in no workspace: AStart itself, so the application started there shows the clone,
//    unless a folder the workspace needs is already taken by something else; then a folder
//    inside AStart named after the id.
// A folder "named after the id" is <id>, or <id>-2, <id>-3 ... when that name is taken by
// anything but an empty folder or a clone of this same workspace.
std::string CloneTarget(const std::string& AStart, const TPortalWorkspace& AWorkspace,
                        const std::string& APortal);

}  // namespace tw
