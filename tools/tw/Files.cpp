#include "Files.h"

#include <fcntl.h>
#include <rapidjson/prettywriter.h>
#include <rapidjson/stringbuffer.h>
#include <rapidjson/writer.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace tw {

namespace fs = std::filesystem;

std::optional<std::string> ReadTextFile(const std::string& APath) {
  std::ifstream in(APath, std::ios::binary);
  if (!in) return std::nullopt;
  std::ostringstream text;
  text << in.rdbuf();
  if (in.bad()) return std::nullopt;
  return text.str();
}

bool WriteFileAtomically(const std::string& APath, const std::string& AText, unsigned AMode) {
  const std::string temp = APath + ".tmp." + std::to_string(::getpid());
  const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, AMode);
  if (fd < 0) return false;
  // The umask may have narrowed AMode; an existing temp file may have had other bits.
  bool ok = ::fchmod(fd, AMode) == 0;
  size_t done = 0;
  while (ok && done < AText.size()) {
    const ssize_t n = ::write(fd, AText.data() + done, AText.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0)
      ok = false;
    else
      done += static_cast<size_t>(n);
  }
  ok = ::fsync(fd) == 0 && ok;
  ok = ::close(fd) == 0 && ok;
  if (ok) ok = ::rename(temp.c_str(), APath.c_str()) == 0;
  if (!ok) ::unlink(temp.c_str());
  return ok;
}

bool MakeFolders(const std::string& APath, unsigned AMode) {
  std::error_code error;
  const fs::path path = fs::absolute(APath, error);
  if (error) return false;
  fs::path current;
  for (const fs::path& part : path) {
    current /= part;
    if (fs::is_directory(current, error)) continue;
    if (::mkdir(current.c_str(), AMode) != 0 && errno != EEXIST) return false;
  }
  return fs::is_directory(path, error);
}

std::optional<rapidjson::Document> ReadJsonFile(const std::string& APath) {
  const std::optional<std::string> text = ReadTextFile(APath);
  if (!text) return std::nullopt;
  rapidjson::Document document;
  document.Parse<rapidjson::kParseValidateEncodingFlag>(text->c_str(), text->size());
  if (document.HasParseError()) return std::nullopt;
  return document;
}

std::string ToJson(const rapidjson::Value& AValue, bool APretty) {
  rapidjson::StringBuffer buffer;
  if (APretty) {
    rapidjson::PrettyWriter<rapidjson::StringBuffer> writer(buffer);
    writer.SetIndent(' ', 2);
    AValue.Accept(writer);
  } else {
    rapidjson::Writer<rapidjson::StringBuffer> writer(buffer);
    AValue.Accept(writer);
  }
  return std::string(buffer.GetString(), buffer.GetSize());
}

std::string TextMember(const rapidjson::Value& AObject, const char* AName) {
  if (!AObject.IsObject()) return {};
  const auto member = AObject.FindMember(AName);
  if (member == AObject.MemberEnd() || !member->value.IsString()) return {};
  return std::string(member->value.GetString(), member->value.GetStringLength());
}

std::string ValidUtf8(const std::string& AText) {
  std::string result;
  result.reserve(AText.size());
  const auto* s = reinterpret_cast<const unsigned char*>(AText.data());
  const size_t size = AText.size();
  size_t i = 0;
  while (i < size) {
    const unsigned char c = s[i];
    size_t length = 0;
    unsigned lowest = 0;
    if (c < 0x80)
      length = 1;
    else if (c >= 0xC2 && c <= 0xDF)
      length = 2, lowest = 0x80;
    else if (c >= 0xE0 && c <= 0xEF)
      length = 3, lowest = 0x800;
    else if (c >= 0xF0 && c <= 0xF4)
      length = 4, lowest = 0x10000;
    bool ok = length > 0 && i + length <= size;
    unsigned code = length == 1 ? c : (c & (0x7F >> length));
    for (size_t k = 1; ok && k < length; ++k) {
      if ((s[i + k] & 0xC0) != 0x80) ok = false;
      code = (code << 6) | (s[i + k] & 0x3F);
    }
    // Overlong forms, UTF-16 surrogates and values past U+10FFFF are not characters.
    if (ok && length > 1 &&
        (code < lowest || (code >= 0xD800 && code <= 0xDFFF) || code > 0x10FFFF))
      ok = false;
    if (ok) {
      result.append(AText, i, length);
      i += length;
    } else {
      result += "\xEF\xBF\xBD";
      ++i;
    }
  }
  return result;
}

std::string AbsolutePath(const std::string& APath) {
  std::error_code error;
  fs::path path = fs::absolute(APath, error);
  if (error) return APath;
  std::string text = path.lexically_normal().string();
  if (text.size() > 1 && text.back() == '/') text.pop_back();
  return text;
}

}  // namespace tw
