#include "CliState.h"

#include <fcntl.h>
#include <rapidjson/document.h>
#include <sys/file.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>

#include "Files.h"

namespace tw {

namespace fs = std::filesystem;

namespace {

std::string EnvOr(const char* AName, const std::string& AFallback) {
  const char* value = std::getenv(AName);
  return value && *value ? std::string(value) : AFallback;
}

std::string HomeFolder() {
  return EnvOr("HOME", "/");
}

std::string StateFile(const char* AName) {
  return (fs::path(StateFolder()) / AName).string();
}

// Holds an exclusive lock on the state folder for a read-modify-write of its files, so two
// clones that end at the same moment both stay remembered.
class TStateLock {
 public:
  TStateLock() {
    if (!MakeFolders(StateFolder(), 0700)) return;
    FFd = ::open(StateFile(".lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (FFd >= 0 && ::flock(FFd, LOCK_EX) != 0) {
      ::close(FFd);
      FFd = -1;
    }
  }
  ~TStateLock() {
    if (FFd >= 0) ::close(FFd);
  }
  TStateLock(const TStateLock&) = delete;
  TStateLock& operator=(const TStateLock&) = delete;
  bool Held() const { return FFd >= 0; }

 private:
  int FFd = -1;
};

}  // namespace

std::string PortalFolder() {
  const std::string data = EnvOr("XDG_DATA_HOME", HomeFolder() + "/.local/share");
  return AbsolutePath(EnvOr("TW_PORTAL", data + "/tw/portal"));
}

std::string StateFolder() {
  const std::string config = EnvOr("XDG_CONFIG_HOME", HomeFolder() + "/.config");
  return AbsolutePath(EnvOr("TW_HOME", config + "/tw"));
}

std::optional<TSession> LoadSession() {
  const std::optional<rapidjson::Document> document = ReadJsonFile(StateFile("session.json"));
  if (!document || !document->IsObject()) return std::nullopt;
  TSession session{TextMember(*document, "portal"), TextMember(*document, "token"),
                   TextMember(*document, "name"), TextMember(*document, "email")};
  if (session.Token.empty()) return std::nullopt;
  return session;
}

bool SaveSession(const TSession& ASession) {
  if (!MakeFolders(StateFolder(), 0700)) return false;
  rapidjson::Document document(rapidjson::kObjectType);
  auto& alloc = document.GetAllocator();
  document.AddMember("portal", rapidjson::Value(ASession.Portal.c_str(), alloc), alloc);
  document.AddMember("token", rapidjson::Value(ASession.Token.c_str(), alloc), alloc);
  document.AddMember("name", rapidjson::Value(ASession.Name.c_str(), alloc), alloc);
  document.AddMember("email", rapidjson::Value(ASession.Email.c_str(), alloc), alloc);
  return WriteFileAtomically(StateFile("session.json"), ToJson(document, true) + "\n", 0600);
}

bool ForgetSession() {
  std::error_code error;
  fs::remove(StateFile("session.json"), error);
  return !error;
}

std::vector<std::string> CloneLocations(const std::string& APortal, const std::string& AId) {
  std::vector<std::string> folders;
  const std::optional<rapidjson::Document> document = ReadJsonFile(StateFile("clones.json"));
  if (!document || !document->IsObject()) return folders;
  const auto clones = document->FindMember("clones");
  if (clones == document->MemberEnd() || !clones->value.IsArray()) return folders;
  // The file is kept oldest first; callers want the newest first.
  for (const rapidjson::Value& clone : clones->value.GetArray())
    if (TextMember(clone, "portal") == APortal && TextMember(clone, "id") == AId)
      folders.insert(folders.begin(), TextMember(clone, "folder"));
  return folders;
}

bool RememberClone(const std::string& APortal, const std::string& AId, const std::string& AFolder) {
  TStateLock lock;
  if (!lock.Held()) return false;
  rapidjson::Document document(rapidjson::kObjectType);
  auto& alloc = document.GetAllocator();
  rapidjson::Value clones(rapidjson::kArrayType);
  std::optional<rapidjson::Document> old = ReadJsonFile(StateFile("clones.json"));
  if (old && old->IsObject()) {
    const auto list = old->FindMember("clones");
    if (list != old->MemberEnd() && list->value.IsArray())
      for (const rapidjson::Value& clone : list->value.GetArray()) {
        const bool same = TextMember(clone, "portal") == APortal &&
                          TextMember(clone, "id") == AId && TextMember(clone, "folder") == AFolder;
        if (!same && clone.IsObject()) clones.PushBack(rapidjson::Value(clone, alloc), alloc);
      }
  }
  rapidjson::Value entry(rapidjson::kObjectType);
  entry.AddMember("portal", rapidjson::Value(APortal.c_str(), alloc), alloc);
  entry.AddMember("id", rapidjson::Value(AId.c_str(), alloc), alloc);
  entry.AddMember("folder", rapidjson::Value(AFolder.c_str(), alloc), alloc);
  clones.PushBack(entry, alloc);
  document.AddMember("clones", clones, alloc);
  return WriteFileAtomically(StateFile("clones.json"), ToJson(document, true) + "\n", 0600);
}

}  // namespace tw
