#pragma once

#include <string>
#include <vector>

#include "Process.h"

namespace tw::test {

// A folder under the system's temporary folder, removed with everything in it.
class TTempFolder {
 public:
  TTempFolder();
  ~TTempFolder();
  TTempFolder(const TTempFolder&) = delete;
  TTempFolder& operator=(const TTempFolder&) = delete;
  const std::string& Path() const { return FPath; }
  std::string operator/(const std::string& AName) const { return FPath + "/" + AName; }

 private:
  std::string FPath;
};

// One test's world: a copy of the demo portal (made once per test program), the CLI's state
// folder, a HOME without any git configuration, and an empty folder to work in.
class TTwWorld {
 public:
  TTwWorld();

  std::string Portal() const { return FRoot / "portal"; }
  std::string StateFolder() const { return FRoot / "state"; }
  std::string Home() const { return FRoot / "home"; }
  std::string Work() const { return FRoot / "work"; }
  std::string Scratch() const { return FRoot / "scratch"; }
  std::string Path(const std::string& AName) const { return FRoot / AName; }

  // The environment every run gets: the portal, the state, the bare HOME.
  std::vector<std::string> Environment() const;

  // Runs the built tw in AWorkDir (Work() when empty).
  TProcessResult Tw(const std::vector<std::string>& AArgs, const std::string& AWorkDir = {},
                    TProcessOptions AOptions = {}) const;
  // Runs git in AWorkDir with the same environment and a fixed identity, for setting up cases.
  TProcessResult Git(const std::string& AWorkDir, const std::vector<std::string>& AArgs) const;
  std::string GitLine(const std::string& AWorkDir, const std::vector<std::string>& AArgs) const;

  void SignIn() const;
  // Clones AId in a new folder named AFolder under the world and returns that folder.
  std::string CloneInto(const std::string& AId, const std::string& AFolder) const;
  // Adds one commit to branch main of a bare repository of the portal, as a colleague would.
  void PushColleagueCommit(const std::string& ABareRelative, const std::string& AFile) const;

 private:
  TTempFolder FRoot;
};

void WriteFile(const std::string& APath, const std::string& AText);
std::string ReadFile(const std::string& APath);
std::vector<std::string> Lines(const std::string& AText);
std::string LowerAscii(std::string AText);

}  // namespace tw::test
