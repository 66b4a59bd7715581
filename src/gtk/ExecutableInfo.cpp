#include "gtk/ExecutableInfo.h"

#include <unistd.h>

#include <vector>

namespace twdesktop {

std::string OwnExecutablePath() {
  // readlink does not say whether it truncated, so grow the buffer until the answer fits.
  std::vector<char> buffer(256);
  for (;;) {
    const ssize_t length = readlink("/proc/self/exe", buffer.data(), buffer.size());
    if (length < 0) return {};
    if (static_cast<std::size_t>(length) < buffer.size()) {
      return ExecutablePathFromLink(std::string(buffer.data(), static_cast<std::size_t>(length)));
    }
    buffer.resize(buffer.size() * 2);
  }
}

std::string ExecutablePathFromLink(std::string ALink) {
  constexpr std::string_view kDeleted = " (deleted)";
  if (ALink.ends_with(kDeleted)) ALink.resize(ALink.size() - kDeleted.size());
  return ALink;
}

std::string FileNameOf(std::string_view APath) {
  const auto slash = APath.rfind('/');
  return std::string(slash == std::string_view::npos ? APath : APath.substr(slash + 1));
}

std::string WithoutExtension(std::string_view AFileName) {
  const auto dot = AFileName.rfind('.');
  if (dot == std::string_view::npos || dot == 0) return std::string(AFileName);
  return std::string(AFileName.substr(0, dot));
}

std::string ApplicationTitle(std::string_view AFileName) {
  std::string title(AFileName.substr(0, AFileName.find('.')));
  for (std::size_t i = 1; i < title.size(); ++i) {
    if (title[i] >= 'A' && title[i] <= 'Z') title[i] = static_cast<char>(title[i] - 'A' + 'a');
  }
  return title;
}

}  // namespace twdesktop
