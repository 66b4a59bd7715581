#include "core/BridgeMessage.h"

#include "core/JsonText.h"

namespace twdesktop {
namespace {

enum class EMemberRead { Text, Absent, NotText };

// Reads one member as text. Numbers arrive as strings because the document is parsed with
// numbers kept as written, so 1.50 stays "1.50" and -0 stays "-0".
EMemberRead ReadMember(const rapidjson::Value& AObject, const char* AName, std::string& AText) {
  AText.clear();
  const auto It = AObject.FindMember(AName);  // the first of duplicate names
  if (It == AObject.MemberEnd()) return EMemberRead::Absent;
  const rapidjson::Value& Value = It->value;
  if (Value.IsString()) {
    AText = JsonStringText(Value);
  } else if (Value.IsBool()) {
    AText = Value.GetBool() ? "true" : "false";
  } else if (!Value.IsNull()) {
    return EMemberRead::NotText;
  }
  return EMemberRead::Text;
}

}  // namespace

TBridgeReadResult ReadBridgeMessage(const std::optional<std::string>& AText) {
  TBridgeReadResult Result;
  if (!AText) return Result;

  rapidjson::Document Document;
  if (!ParseJsonText(*AText, Document, /*ANumbersAsText=*/true) || !Document.IsObject()) {
    return Result;
  }

  switch (ReadMember(Document, "action", Result.Message.Action)) {
    case EMemberRead::Absent:
      Result.Kind = EBridgeRead::Rejected;
      Result.Error = "Value 'action' not found";
      return Result;
    case EMemberRead::NotText:
      Result.Kind = EBridgeRead::Rejected;
      Result.Error = "Value 'action' is not text";
      return Result;
    case EMemberRead::Text:
      break;
  }
  // An absent or unreadable node leaves empty text, which ReadMember has already set.
  ReadMember(Document, "node", Result.Message.Node);
  Result.Kind = EBridgeRead::Accepted;
  return Result;
}

}  // namespace twdesktop
