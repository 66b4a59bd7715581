#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace twdesktop {

// The "id" text of every object in the list document's "workspaces" array, in document order,
// repeats and empty ids included; empty when the text does not parse or has no such array.
// Only a JSON string is an id: an element whose "id" is a number, a Boolean or anything else is
// skipped.
std::vector<std::string> WorkspaceIds(std::string_view AListJson);

// One workspace's state from its status document: "missing" when every node object is marked
// missing, "dirty" when any node is dirty or missing, "clean" otherwise, and empty when the
// document has no node objects or does not parse. Only the JSON Boolean true marks a node
// missing or dirty.
std::string WorkspaceState(std::string_view AStatusJson);

}  // namespace twdesktop
