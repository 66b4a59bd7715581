#include "core/Utf8Decoder.h"

#include <gtest/gtest.h>

#include <cctype>
#include <string>

namespace twdesktop {
namespace {

const std::string R = "\xEF\xBF\xBD";  // U+FFFD

std::string DecodeWhole(const std::string& ABytes) {
  TUtf8Decoder decoder;
  std::string text;
  decoder.Decode(ABytes, text);
  decoder.Finish(text);
  return text;
}

struct DecodeCase {
  const char* name;
  std::string bytes;
  std::string text;
};

const DecodeCase kCases[] = {
    {"ascii", "tw status\r\n", "tw status\r\n"},
    {"two, three and four byte characters", "\xC3\xA9 \xE2\x82\xAC \xF0\x9D\x84\x9E",
     "\xC3\xA9 \xE2\x82\xAC \xF0\x9D\x84\x9E"},
    {"edges of the valid ranges", "\xC2\x80 \xDF\xBF \xE0\xA0\x80 \xED\x9F\xBF \xEE\x80\x80",
     "\xC2\x80 \xDF\xBF \xE0\xA0\x80 \xED\x9F\xBF \xEE\x80\x80"},
    {"largest code point", "\xF4\x8F\xBF\xBF", "\xF4\x8F\xBF\xBF"},
    {"NUL is dropped alone", std::string("a\0b\0\0c", 6), "abc"},
    {"NUL inside a sequence", std::string("\xE2\x82\0x", 4), R + "x"},
    {"stray continuation bytes",
     "a\x80\xBF"
     "b",
     "a" + R + R + "b"},
    {"C0 and C1 are always overlong", "\xC0\xAF\xC1\xBF", R + R + R + R},
    {"overlong three bytes", "\xE0\x80\xAF", R + R + R},
    {"overlong four bytes", "\xF0\x80\x80\xAF", R + R + R + R},
    {"surrogate", "\xED\xA0\x80", R + R + R},
    {"above U+10FFFF", "\xF4\x90\x80\x80", R + R + R + R},
    {"bytes above F4", "\xF5\x80 \xFE\xFF", R + R + " " + R + R},
    {"sequence cut short by ASCII is one replacement",
     "\xE2\x82"
     "A\xF0\x9D\x84"
     "B",
     R + "A" + R + "B"},
    {"sequence cut short by another lead byte", "\xE2\xE2\x82\xAC", R + "\xE2\x82\xAC"},
    {"incomplete sequence at the very end", "ok\xF0\x9D\x84", "ok" + R},
};

class Utf8DecoderTest : public testing::TestWithParam<DecodeCase> {};

TEST_P(Utf8DecoderTest, DecodesTheSameWhateverTheReadBoundaries) {
  const DecodeCase& c = GetParam();
  EXPECT_EQ(DecodeWhole(c.bytes), c.text);

  // Any split into two reads, and one byte per read, gives the same text.
  for (size_t cut = 0; cut <= c.bytes.size(); ++cut) {
    TUtf8Decoder decoder;
    std::string text;
    decoder.Decode(c.bytes.substr(0, cut), text);
    decoder.Decode(c.bytes.substr(cut), text);
    decoder.Finish(text);
    EXPECT_EQ(text, c.text) << "split at " << cut;
  }
  TUtf8Decoder decoder;
  std::string text;
  for (char b : c.bytes) decoder.Decode(std::string(1, b), text);
  decoder.Finish(text);
  EXPECT_EQ(text, c.text) << "one byte per read";
}

INSTANTIATE_TEST_SUITE_P(Cases, Utf8DecoderTest, testing::ValuesIn(kCases),
                         [](const testing::TestParamInfo<DecodeCase>& AInfo) {
                           std::string name;
                           for (const char* p = AInfo.param.name; *p; ++p) {
                             if (std::isalnum(static_cast<unsigned char>(*p))) name += *p;
                           }
                           return name;
                         });

TEST(Utf8Decoder, HoldsAnIncompleteCharacterBackUntilItsLastByte) {
  TUtf8Decoder decoder;
  std::string text = "[";
  decoder.Decode("\xF0\x9D", text);
  EXPECT_EQ(text, "[");
  EXPECT_TRUE(decoder.HasPending());
  decoder.Decode("\x84", text);
  EXPECT_EQ(text, "[");
  decoder.Decode("\x9E]", text);
  EXPECT_EQ(text, "[\xF0\x9D\x84\x9E]");
  EXPECT_FALSE(decoder.HasPending());
}

TEST(Utf8Decoder, StartsCleanAfterFinish) {
  TUtf8Decoder decoder;
  std::string text;
  decoder.Decode("\xE0", text);  // would narrow the next byte's range to A0..BF
  decoder.Finish(text);
  decoder.Decode("\xE2\x82\xAC", text);
  decoder.Finish(text);
  EXPECT_EQ(text, R + "\xE2\x82\xAC");
}

}  // namespace
}  // namespace twdesktop
