#pragma once

#include <optional>
#include <string>

namespace twdesktop {

// What the frame hears from its web surface. Every call arrives on the main thread.
class IWebSurfaceListener {
 public:
  virtual ~IWebSurfaceListener() = default;
  // Exactly once per StartCreation, whatever the outcome, and never from inside StartCreation.
  virtual void WebViewCreated(bool ASucceeded) = 0;
  // One call per message that the loaded page posts; nullopt when the page posted something
  // other than a string. Messages from any other document never arrive here.
  virtual void WebMessageReceived(const std::optional<std::string>& AText) = 0;
};

// The frame's visible part: the web view that shows the page, and the one-line status strip
// beneath it. The frame owns its surface. All operations are called on the main thread only
// and return without waiting for the page.
//
// What every platform must provide:
// - A status strip that reads "  ready" when the surface is made.
// - StartCreation begins creating the web view asynchronously, with its data (cookies, caches)
//   kept in AUserDataFolder, a folder that belongs to the user alone. It reports the outcome
//   later through AListener.WebViewCreated. The listener outlives the surface.
// - The page must see `window.chrome.webview` with postMessage(value) and
//   addEventListener/removeEventListener("message", ...): the same page file runs on every
//   platform. A value posted as a string reaches WebMessageReceived as that string.
// - NavigateToHtml loads the text as the page, with no base address. Navigation away from that
//   page is refused; a link that asks for a new window opens in the user's default browser.
// - ExecuteScript runs the text in the page; its result is not awaited.
// - PostWebMessage delivers the text to the page as a "message" event whose data is the string.
// - SetStatusText replaces the whole text of the status strip.
// Scripts and messages sent before creation succeeded are dropped by the frame, not the surface.
class IWebSurface {
 public:
  virtual ~IWebSurface() = default;
  virtual void StartCreation(const std::string& AUserDataFolder,
                             IWebSurfaceListener& AListener) = 0;
  virtual void NavigateToHtml(const std::string& AHtml) = 0;
  virtual void ExecuteScript(const std::string& AScript) = 0;
  virtual void PostWebMessage(const std::string& AMessage) = 0;
  virtual void SetStatusText(const std::string& AText) = 0;
};

}  // namespace twdesktop
