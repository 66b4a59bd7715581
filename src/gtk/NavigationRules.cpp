#include "gtk/NavigationRules.h"

namespace twdesktop {

namespace {

bool StartsWithIgnoringAsciiCase(std::string_view AText, std::string_view APrefix) {
  if (AText.size() < APrefix.size()) return false;
  for (std::size_t i = 0; i < APrefix.size(); ++i) {
    char c = AText[i];
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    if (c != APrefix[i]) return false;
  }
  return true;
}

}  // namespace

bool IsOwnPageUri(std::string_view AUri) {
  return AUri == "about:blank";
}

bool MayOpenInBrowser(std::string_view AUri) {
  for (std::string_view prefix : {"https://", "http://"}) {
    if (StartsWithIgnoringAsciiCase(AUri, prefix) && AUri.size() > prefix.size()) return true;
  }
  return false;
}

}  // namespace twdesktop
