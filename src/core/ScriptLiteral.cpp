#include "core/ScriptLiteral.h"

#include "core/JsonText.h"
#include "core/TextRules.h"

namespace twdesktop {
namespace {

constexpr std::string_view kLineSeparator = "\xE2\x80\xA8";       // U+2028
constexpr std::string_view kParagraphSeparator = "\xE2\x80\xA9";  // U+2029

void AppendUnicodeEscape(std::string& AOut, unsigned ACode) {
  static constexpr char kHex[] = "0123456789abcdef";
  AOut += "\\u";
  for (int Shift = 12; Shift >= 0; Shift -= 4) AOut += kHex[(ACode >> Shift) & 0xF];
}

// Appends the escape of U+2028 or U+2029 when one of them starts at AAt; false otherwise.
bool AppendSeparatorEscape(std::string_view AText, size_t AAt, std::string& AOut) {
  const std::string_view Three = AText.substr(AAt, 3);
  if (Three == kLineSeparator) {
    AOut += "\\u2028";
    return true;
  }
  if (Three == kParagraphSeparator) {
    AOut += "\\u2029";
    return true;
  }
  return false;
}

}  // namespace

std::string JsonStringLiteral(std::string_view AText) {
  const std::string Text = ValidUtf8(AText);
  const std::string_view View = Text;
  std::string Result;
  Result.reserve(Text.size() + 2);
  Result += '"';
  for (size_t I = 0; I < View.size(); ++I) {
    const unsigned char C = static_cast<unsigned char>(View[I]);
    switch (C) {
      case '"':
        Result += "\\\"";
        continue;
      case '\\':
        Result += "\\\\";
        continue;
      case '\n':
        Result += "\\n";
        continue;
      case '\r':
        Result += "\\r";
        continue;
      case '\t':
        Result += "\\t";
        continue;
      case '\b':
        Result += "\\b";
        continue;
      case '\f':
        Result += "\\f";
        continue;
      // "<" and ">" so that neither "</script>" nor "<!--" can form around the literal.
      case '<':
      case '>':
      case 0x7F:
        AppendUnicodeEscape(Result, C);
        continue;
      default:
        break;
    }
    if (C < 0x20) {
      AppendUnicodeEscape(Result, C);
    } else if (C == 0xE2 && AppendSeparatorEscape(View, I, Result)) {
      I += 2;
    } else {
      Result += static_cast<char>(C);
    }
  }
  Result += '"';
  return Result;
}

bool IsSingleJsonValue(std::string_view AText) {
  return IsStrictJsonText(AText);
}

std::string JsonDocumentArgument(std::string_view ADocument) {
  if (!IsSingleJsonValue(ADocument)) return JsonStringLiteral(ADocument);
  // In a valid document these characters can stand only inside strings, where an escape means
  // the same character: so the value is unchanged, the separators cannot end a line in an older
  // script engine, and no "</script" or "<!--" can appear in the code.
  std::string Result;
  Result.reserve(ADocument.size());
  for (size_t I = 0; I < ADocument.size(); ++I) {
    const char C = ADocument[I];
    if (C == '<' || C == '>') {
      AppendUnicodeEscape(Result, static_cast<unsigned char>(C));
    } else if (C == '\xE2' && AppendSeparatorEscape(ADocument, I, Result)) {
      I += 2;
    } else {
      Result += C;
    }
  }
  return Result;
}

}  // namespace twdesktop
