#pragma once

#include <string_view>

namespace twdesktop {

// How the frame reads a CLI output whose exit code it never sees.

// A sign-in succeeded when the output holds the word "successful" in any ASCII case, on its own
// or at the start of a longer word ("successfully"), but not as the end of one: "unsuccessful"
// is a failure.
bool LoginSucceeded(std::string_view AOutput);

// A status output without a document asks for sign-in when it mentions "login" or "token" in
// any ASCII case.
bool AsksForSignIn(std::string_view AOutput);

}  // namespace twdesktop
