#include "view/CliOutcome.h"

#include <gtest/gtest.h>

namespace twdesktop {
namespace {

TEST(LoginSucceededTest, FindsTheWordInAnyCaseButNotInsideUnsuccessful) {
  struct TCase {
    const char* Output;
    bool Expected;
  } Cases[] = {
      {"Login successful.\n", true},
      {"LOGIN SUCCESSFUL", true},
      {"sUcCeSsFuL", true},
      {"Signed in successfully as ada", true},
      {"successful", true},
      {"ok:successful", true},
      {"Login unsuccessful: token expired", false},
      {"UNSUCCESSFUL", false},
      {"unsuccessful, then successful on retry", true},
      {"success", false},
      {"", false},
  };
  for (const TCase& Case : Cases) {
    EXPECT_EQ(LoginSucceeded(Case.Output), Case.Expected) << Case.Output;
  }
}

TEST(AsksForSignInTest, LooksForLoginOrTokenInAnyAsciiCase) {
  struct TCase {
    const char* Output;
    bool Expected;
  } Cases[] = {
      {"please LOGIN first", true}, {"Token expired", true},
      {"no workspace here", false}, {"", false},
      {"t\xC3\xB6ken", false},
  };
  for (const TCase& Case : Cases) {
    EXPECT_EQ(AsksForSignIn(Case.Output), Case.Expected) << Case.Output;
  }
}

}  // namespace
}  // namespace twdesktop
