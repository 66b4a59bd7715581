#include "core/WorkspaceDocuments.h"

#include "core/JsonText.h"

namespace twdesktop {
namespace {

// The first member of that name, or nullptr. Duplicate names: the first one counts.
const rapidjson::Value* Member(const rapidjson::Value& AObject, const char* AName) {
  const auto It = AObject.FindMember(AName);
  return It == AObject.MemberEnd() ? nullptr : &It->value;
}

bool IsTrueMember(const rapidjson::Value& AObject, const char* AName) {
  const rapidjson::Value* Value = Member(AObject, AName);
  return Value && Value->IsTrue();
}

}  // namespace

// Only a JSON string is an id: a number or a Boolean is not what the CLI writes, and reading
// it by its text would send a made-up id to the CLI.
std::vector<std::string> WorkspaceIds(std::string_view AListJson) {
  std::vector<std::string> Ids;
  rapidjson::Document Document;
  if (!ParseJsonText(AListJson, Document) || !Document.IsObject()) return Ids;
  const rapidjson::Value* List = Member(Document, "workspaces");
  if (!List || !List->IsArray()) return Ids;
  for (const rapidjson::Value& Element : List->GetArray()) {
    if (!Element.IsObject()) continue;
    const rapidjson::Value* Id = Member(Element, "id");
    if (!Id || !Id->IsString()) continue;
    Ids.push_back(JsonStringText(*Id));
  }
  return Ids;
}

// Only the Boolean true marks a node missing or dirty; a text "true" or a number does not.
std::string WorkspaceState(std::string_view AStatusJson) {
  rapidjson::Document Document;
  if (!ParseJsonText(AStatusJson, Document) || !Document.IsObject()) return {};
  const rapidjson::Value* Nodes = Member(Document, "nodes");
  if (!Nodes || !Nodes->IsArray()) return {};
  bool AnyDirty = false;
  bool AllMissing = true;
  bool SeenNode = false;
  for (const rapidjson::Value& Node : Nodes->GetArray()) {
    if (!Node.IsObject()) continue;
    SeenNode = true;
    if (IsTrueMember(Node, "missing")) {
      AnyDirty = true;
    } else {
      AllMissing = false;
    }
    if (IsTrueMember(Node, "dirty")) AnyDirty = true;
  }
  if (!SeenNode) return {};
  if (AllMissing) return "missing";
  return AnyDirty ? "dirty" : "clean";
}

}  // namespace twdesktop
