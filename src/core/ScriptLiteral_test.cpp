#include "core/ScriptLiteral.h"

#include <gtest/gtest.h>
#include <rapidjson/stringbuffer.h>
#include <rapidjson/writer.h>

#include <string>
#include <vector>

#include "core/JsonText.h"
#include "core/TextRules.h"

namespace twdesktop {
namespace {

// What script code from these functions may never hold raw: anything that ends a string or a
// script in some engine, or that makes the text ill-formed. Code made from a document may keep
// the document's white space between values; a string literal holds no control character.
enum class EWhiteSpace { Forbidden, Allowed };

void ExpectSafeForScript(const std::string& ACode, EWhiteSpace AWhiteSpace) {
  EXPECT_EQ(ValidUtf8(ACode), ACode) << ACode;
  for (const char C : ACode) {
    const unsigned char U = static_cast<unsigned char>(C);
    if (AWhiteSpace == EWhiteSpace::Allowed && (C == '\t' || C == '\r' || C == '\n')) continue;
    EXPECT_FALSE(U < 0x20 || U == 0x7F || C == '<' || C == '>') << "raw byte " << int(U);
  }
  EXPECT_EQ(ACode.find("\xE2\x80\xA8"), std::string::npos);
  EXPECT_EQ(ACode.find("\xE2\x80\xA9"), std::string::npos);
}

// The literal read back as JSON, or nullopt when it is not exactly one JSON string.
std::optional<std::string> ReadBackString(const std::string& ALiteral) {
  rapidjson::Document Document;
  if (!ParseJsonText(ALiteral, Document) || !Document.IsString()) return std::nullopt;
  return std::string(Document.GetString(), Document.GetStringLength());
}

// The parsed value written out again, members in document order, numbers as written; nullopt
// when the text does not parse.
std::optional<std::string> Canonical(const std::string& AText) {
  rapidjson::Document Document;
  if (!ParseJsonText(AText, Document, /*ANumbersAsText=*/true)) return std::nullopt;
  rapidjson::StringBuffer Buffer;
  rapidjson::Writer<rapidjson::StringBuffer> Writer(Buffer);
  Document.Accept(Writer);
  return std::string(Buffer.GetString(), Buffer.GetSize());
}

TEST(JsonStringLiteral, RoundTripsEveryTextAndIsSafeInAScript) {
  const std::string R = "\xEF\xBF\xBD";
  struct TCase {
    std::string Text;
    std::string Value;  // what the literal reads back as
  };
  const std::vector<TCase> Cases = {
      {"", ""},
      {"core", "core"},
      {"say \"hi\" \\ back\\", "say \"hi\" \\ back\\"},
      {"line\nbreak\r\ttab\b\f", "line\nbreak\r\ttab\b\f"},
      {std::string("nul\0in\x01\x1f\x7f", 10), std::string("nul\0in\x01\x1f\x7f", 10)},
      {"</script><!-- -->", "</script><!-- -->"},
      {"sep\xE2\x80\xA8par\xE2\x80\xA9", "sep\xE2\x80\xA8par\xE2\x80\xA9"},
      {"'); alert(1); ('", "'); alert(1); ('"},
      {"`${x}`", "`${x}`"},
      {"\xC3\xA4\xE2\x82\xAC\xF0\x9F\x98\x80", "\xC3\xA4\xE2\x82\xAC\xF0\x9F\x98\x80"},
      {"bad\xFF\xC0\xAF", "bad" + R + R + R},  // invalid UTF-8 becomes U+FFFD
      {"\xED\xA0\x80", R + R + R},
  };
  for (const auto& Case : Cases) {
    const std::string Literal = JsonStringLiteral(Case.Text);
    SCOPED_TRACE(Literal);
    EXPECT_EQ(ReadBackString(Literal), Case.Value);
    ExpectSafeForScript(Literal, EWhiteSpace::Forbidden);
  }
}

TEST(JsonStringLiteral, UsesShortEscapesWhereJsonHasThem) {
  EXPECT_EQ(JsonStringLiteral("a\"\\\n\r\t\b\f\x01<>\x7f"),
            "\"a\\\"\\\\\\n\\r\\t\\b\\f\\u0001\\u003c\\u003e\\u007f\"");
}

// The strictness itself is pinned in JsonText_test.cpp; here only that this is that check.
TEST(IsSingleJsonValue, AcceptsOneValueOnly) {
  EXPECT_TRUE(IsSingleJsonValue(" {\"nodes\":[]}\r\n"));
  EXPECT_TRUE(IsSingleJsonValue("1.50"));
  EXPECT_FALSE(IsSingleJsonValue("{} {}"));
  EXPECT_FALSE(IsSingleJsonValue("{\"a\":1,}"));
  EXPECT_FALSE(IsSingleJsonValue(""));
}

TEST(JsonDocumentArgument, HandsOverAValidDocumentAsCodeWithTheSameValue) {
  const std::vector<std::string> Documents = {
      "{\"nodes\":[{\"id\":\"core\",\"dirty\":true}]}",
      "  [1, 2.50, -0, \"x\"]\r\n",
      "{\"title\":\"</script><script>alert(1)</script>\",\"cmp\":\"a<b>c\"}",
      "{\"note\":\"line\xE2\x80\xA8sep\xE2\x80\xA9para\"}",
      "{\"emoji\":\"\xF0\x9F\x98\x80\",\"esc\":\"\\u003c\\n\"}",
      "{\"a\":1,\"a\":2}",
  };
  for (const auto& Document : Documents) {
    const std::string Code = JsonDocumentArgument(Document);
    SCOPED_TRACE(Code);
    ExpectSafeForScript(Code, EWhiteSpace::Allowed);
    ASSERT_TRUE(Canonical(Document).has_value());
    EXPECT_EQ(Canonical(Code), Canonical(Document));
  }
}

TEST(JsonDocumentArgument, HandsOverAnythingElseAsOneStringLiteral) {
  const std::vector<std::string> Documents = {
      "",
      "{broken",
      "{\"a\":1} trailing",
      "{}); alert(document.cookie); ({",
      "{\"a\":\"</script>\"",
      std::string("{}\0);evil()", 11),
      "{\"a\":\"\xFF\"}",
  };
  for (const auto& Document : Documents) {
    const std::string Code = JsonDocumentArgument(Document);
    SCOPED_TRACE(Code);
    ExpectSafeForScript(Code, EWhiteSpace::Forbidden);
    EXPECT_EQ(ReadBackString(Code), ValidUtf8(Document));
  }
}

}  // namespace
}  // namespace twdesktop
