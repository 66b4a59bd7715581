#pragma once

#include <string>
#include <string_view>

namespace twdesktop {

// The companion CLI's file name on this platform. Every text that tells the user where the CLI
// should be names this file, so the hint matches what they see in the folder.
#ifdef _WIN32
inline constexpr std::string_view kCliFileName = "tw.exe";
#else
inline constexpr std::string_view kCliFileName = "tw";
#endif

// The error card the status refresh shows when the CLI could not be started.
inline std::string CliNotFoundTitle() {
  return std::string(kCliFileName) + " not found";
}
inline std::string CliNotFoundHint() {
  return "Place " + std::string(kCliFileName) + " in the same folder as the app.";
}
// The node action's status text when there is no CLI to run.
inline std::string CliNotFoundStatus() {
  return "  " + std::string(kCliFileName) + " not found next to the app";
}

inline constexpr std::string_view kNotLoggedInTitle = "You are not logged in";
inline constexpr std::string_view kNotLoggedInHint =
    "Paste a `manifest:read` token from the portal to sign in:";
inline constexpr std::string_view kNothingClonedTitle = "No workspace cloned here";
inline constexpr std::string_view kNothingClonedHint =
    "Use + Clone workspace, or run the app in a folder that is already cloned.";

// Status strip texts. Every one begins with two blanks, like the strip's first text.
inline constexpr std::string_view kStatusUpdated = "  status updated.";
inline constexpr std::string_view kStatusNoData = "  status: no data.";
inline constexpr std::string_view kCliNotFound = "  CLI not found.";
inline constexpr std::string_view kLoginStarted = "  tw login ...";
inline constexpr std::string_view kLoginOk = "  login ok.";
inline constexpr std::string_view kLoginFailed = "  login failed \u2014 invalid token? (twk_...)";
inline constexpr std::string_view kCloneFailed = "  clone failed (logged in? git on PATH?)";
inline constexpr std::string_view kPullStarted = "  tw workspace update (pull --ff-only) ...";
inline constexpr std::string_view kPullFailed = "  pull failed (logged in? git on PATH?)";
inline constexpr std::string_view kCommitStarted = "  tw workspace commit ...";
inline constexpr std::string_view kCommitFailed =
    "  commit failed (git identity configured? logged in?)";
inline constexpr std::string_view kDiffStarted = "  tw workspace diff --json ...";
inline constexpr std::string_view kDiffLoaded = "  diff loaded.";
inline constexpr std::string_view kDiffNoOutput =
    "  diff: no output (logged in? workspace cloned?)";

// What a finished pull, commit or clone reports when the CLI printed no Summary line.
inline constexpr std::string_view kPullDefault = "pull complete";
inline constexpr std::string_view kCommitDefault = "commit complete";
inline constexpr std::string_view kCloneDefault = "clone complete";
// A node action's stand-in for its first output line when the CLI printed nothing.
inline constexpr std::string_view kNoOutput = "(no output)";

}  // namespace twdesktop
