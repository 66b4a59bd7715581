#pragma once

#include <string>
#include <string_view>

namespace twdesktop {

// Writes any text as a JSON string literal (with its quotes) that is also safe to place inside a
// script: quotes, backslashes and control characters (U+007F included) are escaped, U+2028 and
// U+2029 too (they end a line in older script engines), and "<" and ">" so that "</script>"
// cannot appear.
// Invalid UTF-8 becomes U+FFFD, so the literal is always valid.
std::string JsonStringLiteral(std::string_view AText);

// True when the text is exactly one valid JSON value (white space around it allowed). Used to
// decide whether a CLI document may be handed to the page as code.
bool IsSingleJsonValue(std::string_view AText);

// The JSON document as code when it is one valid JSON value; otherwise the same text as a
// string literal, so the page's loader reports the error instead of running it. In the code,
// "<", ">", U+2028 and U+2029 (which a valid document holds only inside strings) are written as
// escapes, which leaves the value unchanged.
std::string JsonDocumentArgument(std::string_view ADocument);

}  // namespace twdesktop
