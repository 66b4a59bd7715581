#pragma once

#include <rapidjson/document.h>

#include <optional>
#include <string>

namespace tw {

std::optional<std::string> ReadTextFile(const std::string& APath);

// Writes through a temporary file in the same folder and a rename, so a reader never sees half
// a file and a crash leaves the old one. AMode applies from the first byte on: a sign-in file
// must never exist, even briefly, with wider permissions than its owner's.
bool WriteFileAtomically(const std::string& APath, const std::string& AText, unsigned AMode);

// Creates the folder and its missing parents; new folders get AMode.
bool MakeFolders(const std::string& APath, unsigned AMode = 0755);

std::optional<rapidjson::Document> ReadJsonFile(const std::string& APath);
std::string ToJson(const rapidjson::Value& AValue, bool APretty = false);

// The member as a text, or empty when it is absent or not a string.
std::string TextMember(const rapidjson::Value& AObject, const char* AName);

// Replaces every byte that does not belong to a well-formed UTF-8 sequence with U+FFFD, so a
// diff of a file in another encoding still makes a valid JSON document.
std::string ValidUtf8(const std::string& AText);

// An absolute, normalised path (the folder need not exist).
std::string AbsolutePath(const std::string& APath);

}  // namespace tw
