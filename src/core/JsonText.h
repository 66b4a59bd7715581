#pragma once

#include <rapidjson/document.h>

#include <string>
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

// The text of a string value as valid UTF-8. The parser stores an escaped lone surrogate
// ("\udc00") as the three bytes of a surrogate, which no UTF-8 reader accepts; each becomes one
// U+FFFD, the way a script engine encodes such a string. An escaped U+0000 stays.
std::string JsonStringText(const rapidjson::Value& AString);

}  // namespace twdesktop
