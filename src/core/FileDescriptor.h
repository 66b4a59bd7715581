#pragma once

#include <unistd.h>

namespace twdesktop {

// Owns one POSIX file descriptor and closes it when it goes, on every path.
class TFileDescriptor {
 public:
  TFileDescriptor() = default;
  explicit TFileDescriptor(int AFd) : FFd(AFd) {}
  TFileDescriptor(const TFileDescriptor&) = delete;
  TFileDescriptor& operator=(const TFileDescriptor&) = delete;
  TFileDescriptor(TFileDescriptor&& AOther) noexcept : FFd(AOther.FFd) { AOther.FFd = -1; }
  TFileDescriptor& operator=(TFileDescriptor&& AOther) noexcept {
    if (this != &AOther) {
      Close();
      FFd = AOther.FFd;
      AOther.FFd = -1;
    }
    return *this;
  }
  ~TFileDescriptor() { Close(); }

  int Get() const { return FFd; }
  void Close() {
    if (FFd >= 0) ::close(FFd);
    FFd = -1;
  }

 private:
  int FFd = -1;
};

}  // namespace twdesktop
