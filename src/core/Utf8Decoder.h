#pragma once

#include <string>
#include <string_view>

namespace twdesktop {

// Turns a byte stream that arrives in pieces into valid UTF-8 text.
//
// A character whose bytes are split between two pieces is held back until its last byte
// arrives, so no read boundary ever damages the text. Bytes that cannot be part of well-formed
// UTF-8 (stray continuation bytes, overlong forms, surrogates, values above U+10FFFF) become
// U+FFFD, one for each maximal ill-formed part. A NUL byte is dropped on its own: the host's
// text has no use for it, and what follows it is kept.
class TUtf8Decoder {
 public:
  // Appends the decodable part of ABytes to AText; an incomplete trailing sequence waits.
  void Decode(std::string_view ABytes, std::string& AText);
  // End of the stream: a sequence still waiting becomes U+FFFD.
  void Finish(std::string& AText);

  bool HasPending() const { return FPendingLen > 0; }

 private:
  char FPending[4] = {};
  size_t FPendingLen = 0;
  // Bytes still needed to complete the pending sequence, and the range the next one must
  // fall in (narrower than 80..BF right after E0, ED, F0 and F4).
  int FNeed = 0;
  unsigned char FLow = 0x80;
  unsigned char FHigh = 0xBF;
};

}  // namespace twdesktop
