#include "gtk/UserDataFolder.h"

#include <glib.h>
#include <glib/gstdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include "gtk/ExecutableInfo.h"

namespace twdesktop {

std::string UserDataFolderName(const std::string& ACacheDir, const std::string& AExeFileName) {
  std::string name = "Tarnwick-" + WithoutExtension(AExeFileName);
  if (ACacheDir.empty()) return name;
  if (ACacheDir.back() == '/') return ACacheDir + name;
  return ACacheDir + "/" + name;
}

std::string UserDataFolder() {
  return UserDataFolderName(g_get_user_cache_dir(), FileNameOf(OwnExecutablePath()));
}

bool EnsurePrivateFolder(const std::string& APath) {
  if (APath.empty()) return false;
  if (g_mkdir_with_parents(APath.c_str(), 0700) != 0) return false;
  struct stat info {};
  if (stat(APath.c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) return false;
  if (info.st_uid != geteuid()) return false;
  if ((info.st_mode & 0077) != 0 && chmod(APath.c_str(), info.st_mode & 0700) != 0) return false;
  return true;
}

}  // namespace twdesktop
