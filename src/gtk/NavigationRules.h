#pragma once

#include <string_view>

namespace twdesktop {

// The web view shows one page: the HTML text the host loaded, which has no address of its own
// and so stands at about:blank. Everything else the page tries to open is refused in place.

// True for the address of the page the host loaded.
bool IsOwnPageUri(std::string_view AUri);

// True when a link that asks for a new window may be handed to the user's default browser:
// web addresses only, so a page cannot make the desktop open local files or start programs
// registered for other schemes.
bool MayOpenInBrowser(std::string_view AUri);

}  // namespace twdesktop
