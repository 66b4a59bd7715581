#pragma once

#include <string>

namespace twdesktop {

// The web view keeps cookies and caches in a folder of the user's own cache directory, named
// after the executable: two copies with one file name share a folder, copies with different
// names have one each. It must not sit in a shared place such as /tmp, where other users could
// read it.

// ACacheDir + "/" + "Tarnwick-" + the executable's file name without its extension; no
// separator is doubled, and an empty cache directory gives the name alone.
std::string UserDataFolderName(const std::string& ACacheDir, const std::string& AExeFileName);

// The folder for this user and this executable (g_get_user_cache_dir()).
std::string UserDataFolder();

// Makes sure APath is a folder that belongs to this user alone, creating it and its parents
// when missing and taking rights from group and others when present. False when that cannot
// be done (a file in the way, no permission, another owner).
bool EnsurePrivateFolder(const std::string& APath);

}  // namespace twdesktop
