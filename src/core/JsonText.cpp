#include "core/JsonText.h"

#include <rapidjson/reader.h>

#include <cassert>
#include <cstddef>

#include "core/TextRules.h"

namespace twdesktop {
namespace {

// A read-only RapidJSON input stream over a string_view. RapidJSON takes a NUL character for
// the end of the text, so a parse can stop early at a NUL byte and still report success: the
// callers compare Tell() with the length to make sure the whole text was read.
class TViewStream {
 public:
  using Ch = char;

  explicit TViewStream(std::string_view AText) : FText(AText) {}

  Ch Peek() const { return FPos < FText.size() ? FText[FPos] : '\0'; }
  Ch Take() { return FPos < FText.size() ? FText[FPos++] : '\0'; }
  size_t Tell() const { return FPos; }
  bool AtEnd() const { return FPos == FText.size(); }

  // Only used by in-place parsing, which we never ask for.
  Ch* PutBegin() {
    assert(false);
    return nullptr;
  }
  void Put(Ch) { assert(false); }
  void Flush() { assert(false); }
  size_t PutEnd(Ch*) {
    assert(false);
    return 0;
  }

 private:
  std::string_view FText;
  size_t FPos = 0;
};

// Iterative: a text of a million "[" must not overflow the stack. The encoding check makes
// every accepted text valid UTF-8 (outside strings only ASCII can be valid anyway).
constexpr unsigned kStrictFlags =
    rapidjson::kParseValidateEncodingFlag | rapidjson::kParseIterativeFlag;

}  // namespace

bool ParseJsonText(std::string_view AText, rapidjson::Document& ADocument, bool ANumbersAsText) {
  TViewStream Stream(AText);
  if (ANumbersAsText) {
    ADocument.ParseStream<kStrictFlags | rapidjson::kParseNumbersAsStringsFlag>(Stream);
  } else {
    ADocument.ParseStream<kStrictFlags>(Stream);
  }
  return !ADocument.HasParseError() && Stream.AtEnd();
}

bool IsStrictJsonText(std::string_view AText) {
  TViewStream Stream(AText);
  rapidjson::Reader Reader;
  rapidjson::BaseReaderHandler<> Handler;
  // Numbers as text: nothing here needs their value, so no conversion is done.
  const rapidjson::ParseResult Result =
      Reader.Parse<kStrictFlags | rapidjson::kParseNumbersAsStringsFlag>(Stream, Handler);
  return !Result.IsError() && Stream.AtEnd();
}

std::string JsonStringText(const rapidjson::Value& AString) {
  const std::string_view Text(AString.GetString(), AString.GetStringLength());
  std::string Joined;
  Joined.reserve(Text.size());
  for (size_t I = 0; I < Text.size(); ++I) {
    const auto Byte = [&](size_t J) { return static_cast<unsigned char>(Text[J]); };
    // ED A0..BF 80..BF: a surrogate, U+D800 to U+DFFF. A valid pair never reaches us as such:
    // the parser joins it into one four-byte character.
    if (Byte(I) == 0xED && I + 2 < Text.size() && Byte(I + 1) >= 0xA0 && Byte(I + 1) <= 0xBF &&
        Byte(I + 2) >= 0x80 && Byte(I + 2) <= 0xBF) {
      Joined += "\xEF\xBF\xBD";
      I += 2;
    } else {
      Joined += Text[I];
    }
  }
  // Everything else the parser accepted was checked as UTF-8 already; this is a safety net.
  return ValidUtf8(Joined);
}

}  // namespace twdesktop
