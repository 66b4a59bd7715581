#include "view/BridgeRoute.h"

#include <string_view>

#include "core/TextRules.h"

namespace twdesktop {

std::vector<TActionCall> RouteBridgeMessage(const TBridgeMessage& AMessage) {
  const auto Is = [&](std::string_view AWord) {
    return SameTextIgnoringAsciiCase(AMessage.Action, AWord);
  };
  using enum EFrameAction;
  if (Is("ready")) return {{LoadWorkspaces, "", ""}, {RefreshStatus, "", ""}};
  if (Is("refresh-status")) return {{RefreshStatus, "", ""}};
  if (Is("pull-all")) return {{PullWorkspace, "", ""}};
  if (Is("commit-all")) return {{CommitWorkspace, AMessage.Node, ""}};
  if (Is("diff-all")) return {{ShowDiff, "", ""}};
  if (Is("switch-workspace")) return {{RefreshStatus, AMessage.Node, ""}};
  if (Is("clone-workspace")) return {{CloneWorkspace, AMessage.Node, ""}};
  if (Is("login")) return {{DoLogin, AMessage.Node, ""}};
  return {{RunNodeAction, AMessage.Action, AMessage.Node}};
}

}  // namespace twdesktop
