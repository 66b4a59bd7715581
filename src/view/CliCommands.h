#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace twdesktop {

// The argument lists the frame hands the companion CLI. A value that came from the page (an id,
// a token, a commit message, an action word) is always exactly one argument, whatever it holds,
// so no value can add an option or a second command.
using TCliArgs = std::vector<std::string>;

// "workspace status --json" for the folder's own workspace (empty id), otherwise
// "workspace status <id> --json".
TCliArgs WorkspaceStatusCommand(std::string_view AWorkspaceId);
TCliArgs WorkspaceListCommand();
TCliArgs LoginCommand(std::string_view AToken);
TCliArgs CloneCommand(std::string_view AWorkspaceId);
TCliArgs UpdateCommand();
TCliArgs CommitCommand(std::string_view AMessage);
TCliArgs DiffCommand();
TCliArgs NodeActionCommand(std::string_view AAction);

// How a command is shown on the status strip: the arguments joined by single blanks.
std::string CommandLineText(const TCliArgs& AArgs);

}  // namespace twdesktop
