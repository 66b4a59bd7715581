#pragma once

#include <optional>
#include <string>
#include <vector>

namespace tw {

// Where the portal is: $TW_PORTAL, else $XDG_DATA_HOME/tw/portal, else ~/.local/share/tw/portal.
std::string PortalFolder();

// The CLI's own state (its sign-in and where each workspace was cloned): $TW_HOME, else
// $XDG_CONFIG_HOME/tw, else ~/.config/tw.
std::string StateFolder();

struct TSession {
  std::string Portal;  // the portal folder the token was accepted by
  std::string Token;
  std::string Name;
  std::string Email;
};

// The stored sign-in lives in session.json, readable by its user only (0600, in a 0700 folder).
std::optional<TSession> LoadSession();
bool SaveSession(const TSession& ASession);
bool ForgetSession();

// Every folder a workspace was cloned into, per portal and id, newest first.
std::vector<std::string> CloneLocations(const std::string& APortal, const std::string& AId);
bool RememberClone(const std::string& APortal, const std::string& AId, const std::string& AFolder);

}  // namespace tw
