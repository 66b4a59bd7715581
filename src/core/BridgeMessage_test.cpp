#include "core/BridgeMessage.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace twdesktop {
namespace {

TEST(ReadBridgeMessage, ReadsActionAndNodeByTheirJsonKind) {
  struct TCase {
    std::string Text;
    std::string Action, Node;
  };
  const std::vector<TCase> Cases = {
      {R"({"action":"ready"})", "ready", ""},
      {R"({"action":"commit-all","node":"fix \"quotes\" \\ and\nlines"})", "commit-all",
       "fix \"quotes\" \\ and\nlines"},
      {R"({"node":"core","action":"status"})", "status", "core"},  // order does not matter
      {" \t\r\n{\"action\":\"refresh-status\"} \r\n ", "refresh-status", ""},  // white space around
      // numbers keep the text exactly as written
      {R"({"action":7,"node":-0})", "7", "-0"},
      {R"({"action":1e3,"node":1.50})", "1e3", "1.50"},
      {R"({"action":-12.5E-3,"node":123456789012345678901234567890})", "-12.5E-3",
       "123456789012345678901234567890"},
      {R"({"action":true,"node":false})", "true", "false"},
      {R"({"action":null,"node":null})", "", ""},
      {R"({"action":"","node":"x"})", "", "x"},
      {R"({"action":"status","node":{"id":"core"}})", "status", ""},  // object node: empty
      {R"({"action":"status","node":["core"]})", "status", ""},
      // the first of duplicate names counts
      {R"({"action":"pull-all","action":"diff-all","node":"a","node":"b"})", "pull-all", "a"},
      {R"({"action":"push","Node":"core","other":[1,2]})", "push", ""},  // names match exactly
      {R"({"action":"READY"})", "READY", ""},  // case is the route table's business
      {R"({"action":"\u00e4\ud83d\ude00\u2028"})", "\xC3\xA4\xF0\x9F\x98\x80\xE2\x80\xA8", ""},
      {R"({"action":"a\u0000b"})", std::string("a\0b", 3), ""},  // an escaped NUL is kept
      {R"({"action":"x","node":"a\udc00b\udfff"})", "x",
       "a\xEF\xBF\xBD"
       "b\xEF\xBF\xBD"},  // lone surrogates
  };
  for (const auto& Case : Cases) {
    const TBridgeReadResult Read = ReadBridgeMessage(Case.Text);
    SCOPED_TRACE(Case.Text);
    ASSERT_EQ(Read.Kind, EBridgeRead::Accepted);
    EXPECT_EQ(Read.Message.Action, Case.Action);
    EXPECT_EQ(Read.Message.Node, Case.Node);
    EXPECT_EQ(Read.Error, "");
  }
}

TEST(ReadBridgeMessage, RejectsAnObjectWithoutAReadableAction) {
  struct TCase {
    std::string Text;
    std::string Error;
  };
  const std::vector<TCase> Cases = {
      {R"({})", "Value 'action' not found"},
      {R"({"node":"core"})", "Value 'action' not found"},
      {R"({"Action":"ready"})", "Value 'action' not found"},  // a capital A is another name
      {R"({"action ":"ready"})", "Value 'action' not found"},
      {R"({"action":{"word":"ready"}})", "Value 'action' is not text"},
      {R"({"action":["ready"]})", "Value 'action' is not text"},
      {R"({"action":{},"action":"ready"})", "Value 'action' is not text"},  // first one counts
  };
  for (const auto& Case : Cases) {
    const TBridgeReadResult Read = ReadBridgeMessage(Case.Text);
    SCOPED_TRACE(Case.Text);
    EXPECT_EQ(Read.Kind, EBridgeRead::Rejected);
    EXPECT_EQ(Read.Error, Case.Error);
    EXPECT_EQ(Read.Message.Action, "");
    EXPECT_EQ(Read.Message.Node, "");
  }
}

TEST(ReadBridgeMessage, IgnoresAnythingButOneJsonObject) {
  const std::vector<std::optional<std::string>> Texts = {
      std::nullopt,  // posted as something other than a string
      "",
      "   ",
      "ready",
      R"({"action":"ready"} {"action":"pull-all"})",  // two objects
      R"({"action":"ready"}x)",
      std::string(R"({"action":"ready"})") + '\0' + R"({"action":"pull-all"})",  // NUL is no end
      R"(["ready"])",
      R"("ready")",
      "7",
      "true",
      "null",
      R"({"action":"ready",})",  // trailing comma
      R"({"action":"ready"} // comment)",
      R"({'action':'ready'})",
      "\xEF\xBB\xBF{\"action\":\"ready\"}",  // byte-order mark
      R"({"action":1e400})",                 // a number the parser cannot hold
      "{\"action\":\"re\xFF"
      "ady\"}",                  // invalid UTF-8
      "{\"action\":\"a\nb\"}",   // raw line break inside a string
      R"({"action":"\ud800"})",  // high surrogate without its pair
  };
  for (const auto& Text : Texts) {
    const TBridgeReadResult Read = ReadBridgeMessage(Text);
    SCOPED_TRACE(Text.value_or("<not a string>"));
    EXPECT_EQ(Read.Kind, EBridgeRead::Ignored);
    EXPECT_EQ(Read.Error, "");
    EXPECT_EQ(Read.Message.Action, "");
  }
}

}  // namespace
}  // namespace twdesktop
