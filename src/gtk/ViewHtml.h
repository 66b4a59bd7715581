#pragma once

#include <string>

namespace twdesktop {

// The workspace page compiled into the program (WORKSPACE_HTML, generated at build time from
// resources/workspace.html), as its UTF-8 text: nothing stripped or added. Empty text when the
// program was built without a page.
std::string LoadViewHtml();

}  // namespace twdesktop
