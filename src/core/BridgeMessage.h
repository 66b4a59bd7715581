#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace twdesktop {

// What the page asks for: the action word and its optional argument (a node id, a workspace
// id, a commit message or a token).
struct TBridgeMessage {
  std::string Action;
  std::string Node;
};

enum class EBridgeRead {
  Accepted,  // Message holds the action and node
  Ignored,   // not one JSON object (or no text at all): dropped without a trace
  Rejected,  // an object without a usable "action": Error says why
};

struct TBridgeReadResult {
  EBridgeRead Kind = EBridgeRead::Ignored;
  TBridgeMessage Message;
  std::string Error;  // "Value 'action' not found" for a missing member
};

// Reads the text the page posted; nullopt stands for a message that was not posted as a string.
// Strict JSON, one value only; member names matched exactly; the first of duplicate names wins.
// "action"/"node": a string gives its text, a number the text as written, true/false the word,
// null empty text; an object or array rejects the message ("action") or reads as empty ("node").
TBridgeReadResult ReadBridgeMessage(const std::optional<std::string>& AText);

}  // namespace twdesktop
