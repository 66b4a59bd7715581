#pragma once

#include <string>
#include <string_view>

namespace twdesktop {

// The scripts and messages the frame sends to the page. Every text value goes in as a JSON
// string literal, so nothing a CLI or the page hands us can end the call early or add code.
// A CLI document goes in as code only when it is one valid JSON value; otherwise as a string
// literal, which the page's loader then reports as an error.

std::string LoadGraphScript(std::string_view AStatusDocument);
std::string LoadWorkspacesScript(std::string_view AListDocument);
std::string LoadDiffScript(std::string_view ADiffDocument);

// One call of the sweep's script; the calls for several workspaces are joined with nothing
// between them, each ending in a semicolon.
std::string WorkspaceDotCall(std::string_view AWorkspaceId, std::string_view AState);

std::string ShowErrorScript(std::string_view ATitle, std::string_view AHint, bool AShowSignIn);
std::string HideErrorScript();

// The answer to a node action whose CLI run started:
// {"type":"result","node":<node>,"action":<action>,"ok":true}
std::string ResultMessage(std::string_view ANode, std::string_view AAction);

}  // namespace twdesktop
