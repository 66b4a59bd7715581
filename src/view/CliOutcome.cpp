#include "view/CliOutcome.h"

#include <string>

#include "core/TextRules.h"

namespace twdesktop {

namespace {

bool IsAsciiLetter(char C) {
  return (C >= 'a' && C <= 'z') || (C >= 'A' && C <= 'Z');
}

}  // namespace

bool LoginSucceeded(std::string_view AOutput) {
  const std::string Lower = AsciiLower(AOutput);
  constexpr std::string_view kWord = "successful";
  for (size_t Pos = Lower.find(kWord); Pos != std::string::npos; Pos = Lower.find(kWord, Pos + 1)) {
    if (Pos == 0 || !IsAsciiLetter(Lower[Pos - 1])) return true;
  }
  return false;
}

bool AsksForSignIn(std::string_view AOutput) {
  const std::string Lower = AsciiLower(AOutput);
  return Lower.find("login") != std::string::npos || Lower.find("token") != std::string::npos;
}

}  // namespace twdesktop
