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
  std::string Error;  // "Value 'action' not found", or "Value 'action' is not text"
};

// Reads the text the page posted; nullopt stands for a message that was not posted as a string.
// Strict JSON, one value only; member names matched exactly; the first of duplicate names wins.
// "action"/"node": a string gives its text, a number the text as written, true/false the word,
// null empty text; an object or array rejects the message ("action") or reads as empty ("node").
// A text that is not valid UTF-8, or that holds a NUL byte, is ignored, as is a number too large
// for the parser (1e400). The texts read are always valid UTF-8: an escaped lone surrogate reads
// as U+FFFD; an escaped U+0000 is kept.
TBridgeReadResult ReadBridgeMessage(const std::optional<std::string>& AText);

}  // namespace twdesktop
