#include "gtk/ViewHtml.h"

#include <cstddef>

namespace twdesktop::resources {
// Defined in the generated WorkspaceHtml.cpp; null when the page file was absent at build time.
extern const unsigned char* const WORKSPACE_HTML;
extern const std::size_t WORKSPACE_HTML_SIZE;
}  // namespace twdesktop::resources

namespace twdesktop {

std::string LoadViewHtml() {
  if (resources::WORKSPACE_HTML == nullptr) return {};
  return std::string(reinterpret_cast<const char*>(resources::WORKSPACE_HTML),
                     resources::WORKSPACE_HTML_SIZE);
}

}  // namespace twdesktop
