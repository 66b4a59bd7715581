#include "view/CliCommands.h"

namespace twdesktop {

TCliArgs WorkspaceStatusCommand(std::string_view AWorkspaceId) {
  if (AWorkspaceId.empty()) return {"workspace", "status", "--json"};
  return {"workspace", "status", std::string(AWorkspaceId), "--json"};
}

TCliArgs WorkspaceListCommand() {
  return {"workspace", "list", "--json"};
}

TCliArgs LoginCommand(std::string_view AToken) {
  return {"login", "--token", std::string(AToken)};
}

TCliArgs CloneCommand(std::string_view AWorkspaceId) {
  return {"workspace", "clone", std::string(AWorkspaceId)};
}

TCliArgs UpdateCommand() {
  return {"workspace", "update"};
}

// The message stays one argument even when empty: an empty message is the CLI's to refuse.
TCliArgs CommitCommand(std::string_view AMessage) {
  return {"workspace", "commit", "-m", std::string(AMessage)};
}

TCliArgs DiffCommand() {
  return {"workspace", "diff", "--json"};
}

TCliArgs NodeActionCommand(std::string_view AAction) {
  return {"workspace", std::string(AAction)};
}

std::string CommandLineText(const TCliArgs& AArgs) {
  std::string Text;
  for (size_t I = 0; I < AArgs.size(); ++I) {
    if (I > 0) Text += ' ';
    Text += AArgs[I];
  }
  return Text;
}

}  // namespace twdesktop
