#include "gtk/ViewHtml.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

namespace twdesktop {
namespace {

TEST(ViewHtmlTest, ThePageIsCompiledInByteForByte) {
  std::ifstream file(TWD_PAGE_FILE, std::ios::binary);
  if (!file) {
    // Built without a page: the program has none to show.
    EXPECT_EQ(LoadViewHtml(), "");
    return;
  }
  const std::string stored((std::istreambuf_iterator<char>(file)), {});
  const std::string page = LoadViewHtml();
  ASSERT_EQ(page.size(), stored.size());
  EXPECT_TRUE(page == stored) << "the embedded page differs from " TWD_PAGE_FILE;
  // Kept as stored: CRLF line ends, no byte-order mark added.
  EXPECT_NE(page.find("\r\n"), std::string::npos);
  EXPECT_NE(page.rfind("<!doctype html>", 0), std::string::npos);
}

}  // namespace
}  // namespace twdesktop
