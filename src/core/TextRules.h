#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace twdesktop {

// The lines of a CLI output: cut at every CR and every LF, empty pieces dropped. A line of
// blanks is still a line; nothing else is removed.
std::vector<std::string> OutputLines(std::string_view AOutput);

// The last line that, after leading characters up to U+0020, begins with "Summary:" (exact
// case), trimmed of such characters at both ends; ADefault when no line matches.
std::string SummaryLine(std::string_view AOutput, std::string_view ADefault);

// The text from the first "{" to the last "}", both included; empty when there is no "{" or no
// "}" after it. Whether the result is valid JSON is not looked at.
std::string ExtractJson(std::string_view AText);

// Lower-cases the ASCII letters A to Z only.
std::string AsciiLower(std::string_view AText);

// Same length and the same bytes, with ASCII a-z equal to A-Z; nothing else folded or trimmed.
bool SameTextIgnoringAsciiCase(std::string_view A, std::string_view B);

// Removes characters with codes up to U+0020 at the start / at both ends.
std::string_view TrimLeadingControls(std::string_view AText);
std::string_view TrimControls(std::string_view AText);

// The clone's progress line: the last output line whose text after leading characters up to
// U+0020 begins with "[", trimmed at both ends; nothing when no line does. Scans backwards from
// the end of the text, so calling it after every read stays cheap on a long output.
std::optional<std::string> LastProgressLine(std::string_view AOutput);

// The text with every ill-formed UTF-8 sequence replaced by U+FFFD (one per maximal ill-formed
// subpart), so that it can be handed to anything that expects valid UTF-8. Valid text comes back
// unchanged; overlong forms, surrogates and code points above U+10FFFF count as ill-formed.
std::string ValidUtf8(std::string_view AText);

}  // namespace twdesktop
