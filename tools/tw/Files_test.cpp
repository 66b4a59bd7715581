#include "Files.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include "TestPortal.h"

namespace tw::test {
namespace {

TEST(ValidUtf8, KeepsCharactersAndReplacesEveryStrayByte) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"plain", "plain"},
      {"caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x98\x80", "caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x98\x80"},
      {"caf\xE9!", "caf\xEF\xBF\xBD!"},                                          // Latin-1
      {"\xE2\x82", "\xEF\xBF\xBD\xEF\xBF\xBD"},                                  // cut sequence
      {"\xC0\xAF", "\xEF\xBF\xBD\xEF\xBF\xBD"},                                  // overlong "/"
      {"\xED\xA0\x80", "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD"},                  // surrogate
      {"\xF4\x90\x80\x80", "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD"},  // past U+10FFFF
      {std::string("a\0b", 3), std::string("a\0b", 3)},
  };
  for (const auto& [in, out] : cases) EXPECT_EQ(ValidUtf8(in), out) << in;
}

TEST(WriteFileAtomically, GivesTheModeFromTheStartWhateverTheUmask) {
  TTempFolder dir;
  const mode_t old = ::umask(0);
  const std::string path = dir / "secret";
  EXPECT_TRUE(WriteFileAtomically(path, "one", 0600));
  EXPECT_TRUE(WriteFileAtomically(path, "two", 0600));
  ::umask(old);
  struct stat info {};
  ASSERT_EQ(::stat(path.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0600u);
  EXPECT_EQ(ReadFile(path), "two");
  EXPECT_FALSE(WriteFileAtomically(dir / "no/such/folder/file", "x", 0600));
}

}  // namespace
}  // namespace tw::test
