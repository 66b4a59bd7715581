// fake-tw: a scripted stand-in for the companion CLI. It answers each command line from a JSON
// scenario and logs every command line it receives; README.md beside this file has the formats.
//
// Everything is written with write(2) and nothing is buffered, so each piece reaches the reader
// the moment the scenario says, and stdout and stderr keep their relative order in a shared pipe.

#include <fcntl.h>
#include <poll.h>
#include <rapidjson/document.h>
#include <rapidjson/stringbuffer.h>
#include <rapidjson/writer.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

namespace {

// Writes all of AText, riding out partial writes and signals. A reader that has gone away
// ends the run through SIGPIPE, which is what a real CLI would see too.
void WriteAll(int AFd, std::string_view AText) {
  while (!AText.empty()) {
    const ssize_t n = ::write(AFd, AText.data(), AText.size());
    if (n < 0) {
      if (errno == EINTR) continue;
      return;
    }
    AText.remove_prefix(static_cast<size_t>(n));
  }
}

void SleepMs(int64_t AMs) {
  if (AMs <= 0) return;
  timespec left{static_cast<time_t>(AMs / 1000), static_cast<long>((AMs % 1000) * 1000000)};
  while (::nanosleep(&left, &left) != 0 && errno == EINTR) {
  }
}

std::string CurrentFolder() {
  std::vector<char> buf(4096);
  while (::getcwd(buf.data(), buf.size()) == nullptr) {
    if (errno != ERANGE) return {};
    buf.resize(buf.size() * 2);
  }
  return buf.data();
}

// One JSON line per run, appended in a single write so that runs started side by side never
// interleave inside a line.
void AppendLog(const char* APath, const std::vector<std::string>& AArgs) {
  rapidjson::StringBuffer out;
  rapidjson::Writer<rapidjson::StringBuffer> w(out);
  w.StartObject();
  w.Key("args");
  w.StartArray();
  for (const auto& a : AArgs) w.String(a.data(), static_cast<rapidjson::SizeType>(a.size()));
  w.EndArray();
  const std::string cwd = CurrentFolder();
  w.Key("cwd");
  w.String(cwd.data(), static_cast<rapidjson::SizeType>(cwd.size()));
  w.Key("pid");
  w.Int64(::getpid());
  w.EndObject();
  std::string line(out.GetString(), out.GetSize());
  line += '\n';

  const int fd = ::open(APath, O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
  if (fd < 0) return;
  ssize_t n;
  do {
    n = ::write(fd, line.data(), line.size());
  } while (n < 0 && errno == EINTR);
  ::close(fd);
}

std::optional<std::string> ReadFile(const char* APath) {
  std::ifstream in(APath, std::ios::binary);
  if (!in) return std::nullopt;
  std::ostringstream text;
  text << in.rdbuf();
  if (in.bad()) return std::nullopt;
  return text.str();
}

std::string Member(const rapidjson::Value& AObj, const char* AName) {
  const auto it = AObj.FindMember(AName);
  if (it == AObj.MemberEnd() || !it->value.IsString()) return {};
  return {it->value.GetString(), it->value.GetStringLength()};
}

bool HasString(const rapidjson::Value& AObj, const char* AName) {
  const auto it = AObj.FindMember(AName);
  return it != AObj.MemberEnd() && it->value.IsString();
}

int64_t IntMember(const rapidjson::Value& AObj, const char* AName, int64_t ADefault) {
  const auto it = AObj.FindMember(AName);
  if (it == AObj.MemberEnd() || !it->value.IsNumber()) return ADefault;
  return it->value.IsInt64() ? it->value.GetInt64() : static_cast<int64_t>(it->value.GetDouble());
}

bool BoolMember(const rapidjson::Value& AObj, const char* AName) {
  const auto it = AObj.FindMember(AName);
  return it != AObj.MemberEnd() && it->value.IsBool() && it->value.GetBool();
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// "e282ac" -> the three raw bytes; blanks between byte pairs are allowed for readability.
std::string FromHex(std::string_view AHex) {
  std::string bytes;
  int high = -1;
  for (char c : AHex) {
    const int d = HexDigit(c);
    if (d < 0) continue;
    if (high < 0) {
      high = d;
    } else {
      bytes += static_cast<char>(high * 16 + d);
      high = -1;
    }
  }
  return bytes;
}

bool Matches(const rapidjson::Value& ARule, const std::string& ALine) {
  if (!ARule.IsObject()) return false;
  const bool hasArgs = HasString(ARule, "args");
  const bool hasPrefix = HasString(ARule, "prefix");
  if (hasArgs && Member(ARule, "args") == ALine) return true;
  if (hasPrefix && ALine.starts_with(Member(ARule, "prefix"))) return true;
  return !hasArgs && !hasPrefix;
}

// Lets a test see what the child got as its standard input without ever blocking on it:
// the state (eof, data, waiting, closed) and what fd 0 refers to.
void ReportStdin() {
  std::string state;
  pollfd p{0, POLLIN, 0};
  if (::fcntl(0, F_GETFD) < 0) {
    state = "closed";
  } else if (::poll(&p, 1, 0) <= 0 || (p.revents & (POLLIN | POLLHUP)) == 0) {
    state = "waiting";
  } else {
    char c;
    ssize_t n;
    do {
      n = ::read(0, &c, 1);
    } while (n < 0 && errno == EINTR);
    state = n == 0 ? "eof" : n > 0 ? "data" : "error";
  }
  char target[4096];
  const ssize_t len = ::readlink("/proc/self/fd/0", target, sizeof target - 1);
  const std::string path = len > 0 ? std::string(target, static_cast<size_t>(len)) : "?";
  WriteAll(1, "stdin: " + state + " " + path + "\n");
}

// The child's blocked and ignored signal sets, as the kernel reports them.
void ReportSignals() {
  const auto status = ReadFile("/proc/self/status");
  if (!status) return;
  std::istringstream lines(*status);
  std::string line;
  while (std::getline(lines, line)) {
    if (line.starts_with("SigBlk:") || line.starts_with("SigIgn:")) WriteAll(1, line + "\n");
  }
}

// A grandchild that outlives this run and keeps every descriptor it inherited (apart from
// stdout and stderr), the way a background helper of a real CLI might.
void StartDetachedSleeper(int64_t AMs) {
  const pid_t pid = ::fork();
  if (pid != 0) return;
  const int devNull = ::open("/dev/null", O_WRONLY);
  if (devNull >= 0) {
    ::dup2(devNull, 1);
    ::dup2(devNull, 2);
    if (devNull > 2) ::close(devNull);
  }
  SleepMs(AMs);
  ::_exit(0);
}

int Answer(const rapidjson::Value& ARule, const std::vector<std::string>& AArgs) {
  const int64_t detachMs = IntMember(ARule, "detach_sleep_ms", 0);
  if (detachMs > 0) StartDetachedSleeper(detachMs);

  SleepMs(IntMember(ARule, "delay_ms", 0));
  if (HasString(ARule, "output")) WriteAll(1, Member(ARule, "output"));

  const auto chunks = ARule.FindMember("chunks");
  if (chunks != ARule.MemberEnd() && chunks->value.IsArray()) {
    for (const auto& chunk : chunks->value.GetArray()) {
      if (!chunk.IsObject()) continue;
      SleepMs(IntMember(chunk, "delay_ms", 0));
      const std::string piece =
          HasString(chunk, "hex") ? FromHex(Member(chunk, "hex")) : Member(chunk, "text");
      const int64_t repeat = IntMember(chunk, "repeat", 1);
      std::string text;
      if (repeat > 0) text.reserve(piece.size() * static_cast<size_t>(repeat));
      for (int64_t i = 0; i < repeat; ++i) text += piece;
      WriteAll(Member(chunk, "stream") == "stderr" ? 2 : 1, text);
    }
  }

  if (BoolMember(ARule, "stdin_report")) ReportStdin();
  if (BoolMember(ARule, "signal_report")) ReportSignals();

  if (BoolMember(ARule, "echo_args")) {
    for (const auto& a : AArgs) WriteAll(1, "<" + a + ">\n");
  }
  return static_cast<int>(IntMember(ARule, "exit", 0));
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + (argc > 0 ? 1 : 0), argv + argc);

  // getenv is safe here: the program has one thread.
  if (const char* log = std::getenv("FAKE_TW_LOG");  // NOLINT(concurrency-mt-unsafe)
      log != nullptr && *log != '\0') {
    AppendLog(log, args);
  }

  const char* scenarioPath = std::getenv("FAKE_TW_SCENARIO");  // NOLINT(concurrency-mt-unsafe)
  const auto scenarioText = scenarioPath ? ReadFile(scenarioPath) : std::nullopt;
  rapidjson::Document scenario;
  if (!scenarioText || scenario.Parse(scenarioText->data(), scenarioText->size()).HasParseError() ||
      !scenario.IsObject()) {
    WriteAll(1, "fake-tw: no scenario\n");
    return 3;
  }

  std::string line;
  for (size_t i = 0; i < args.size(); ++i) {
    if (i > 0) line += ' ';
    line += args[i];
  }

  const auto rules = scenario.FindMember("rules");
  if (rules != scenario.MemberEnd() && rules->value.IsArray()) {
    for (const auto& rule : rules->value.GetArray()) {
      if (Matches(rule, line)) return Answer(rule, args);
    }
  }
  const auto fallback = scenario.FindMember("default");
  if (fallback != scenario.MemberEnd() && fallback->value.IsObject()) {
    return Answer(fallback->value, args);
  }
  WriteAll(1, "fake-tw: no rule for: " + line + "\n");
  return 2;
}
