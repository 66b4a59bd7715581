#include "view/PageScripts.h"

#include "core/ScriptLiteral.h"

namespace twdesktop {

namespace {

std::string CallWithDocument(std::string_view AFunction, std::string_view ADocument) {
  return "window." + std::string(AFunction) + "(" + JsonDocumentArgument(ADocument) + ")";
}

}  // namespace

std::string LoadGraphScript(std::string_view AStatusDocument) {
  return CallWithDocument("loadGraph", AStatusDocument);
}

std::string LoadWorkspacesScript(std::string_view AListDocument) {
  return CallWithDocument("loadWorkspaces", AListDocument);
}

std::string LoadDiffScript(std::string_view ADiffDocument) {
  return CallWithDocument("loadDiff", ADiffDocument);
}

std::string WorkspaceDotCall(std::string_view AWorkspaceId, std::string_view AState) {
  return "window.setWorkspaceDot(" + JsonStringLiteral(AWorkspaceId) + "," +
         JsonStringLiteral(AState) + ");";
}

std::string ShowErrorScript(std::string_view ATitle, std::string_view AHint, bool AShowSignIn) {
  return "window.showError(" + JsonStringLiteral(ATitle) + "," + JsonStringLiteral(AHint) + "," +
         (AShowSignIn ? "true" : "false") + ")";
}

std::string HideErrorScript() {
  return "window.hideError()";
}

std::string ResultMessage(std::string_view ANode, std::string_view AAction) {
  return "{\"type\":\"result\",\"node\":" + JsonStringLiteral(ANode) +
         ",\"action\":" + JsonStringLiteral(AAction) + ",\"ok\":true}";
}

}  // namespace twdesktop
