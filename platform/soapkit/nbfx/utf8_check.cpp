// UTF-8 well-formedness (utf8_check.h).
#include "utf8_check.h"

#include "byte_masks.h"

#include <cstring>

namespace soapkit::nbfx {

// Length of the well-formed UTF-8 sequence starting with the non-ASCII byte at `p`, or 0 with
// `why` set.
size_t Utf8Sequence(const uint8_t* p, const uint8_t* end, const char*& why) {
  const uint8_t c = *p;
  size_t len;
  uint32_t cp, min;
  if ((c & 0xE0) == 0xC0) {
    len = 2, cp = c & 0x1F, min = 0x80;
  } else if ((c & 0xF0) == 0xE0) {
    len = 3, cp = c & 0x0F, min = 0x800;
  } else if ((c & 0xF8) == 0xF0) {
    len = 4, cp = c & 0x07, min = 0x10000;
  } else {
    why = "invalid UTF-8";
    return 0;
  }
  if (static_cast<size_t>(end - p) < len) {
    why = "UTF-8 sequence cut short";
    return 0;
  }
  for (size_t i = 1; i < len; ++i) {
    if ((p[i] & 0xC0) != 0x80) {
      why = "invalid UTF-8";
      return 0;
    }
    cp = cp << 6 | (p[i] & 0x3F);
  }
  if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
    why = "invalid UTF-8";
    return 0;
  }
  return len;
}

namespace {

// Past the blocks from `p` on that hold only ASCII without U+0000: markup-heavy bodies are mostly
// ASCII, and a text body's check runs over every byte of it.
const uint8_t* SkipPlainAscii(const uint8_t* p, const uint8_t* end) {
#if NBFX_HAVE_SSE2
  for (; end - p >= 16 && NotPlainMask16(p) == 0; p += 16) {
  }
#else
  for (; end - p >= 8; p += 8) {
    uint64_t w;
    std::memcpy(&w, p, 8);
    const uint64_t high = 0x8080808080808080ull;
    if ((w & high) || ((w - 0x0101010101010101ull) & ~w & high)) break;
  }
#endif
  return p;
}

}  // namespace

const char* CheckUtf8(const uint8_t* p, size_t n) {
  const uint8_t* const end = p + n;
  while (p < end) {
    p = SkipPlainAscii(p, end);
    if (p == end) break;
    if (*p < 0x80) {
      if (*p == 0) return "text contains U+0000";
      ++p;
      continue;
    }
    const char* why = nullptr;
    const size_t len = Utf8Sequence(p, end, why);
    if (len == 0) return why;
    p += len;
  }
  return nullptr;
}

}  // namespace soapkit::nbfx
