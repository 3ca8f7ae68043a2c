// MultiByteToWideChar / WideCharToMultiByte for Windows-1252 (CP_ACP) and UTF-8.
#include "win32/kernel.h"

#include <array>
#include <string>

namespace {

// 0x80..0x9F of Windows-1252; the five bytes the code page leaves undefined map to the C1 control
// of the same value, as Windows does, so every byte round-trips.
constexpr std::array<char16_t, 32> kHighBlock = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

char16_t Cp1252ToUnicode(unsigned char byte) {
  if (byte >= 0x80 && byte <= 0x9F) return kHighBlock[byte - 0x80];
  return byte;
}

// -1 when the code page has no byte for the character.
int UnicodeToCp1252(char16_t ch) {
  if (ch < 0x80 || (ch >= 0xA0 && ch <= 0xFF)) return ch;
  for (std::size_t i = 0; i < kHighBlock.size(); ++i) {
    if (kHighBlock[i] == ch) return static_cast<int>(0x80 + i);
  }
  return -1;
}

bool IsCp1252(UINT codePage) { return codePage == CP_ACP || codePage == CP_THREAD_ACP || codePage == 1252; }

// Appends one UTF-8 sequence's code point; invalid or truncated input yields U+FFFD and consumes one
// byte, as Windows does without MB_ERR_INVALID_CHARS. Returns false for invalid input.
bool DecodeUtf8(const unsigned char* s, std::size_t n, std::size_t& i, char32_t& cp) {
  const unsigned char b = s[i];
  int extra = 0;
  char32_t min = 0;
  if (b < 0x80) {
    cp = b;
    ++i;
    return true;
  } else if (b >= 0xC2 && b <= 0xDF) {
    extra = 1, min = 0x80, cp = b & 0x1F;
  } else if (b >= 0xE0 && b <= 0xEF) {
    extra = 2, min = 0x800, cp = b & 0x0F;
  } else if (b >= 0xF0 && b <= 0xF4) {
    extra = 3, min = 0x10000, cp = b & 0x07;
  } else {
    cp = 0xFFFD;
    ++i;
    return false;
  }
  for (int k = 1; k <= extra; ++k) {
    if (i + k >= n || (s[i + k] & 0xC0) != 0x80) {
      cp = 0xFFFD;
      ++i;
      return false;
    }
    cp = (cp << 6) | (s[i + k] & 0x3F);
  }
  if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
    cp = 0xFFFD;
    ++i;
    return false;
  }
  i += extra + 1;
  return true;
}

// Writes the converted units into `dst` (when dstLen > 0) and returns the count, or 0 with the
// Windows error codes.
template <class Unit>
int Deliver(const std::basic_string<Unit>& out, Unit* dst, int dstLen) {
  if (out.size() > static_cast<std::size_t>(INT32_MAX)) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return 0;
  }
  const int needed = static_cast<int>(out.size());
  if (dstLen == 0) return needed;
  const int copied = needed < dstLen ? needed : dstLen;
  std::copy(out.begin(), out.begin() + copied, dst);
  if (needed > dstLen) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return 0;
  }
  return needed;
}

}  // namespace

extern "C" UINT WINAPI GetACP() { return 1252; }

extern "C" int WINAPI MultiByteToWideChar(UINT codePage, DWORD flags, LPCCH src, int srcLen, LPWSTR dst,
                                          int dstLen) {
  if (src == nullptr || srcLen == 0 || dstLen < 0 || (dst == nullptr && dstLen != 0) ||
      (dst != nullptr && static_cast<const void*>(dst) == static_cast<const void*>(src))) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  if (!IsCp1252(codePage) && codePage != CP_UTF8) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  if ((flags & ~(MB_PRECOMPOSED | MB_ERR_INVALID_CHARS | 0x2u | 0x4u)) != 0 ||
      (codePage == CP_UTF8 && (flags & ~MB_ERR_INVALID_CHARS) != 0)) {
    SetLastError(ERROR_INVALID_FLAGS);
    return 0;
  }
  const std::size_t n = srcLen < 0 ? std::strlen(src) + 1 : static_cast<std::size_t>(srcLen);
  const auto* s = reinterpret_cast<const unsigned char*>(src);
  std::u16string out;
  out.reserve(n);
  if (codePage == CP_UTF8) {
    for (std::size_t i = 0; i < n;) {
      char32_t cp = 0;
      if (!DecodeUtf8(s, n, i, cp) && (flags & MB_ERR_INVALID_CHARS)) {
        SetLastError(ERROR_NO_UNICODE_TRANSLATION);
        return 0;
      }
      if (cp >= 0x10000) {
        cp -= 0x10000;
        out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
        out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
      } else {
        out.push_back(static_cast<char16_t>(cp));
      }
    }
  } else {
    for (std::size_t i = 0; i < n; ++i) out.push_back(Cp1252ToUnicode(s[i]));
  }
  return Deliver(out, dst, dstLen);
}

extern "C" int WINAPI WideCharToMultiByte(UINT codePage, DWORD flags, LPCWCH src, int srcLen, LPSTR dst,
                                          int dstLen, LPCCH defaultChar, LPBOOL usedDefaultChar) {
  if (src == nullptr || srcLen == 0 || dstLen < 0 || (dst == nullptr && dstLen != 0)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  if (!IsCp1252(codePage) && codePage != CP_UTF8) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  if (codePage == CP_UTF8 && (defaultChar != nullptr || usedDefaultChar != nullptr)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  std::size_t n = 0;
  if (srcLen < 0) {
    while (src[n] != 0) ++n;
    ++n;
  } else {
    n = static_cast<std::size_t>(srcLen);
  }
  std::string out;
  out.reserve(n);
  if (codePage == CP_UTF8) {
    for (std::size_t i = 0; i < n; ++i) {
      char32_t cp = src[i];
      if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < n && src[i + 1] >= 0xDC00 && src[i + 1] <= 0xDFFF) {
        cp = 0x10000 + ((cp - 0xD800) << 10) + (src[i + 1] - 0xDC00);
        ++i;
      } else if (cp >= 0xD800 && cp <= 0xDFFF) {
        cp = 0xFFFD;  // a lone surrogate
      }
      if (cp < 0x80) {
        out.push_back(static_cast<char>(cp));
      } else if (cp < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
      } else if (cp < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
      } else {
        out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
      }
    }
  } else {
    const char fallback = defaultChar != nullptr ? *defaultChar : '?';
    BOOL used = FALSE;
    for (std::size_t i = 0; i < n; ++i) {
      const int byte = UnicodeToCp1252(src[i]);
      if (byte < 0) {
        used = TRUE;
        out.push_back(fallback);  // each half of a surrogate pair counts, as on Windows: "??"
      } else {
        out.push_back(static_cast<char>(byte));
      }
    }
    if (usedDefaultChar != nullptr) *usedDefaultChar = used;
  }
  (void)flags;
  return Deliver(out, dst, dstLen);
}
