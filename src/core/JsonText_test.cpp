#include "core/JsonText.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace twdesktop {
namespace {

TEST(JsonText, AcceptsExactlyOneStrictValue) {
  struct TCase {
    std::string Text;
    bool Valid;
  };
  const std::vector<TCase> Cases = {
      {"{}", true},
      {" \t\r\n{\"a\":[1,-0,1.5e3,true,null,\"x\"]} \n", true},
      {"[]", true},
      {"\"text\"", true},
      {"-12.5e-3", true},
      {"1e300", true},
      {"null", true},
      {"", false},
      {"   ", false},
      {"{} {}", false},                  // two values
      {"{} x", false},                   // text after the value
      {std::string("{}\0x", 4), false},  // a NUL byte does not end the text
      {std::string("{}\0", 3), false},
      {"{\"a\":1,}", false},  // trailing comma
      {"[1,]", false},
      {"{} // note", false},  // comments
      {"/* c */ {}", false},
      {"{'a':1}", false},  // single quotes
      {"{a:1}", false},
      {"\xEF\xBB\xBF{}", false},  // byte-order mark
      {"\v{}", false},            // only space, tab, CR and LF are white space
      {"01", false},
      {"NaN", false},
      {"{\"a\":\"\x01\"}", false},  // raw control character in a string
      {"\"\xFF\"", false},          // invalid UTF-8 in a string
      {"\"\xED\xA0\x80\"", false},  // an encoded surrogate
      {"{\"a\":1", false},
      {"{\"a\":\"\\u2028\\ud83d\\ude00\"}", true},
      {std::string(100000, '[') + std::string(100000, ']'), true},  // deep, without a crash
      {std::string(100000, '['), false},
  };
  for (const auto& Case : Cases) {
    SCOPED_TRACE("text: " + Case.Text.substr(0, 60));
    EXPECT_EQ(IsStrictJsonText(Case.Text), Case.Valid);
    rapidjson::Document Document;
    EXPECT_EQ(ParseJsonText(Case.Text, Document), Case.Valid);
    EXPECT_EQ(ParseJsonText(Case.Text, Document, /*ANumbersAsText=*/true), Case.Valid);
  }
}

TEST(JsonText, KeepsNumbersAsWrittenOnlyWhenAsked) {
  rapidjson::Document Document;
  ASSERT_TRUE(ParseJsonText("[7,-0,1e3,1.50,123456789012345678901234567890]", Document, true));
  std::vector<std::string> Texts;
  for (const auto& Value : Document.GetArray()) {
    ASSERT_TRUE(Value.IsString());
    Texts.emplace_back(Value.GetString(), Value.GetStringLength());
  }
  EXPECT_EQ(Texts,
            (std::vector<std::string>{"7", "-0", "1e3", "1.50", "123456789012345678901234567890"}));

  ASSERT_TRUE(ParseJsonText("[7,1.50]", Document));
  EXPECT_TRUE(Document[0].IsInt());
  EXPECT_TRUE(Document[1].IsDouble());
}

TEST(JsonText, StringTextIsValidUtf8) {
  struct TCase {
    std::string Json, Text;
  };
  const std::vector<TCase> Cases = {
      {R"("plain \"q\" \u00e4\ud83d\ude00")", "plain \"q\" \xC3\xA4\xF0\x9F\x98\x80"},
      {R"("a\u0000b")", std::string("a\0b", 3)},
      {R"("\udc00")", "\xEF\xBF\xBD"},  // a lone surrogate: one replacement character
      {R"("x\udfffy\udc80")", "x\xEF\xBF\xBDy\xEF\xBF\xBD"},
      {R"("\ud7ff\ue000")", "\xED\x9F\xBF\xEE\x80\x80"},  // the neighbours are characters
  };
  for (const auto& Case : Cases) {
    rapidjson::Document Document;
    ASSERT_TRUE(ParseJsonText(Case.Json, Document)) << Case.Json;
    EXPECT_EQ(JsonStringText(Document), Case.Text) << Case.Json;
  }
}

}  // namespace
}  // namespace twdesktop
