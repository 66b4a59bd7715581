#include "view/PageScripts.h"

#include <gtest/gtest.h>
#include <rapidjson/document.h>

#include "view/FrameTestKit.h"

namespace twdesktop {
namespace {

using testkit::HasRawBreakout;
using testkit::ReadDotScript;
using testkit::ReadShowError;

// Texts that would end a call, a script block or a line if they went in unescaped.
const std::vector<std::string> kHostile = {
    "plain",
    "",
    "a\"b",
    "back\\slash\\",
    "\\\"",
    "\");alert(1);(\"",
    "</script><script>alert(1)</script>",
    "line\u2028sep\u2029para",
    "two words",
    "line1\nline2\r\n",
    "tab\tnul\x01",
    "${alert(1)}`",
    "\xFF\xFE not utf-8",
};

std::string Readable(const std::string& AText) {
  return testing::PrintToString(AText);
}

TEST(PageScriptsTest, DotCallsCarryIdAndStateAsLiterals) {
  for (const std::string& Value : kHostile) {
    const std::string Script = WorkspaceDotCall(Value, "dirty") + WorkspaceDotCall("b", Value);
    EXPECT_FALSE(HasRawBreakout(Script)) << Readable(Value);
    const auto Calls = ReadDotScript(Script);
    ASSERT_TRUE(Calls) << Script;
    ASSERT_EQ(Calls->size(), 2u);
    // Invalid UTF-8 cannot travel unchanged; it must still arrive as one well-formed literal.
    if (Value.find('\xFF') == std::string::npos) {
      EXPECT_EQ((*Calls)[0].first, Value);
      EXPECT_EQ((*Calls)[1].second, Value);
    }
    EXPECT_EQ((*Calls)[0].second, "dirty");
    EXPECT_EQ((*Calls)[1].first, "b");
  }
}

TEST(PageScriptsTest, ErrorCardTextsAreLiteralsAndTheFlagIsABareWord) {
  EXPECT_EQ(ShowErrorScript("T", "H `code`", true), "window.showError(\"T\",\"H `code`\",true)");
  EXPECT_EQ(ShowErrorScript("T", "H", false), "window.showError(\"T\",\"H\",false)");
  EXPECT_EQ(HideErrorScript(), "window.hideError()");
  for (const std::string& Value : kHostile) {
    if (Value.find('\xFF') != std::string::npos) continue;
    const std::string Script = ShowErrorScript(Value, Value, true);
    EXPECT_FALSE(HasRawBreakout(Script)) << Readable(Value);
    EXPECT_EQ(ReadShowError(Script), (testkit::TErrorCard{Value, Value, true})) << Script;
  }
}

TEST(PageScriptsTest, ResultMessageIsOneJsonObjectWithTheValuesAsSent) {
  EXPECT_EQ(ResultMessage("root", "status"),
            "{\"type\":\"result\",\"node\":\"root\",\"action\":\"status\",\"ok\":true}");
  for (const std::string& Value : kHostile) {
    if (Value.find('\xFF') != std::string::npos) continue;
    const std::string Message = ResultMessage(Value, Value + "!");
    rapidjson::Document Doc;
    Doc.Parse(Message.c_str(), Message.size());
    ASSERT_FALSE(Doc.HasParseError()) << Message;
    ASSERT_TRUE(Doc.IsObject());
    EXPECT_EQ(Doc.MemberCount(), 4u);
    EXPECT_STREQ(Doc["type"].GetString(), "result");
    EXPECT_EQ(std::string(Doc["node"].GetString(), Doc["node"].GetStringLength()), Value);
    EXPECT_EQ(std::string(Doc["action"].GetString(), Doc["action"].GetStringLength()), Value + "!");
    EXPECT_TRUE(Doc["ok"].IsTrue());
  }
}

// A document the CLI printed is code only when it is one JSON value; anything else between the
// braces reaches the loader as a text it cannot mistake for code.
TEST(PageScriptsTest, DocumentsGoInAsCodeOnlyWhenTheyAreValidJson) {
  struct TCase {
    std::string Document;
    bool AsCode;
  } Cases[] = {
      {"{\"nodes\":[]}", true},
      {"{ \"a\" : [1, 2] }", true},
      {"{}", true},
      {"{\"a\":1}); alert(1); ({", false},
      {"{not json}", false},
      {"{\"a\":\"</script>\"}", true},
  };
  for (const TCase& Case : Cases) {
    for (const auto& [Build, Name] : {std::pair{&LoadGraphScript, "loadGraph"},
                                      std::pair{&LoadWorkspacesScript, "loadWorkspaces"},
                                      std::pair{&LoadDiffScript, "loadDiff"}}) {
      const std::string Script = Build(Case.Document);
      const std::string Head = std::string("window.") + Name + "(";
      ASSERT_EQ(Script.substr(0, Head.size()), Head) << Script;
      ASSERT_EQ(Script.back(), ')') << Script;
      const std::string Argument = Script.substr(Head.size(), Script.size() - Head.size() - 1);
      if (Case.AsCode && Case.Document.find("</") == std::string::npos) {
        EXPECT_EQ(Argument, Case.Document);
        continue;
      }
      rapidjson::Document Doc;
      Doc.Parse(Argument.c_str(), Argument.size());
      ASSERT_FALSE(Doc.HasParseError()) << Argument;
      if (Case.AsCode) {
        // Still the same document, only with "</" written so that it cannot close a script.
        EXPECT_TRUE(Doc.IsObject()) << Argument;
        EXPECT_EQ(Argument.find("</"), std::string::npos) << Argument;
      } else {
        ASSERT_TRUE(Doc.IsString()) << Argument;
        EXPECT_EQ(Doc.GetString(), Case.Document);
      }
    }
  }
}

}  // namespace
}  // namespace twdesktop
