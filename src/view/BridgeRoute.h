#pragma once

#include <string>
#include <vector>

#include "core/BridgeMessage.h"

namespace twdesktop {

// The frame's actions that a page message can start.
enum class EFrameAction {
  LoadWorkspaces,
  RefreshStatus,  // Argument: workspace id, empty for the folder's own workspace
  PullWorkspace,
  CommitWorkspace,  // Argument: commit message
  ShowDiff,
  CloneWorkspace,  // Argument: workspace id
  DoLogin,         // Argument: token
  RunNodeAction,   // Argument: action word, Node: node id
};

struct TActionCall {
  EFrameAction Action;
  std::string Argument;
  std::string Node;

  bool operator==(const TActionCall&) const = default;
};

// The calls one accepted message asks for, in the order they are to be made. The action word
// matches a known word when it has the same bytes with ASCII letters folded; anything else,
// the empty word included, is a node action with the word exactly as it came.
std::vector<TActionCall> RouteBridgeMessage(const TBridgeMessage& AMessage);

}  // namespace twdesktop
