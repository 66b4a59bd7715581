#include "core/Utf8Decoder.h"

namespace twdesktop {

namespace {

constexpr std::string_view kReplacement = "\xEF\xBF\xBD";

}  // namespace

void TUtf8Decoder::Decode(std::string_view ABytes, std::string& AText) {
  AText.reserve(AText.size() + ABytes.size());
  size_t i = 0;
  while (i < ABytes.size()) {
    const auto b = static_cast<unsigned char>(ABytes[i]);
    if (FNeed > 0) {
      if (b < FLow || b > FHigh) {
        // The sequence broke off: it becomes one U+FFFD and this byte starts afresh.
        AText += kReplacement;
        FNeed = 0;
        FPendingLen = 0;
        FLow = 0x80;
        FHigh = 0xBF;
        continue;
      }
      FPending[FPendingLen++] = static_cast<char>(b);
      FLow = 0x80;
      FHigh = 0xBF;
      if (--FNeed == 0) {
        AText.append(FPending, FPendingLen);
        FPendingLen = 0;
      }
      ++i;
      continue;
    }

    if (b < 0x80) {
      // Plain ASCII runs are the common case: copy them in one go.
      size_t end = i;
      while (end < ABytes.size() && static_cast<unsigned char>(ABytes[end]) < 0x80 &&
             ABytes[end] != '\0') {
        ++end;
      }
      AText.append(ABytes.data() + i, end - i);
      if (end < ABytes.size() && ABytes[end] == '\0') ++end;
      i = end;
      continue;
    }

    if (b >= 0xC2 && b <= 0xDF) {
      FNeed = 1;
    } else if (b >= 0xE0 && b <= 0xEF) {
      FNeed = 2;
      if (b == 0xE0) FLow = 0xA0;   // below: overlong
      if (b == 0xED) FHigh = 0x9F;  // above: UTF-16 surrogates
    } else if (b >= 0xF0 && b <= 0xF4) {
      FNeed = 3;
      if (b == 0xF0) FLow = 0x90;   // below: overlong
      if (b == 0xF4) FHigh = 0x8F;  // above: beyond U+10FFFF
    } else {
      // 80..BF without a lead byte, C0 and C1 (always overlong), F5..FF.
      AText += kReplacement;
      ++i;
      continue;
    }
    FPending[0] = static_cast<char>(b);
    FPendingLen = 1;
    ++i;
  }
}

void TUtf8Decoder::Finish(std::string& AText) {
  if (FPendingLen > 0) AText += kReplacement;
  FPendingLen = 0;
  FNeed = 0;
  FLow = 0x80;
  FHigh = 0xBF;
}

}  // namespace twdesktop
