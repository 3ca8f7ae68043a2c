// Byte classes of the decoder and the UTF-8 check, sixteen bytes at a time where SSE2 is there.
#pragma once

#include <array>
#include <cstdint>

#if defined(__SSE2__) || defined(_M_X64)
#include <emmintrin.h>
#define NBFX_HAVE_SSE2 1
#else
#define NBFX_HAVE_SSE2 0
#endif

namespace soapkit::nbfx {

// Per byte: bit 0 may start an XML name, bit 1 may continue one. Bytes of non-ASCII
// characters pass and are then checked as UTF-8.
inline constexpr std::array<uint8_t, 256> kNameBytes = [] {
  std::array<uint8_t, 256> t{};
  for (int c = 0; c < 256; ++c) {
    const bool letter = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_' || c >= 0x80;
    const bool other = (c >= '0' && c <= '9') || c == '-' || c == '.';
    t[c] = static_cast<uint8_t>((letter ? 3 : 0) | (other ? 2 : 0));
  }
  return t;
}();

#if NBFX_HAVE_SSE2
// One bit per byte of the 16 at `p` that may continue an ASCII XML name.
inline unsigned NameMask16(const uint8_t* p) {
  const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
  // x in [lo, hi] as one signed compare: shift lo to -128 first.
  auto in = [](__m128i x, char lo, char hi) {
    const __m128i shifted = _mm_add_epi8(x, _mm_set1_epi8(static_cast<char>(0x80 - lo)));
    return _mm_cmplt_epi8(shifted, _mm_set1_epi8(static_cast<char>(0x80 + (hi - lo) + 1)));
  };
  __m128i ok = in(_mm_or_si128(v, _mm_set1_epi8(0x20)), 'a', 'z');
  ok = _mm_or_si128(ok, _mm_andnot_si128(_mm_cmpeq_epi8(v, _mm_set1_epi8('/')), in(v, '-', '9')));
  ok = _mm_or_si128(ok, _mm_cmpeq_epi8(v, _mm_set1_epi8('_')));
  return static_cast<unsigned>(_mm_movemask_epi8(ok));
}

// One bit per byte of the 16 at `p` that is U+0000 or part of a non-ASCII character.
inline unsigned NotPlainMask16(const uint8_t* p) {
  const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
  // Signed compare: 0x00 and every byte from 0x80 up in one step.
  return static_cast<unsigned>(_mm_movemask_epi8(_mm_cmplt_epi8(v, _mm_set1_epi8(1))));
}
#else
inline unsigned NameMask16(const uint8_t* p) {
  unsigned mask = 0;
  for (unsigned i = 0; i < 16; ++i) mask |= unsigned{p[i] < 0x80 && (kNameBytes[p[i]] & 2)} << i;
  return mask;
}

inline unsigned NotPlainMask16(const uint8_t* p) {
  unsigned mask = 0;
  for (unsigned i = 0; i < 16; ++i) mask |= unsigned{p[i] == 0 || p[i] >= 0x80} << i;
  return mask;
}
#endif

}  // namespace soapkit::nbfx
