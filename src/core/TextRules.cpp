#include "core/TextRules.h"

#include <algorithm>

namespace twdesktop {
namespace {

constexpr std::string_view kLineBreaks = "\r\n";

bool IsControlOrBlank(char C) {
  return static_cast<unsigned char>(C) <= 0x20;
}

char AsciiLowerChar(char C) {
  return (C >= 'A' && C <= 'Z') ? static_cast<char>(C + 32) : C;
}

// Walks the output lines from the last to the first and returns the first that APredicate
// accepts. Going backwards keeps the cost proportional to what follows the match, which matters
// for the clone's progress callback: it runs after every read on the whole output so far.
template <typename TPredicate>
std::optional<std::string_view> LastLineWhere(std::string_view AOutput, TPredicate APredicate) {
  size_t End = AOutput.size();
  while (End > 0) {
    const size_t Break = AOutput.find_last_of(kLineBreaks, End - 1);
    const size_t Start = Break == std::string_view::npos ? 0 : Break + 1;
    if (Start < End) {
      const std::string_view Line = AOutput.substr(Start, End - Start);
      if (APredicate(Line)) return Line;
    }
    if (Break == std::string_view::npos) break;
    End = Break;
  }
  return std::nullopt;
}

}  // namespace

std::vector<std::string> OutputLines(std::string_view AOutput) {
  std::vector<std::string> Lines;
  size_t Start = 0;
  while (Start < AOutput.size()) {
    size_t Break = AOutput.find_first_of(kLineBreaks, Start);
    if (Break == std::string_view::npos) Break = AOutput.size();
    if (Break > Start) Lines.emplace_back(AOutput.substr(Start, Break - Start));
    Start = Break + 1;
  }
  return Lines;
}

std::string SummaryLine(std::string_view AOutput, std::string_view ADefault) {
  const auto Line = LastLineWhere(
      AOutput, [](std::string_view L) { return TrimLeadingControls(L).starts_with("Summary:"); });
  return std::string(Line ? TrimControls(*Line) : ADefault);
}

std::string ExtractJson(std::string_view AText) {
  const size_t First = AText.find('{');
  if (First == std::string_view::npos) return {};
  const size_t Last = AText.rfind('}');
  if (Last == std::string_view::npos || Last < First) return {};
  return std::string(AText.substr(First, Last - First + 1));
}

std::string AsciiLower(std::string_view AText) {
  std::string Result(AText);
  std::transform(Result.begin(), Result.end(), Result.begin(), AsciiLowerChar);
  return Result;
}

// Byte-wise on UTF-8 this equals the code-unit comparison on UTF-16: only ASCII letters fold,
// and no byte of a multi-byte sequence is ASCII, so equal folded bytes mean equal characters.
bool SameTextIgnoringAsciiCase(std::string_view A, std::string_view B) {
  return A.size() == B.size() && std::equal(A.begin(), A.end(), B.begin(), [](char X, char Y) {
           return AsciiLowerChar(X) == AsciiLowerChar(Y);
         });
}

std::string_view TrimLeadingControls(std::string_view AText) {
  const auto It = std::find_if_not(AText.begin(), AText.end(), IsControlOrBlank);
  return AText.substr(static_cast<size_t>(It - AText.begin()));
}

std::string_view TrimControls(std::string_view AText) {
  AText = TrimLeadingControls(AText);
  while (!AText.empty() && IsControlOrBlank(AText.back())) AText.remove_suffix(1);
  return AText;
}

std::optional<std::string> LastProgressLine(std::string_view AOutput) {
  const auto Line = LastLineWhere(
      AOutput, [](std::string_view L) { return TrimLeadingControls(L).starts_with('['); });
  if (!Line) return std::nullopt;
  return std::string(TrimControls(*Line));
}

std::string ValidUtf8(std::string_view AText) {
  static constexpr std::string_view kReplacement = "\xEF\xBF\xBD";
  std::string Result;
  Result.reserve(AText.size());
  const auto Byte = [&](size_t I) { return static_cast<unsigned char>(AText[I]); };
  size_t I = 0;
  while (I < AText.size()) {
    const unsigned char Lead = Byte(I);
    if (Lead < 0x80) {
      Result += static_cast<char>(Lead);
      ++I;
      continue;
    }
    // The length of the sequence and the range its second byte must fall in; the narrower
    // ranges after E0, ED, F0 and F4 exclude overlong forms, surrogates and values past U+10FFFF.
    size_t Length = 0;
    unsigned char Low = 0x80, High = 0xBF;
    if (Lead >= 0xC2 && Lead <= 0xDF) {
      Length = 2;
    } else if (Lead >= 0xE0 && Lead <= 0xEF) {
      Length = 3;
      if (Lead == 0xE0) Low = 0xA0;
      if (Lead == 0xED) High = 0x9F;
    } else if (Lead >= 0xF0 && Lead <= 0xF4) {
      Length = 4;
      if (Lead == 0xF0) Low = 0x90;
      if (Lead == 0xF4) High = 0x8F;
    }
    // Take as many bytes as continue a well-formed sequence; a sequence cut short is one
    // maximal ill-formed subpart and is replaced once, and the byte that broke it starts anew.
    size_t Taken = 1;
    while (Taken < Length && I + Taken < AText.size()) {
      const unsigned char Next = Byte(I + Taken);
      if (Taken == 1 ? (Next < Low || Next > High) : (Next < 0x80 || Next > 0xBF)) break;
      ++Taken;
    }
    if (Length != 0 && Taken == Length) {
      Result.append(AText.substr(I, Length));
    } else {
      Result += kReplacement;
    }
    I += Taken;
  }
  return Result;
}

}  // namespace twdesktop
