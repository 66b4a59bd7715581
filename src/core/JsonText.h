#pragma once

#include <rapidjson/document.h>

#include <string_view>

namespace twdesktop {

// Parses a text that must be exactly one strict JSON value (white space around it allowed):
// no comments, no trailing commas, no byte-order mark, valid UTF-8 inside strings, and no byte
// left over, not even after a NUL. Deep nesting cannot exhaust the stack. With
// ANumbersAsText, every number is kept as a string holding its text exactly as written.
// False, with ADocument unspecified, when the text is not such a value.
bool ParseJsonText(std::string_view AText, rapidjson::Document& ADocument,
                   bool ANumbersAsText = false);

// The same check without building a document.
bool IsStrictJsonText(std::string_view AText);

}  // namespace twdesktop
