#pragma once

#include <string>
#include <string_view>

namespace twdesktop {

// The page talks to its host through `window.chrome.webview` (postMessage, and "message" events
// for what the host sends), so one page file serves every platform. On WebKitGTK that object is
// made by a user script that runs before the page's own script, in the top frame only.

// The name of the script message handler behind postMessage.
inline constexpr const char* kBridgeHandlerName = "twdesktop";

// The user script. Every message it forwards is tagged with ANonce, which only this script
// knows: a subframe can reach the message handler too, but not the nonce, so the host can tell
// the page's own messages from anything else. A string arrives as [nonce, text], any other value
// as [nonce] alone.
std::string BridgeUserScript(std::string_view ANonce);

// The script that hands AMessage to the page as a "message" event whose data is that string.
std::string MessageDeliveryScript(std::string_view AMessage);

}  // namespace twdesktop
