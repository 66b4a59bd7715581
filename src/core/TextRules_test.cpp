#include "core/TextRules.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

namespace twdesktop {
namespace {

using Lines = std::vector<std::string>;

TEST(OutputLines, CutsAtEveryLineBreakAndDropsEmptyPieces) {
  struct TCase {
    std::string Output;
    Lines Expected;
  };
  const std::vector<TCase> Cases = {
      {"", {}},
      {"\r\n\r\n\n\r", {}},
      {"one", {"one"}},
      {"a\r\nb", {"a", "b"}},            // a CR LF pair ends one line
      {"a\rb\nc", {"a", "b", "c"}},      // a lone CR and a lone LF each end a line
      {"a\n\n\nb\n", {"a", "b"}},        // blank lines vanish
      {"a\n   \nb", {"a", "   ", "b"}},  // a line of blanks is a line
      {"\t x \t\r\n", {"\t x \t"}},      // nothing else is removed from a line
      {"\n\r\na", {"a"}},
  };
  for (const auto& Case : Cases) {
    EXPECT_EQ(OutputLines(Case.Output), Case.Expected) << "output: " << Case.Output;
  }
}

TEST(SummaryLine, TakesTheLastLineBeginningWithSummary) {
  struct TCase {
    std::string Output;
    std::string Expected;
  };
  const std::vector<TCase> Cases = {
      {"", "dflt"},
      {"nothing to report\n", "dflt"},
      {"Summary: 1\nSummary: 2\n  Summary: 3  \t\nnot it\n", "Summary: 3"},  // last wins, trimmed
      {"\t\x01 Summary:all done\r\n", "Summary:all done"},  // leading controls are skipped
      {"summary: lower case\n", "dflt"},                    // exact case only
      {"note Summary: inside\n", "dflt"},                   // other text before it
      {"Summary\n", "dflt"},                                // the colon belongs to the word
      {"Summary: a\rSummary: b", "Summary: b"},             // a lone CR ends a line
      {"Summary:", "Summary:"},
      {"Summary: ok \xE2\x9C\x93\n", "Summary: ok \xE2\x9C\x93"},  // UTF-8 kept whole
  };
  for (const auto& Case : Cases) {
    EXPECT_EQ(SummaryLine(Case.Output, "dflt"), Case.Expected) << "output: " << Case.Output;
  }
}

TEST(ExtractJson, TakesFirstOpeningToLastClosingBrace) {
  struct TCase {
    std::string Text;
    std::string Expected;
  };
  const std::vector<TCase> Cases = {
      {"", ""},
      {"no braces here", ""},
      {"} before {", ""},  // the only "}" stands before the first "{"
      {"{ unclosed", ""},
      {"text {} more", "{}"},
      {"a {\"x\":1} b {\"y\":2} c", "{\"x\":1} b {\"y\":2}"},  // the text between is included
      {"} {x} }", "{x} }"},
      {"{not json at all}", "{not json at all}"},  // validity is not looked at
  };
  for (const auto& Case : Cases) {
    EXPECT_EQ(ExtractJson(Case.Text), Case.Expected) << "text: " << Case.Text;
  }
}

TEST(AsciiCase, FoldsOnlyAsciiLetters) {
  EXPECT_EQ(AsciiLower("Login SUCCESSFUL [Z@]\xC3\x84"), "login successful [z@]\xC3\x84");

  struct TCase {
    std::string A, B;
    bool Same;
  };
  const std::vector<TCase> Cases = {
      {"ready", "READY", true},
      {"ready", "Ready", true},
      {"ready", " ready", false},
      {"ready", "ready ", false},
      {"", "", true},
      {"@", "`", false},  // neighbours of the letter ranges do not fold
      {"[", "{", false},
      {"\xC3\x84", "\xC3\xA4", false},  // A and a with diaeresis: not ASCII, not folded
      {"stat\xC3\xBCs", "STAT\xC3\xBCS", true},
  };
  for (const auto& Case : Cases) {
    EXPECT_EQ(SameTextIgnoringAsciiCase(Case.A, Case.B), Case.Same) << Case.A << " / " << Case.B;
  }
}

TEST(TrimControls, RemovesCharactersUpToBlank) {
  EXPECT_EQ(TrimLeadingControls(std::string_view("\0\x01\x1f \tx y \t", 10)), "x y \t");
  EXPECT_EQ(TrimControls(std::string_view("\0\x01\x1f \tx y \t\x7f \n", 13)), "x y \t\x7f");
  EXPECT_EQ(TrimControls(" \t\r\n"), "");
  EXPECT_EQ(TrimControls(""), "");
  // Non-ASCII is never trimmed: no byte of a multi-byte sequence is below 0x80.
  EXPECT_EQ(TrimControls("\xC2\xA0x\xC2\xA0"), "\xC2\xA0x\xC2\xA0");
}

TEST(LastProgressLine, FindsTheLatestBracketLine) {
  struct TCase {
    std::string Output;
    std::optional<std::string> Expected;
  };
  const std::vector<TCase> Cases = {
      {"", std::nullopt},
      {"Cloning...\nno progress here\n", std::nullopt},
      // of four lines, the second and third begin with "[" and the fourth does not
      {"start\n[1/3] core\n[2/3] ui\ndone writing\n", "[2/3] ui"},
      {"  \t[1/2] a  \t\r\n", "[1/2] a"},  // leading and trailing blanks trimmed
      {"[1/2] a\n[2/2] b", "[2/2] b"},     // a line still being written is taken as it stands
      {"[1/2] a\n[2/2] recei", "[2/2] recei"},
      {"[1/2] a\r[2/2] b\r", "[2/2] b"},  // a lone CR (a redrawn line) ends a line too
      {"x [not at start]\n", std::nullopt},
      {"[\n", "["},
      {"\n\n\n", std::nullopt},
  };
  for (const auto& Case : Cases) {
    EXPECT_EQ(LastProgressLine(Case.Output), Case.Expected) << "output: " << Case.Output;
  }
}

// The plain rule: every line, from the last back to the first.
std::optional<std::string> NaiveLastLine(const std::string& AOutput,
                                         const std::function<bool(std::string_view)>& AMatch) {
  const Lines All = OutputLines(AOutput);
  for (auto It = All.rbegin(); It != All.rend(); ++It) {
    if (AMatch(TrimLeadingControls(*It))) return std::string(TrimControls(*It));
  }
  return std::nullopt;
}

// Every text of up to five pieces from a small alphabet of the pieces that matter: the
// backwards scans must agree with the plain rule on all of them.
TEST(LastLineRules, BackwardScansAgreeWithThePlainRule) {
  const std::vector<std::string> Pieces = {"[", "Summary:", " ", "\t", "\r", "\n", "x", "\r\n"};
  std::vector<std::string> Texts = {""};
  std::vector<std::string> Level = {""};
  for (int Count = 1; Count <= 5; ++Count) {
    std::vector<std::string> Next;
    for (const auto& Text : Level) {
      for (const auto& Piece : Pieces) Next.push_back(Text + Piece);
    }
    Texts.insert(Texts.end(), Next.begin(), Next.end());
    Level = std::move(Next);
  }
  const auto IsProgress = [](std::string_view L) { return L.starts_with('['); };
  const auto IsSummary = [](std::string_view L) { return L.starts_with("Summary:"); };
  for (const auto& Text : Texts) {
    ASSERT_EQ(LastProgressLine(Text), NaiveLastLine(Text, IsProgress)) << "output: " << Text;
    ASSERT_EQ(SummaryLine(Text, "none"), NaiveLastLine(Text, IsSummary).value_or("none"))
        << "output: " << Text;
  }
}

TEST(ValidUtf8, KeepsValidTextAndReplacesEachBrokenPiece) {
  const std::string R = "\xEF\xBF\xBD";
  struct TCase {
    std::string Text, Expected;
  };
  const std::vector<TCase> Cases = {
      {"", ""},
      {"plain \x7f", "plain \x7f"},
      {std::string("a\0b", 3), std::string("a\0b", 3)},
      {"\xC3\xA4\xE2\x82\xAC\xF0\x9F\x98\x80", "\xC3\xA4\xE2\x82\xAC\xF0\x9F\x98\x80"},
      {"\xEF\xBF\xBF\xF4\x8F\xBF\xBF", "\xEF\xBF\xBF\xF4\x8F\xBF\xBF"},  // U+FFFF, U+10FFFF
      {"a\xFF"
       "b",
       "a" + R + "b"},
      {"\x80\x80", R + R},                  // lone continuation bytes, one each
      {"\xC0\xAF", R + R},                  // overlong "/"
      {"\xE0\x80\xAF", R + R + R},          // overlong three-byte form
      {"\xED\xA0\x80", R + R + R},          // a UTF-16 surrogate
      {"\xF4\x90\x80\x80", R + R + R + R},  // past U+10FFFF
      {"\xE2\x82"
       "x",
       R + "x"},                                     // cut short: one replacement
      {"\xF0\x9F\x98", R},                           // cut short at the end
      {"\xE2\x82\xE2\x82\xAC", R + "\xE2\x82\xAC"},  // the breaking byte starts anew
  };
  for (const auto& Case : Cases) {
    EXPECT_EQ(ValidUtf8(Case.Text), Case.Expected) << "text: " << Case.Text;
  }
}

}  // namespace
}  // namespace twdesktop
