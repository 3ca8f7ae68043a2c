// lstrcmpiA, Sleep and the per-thread last error.
#include "win32/kernel.h"

#include <array>
#include <chrono>
#include <cstdint>
#include <thread>

namespace {

thread_local DWORD t_lastError = ERROR_SUCCESS;

// Case folding of Windows-1252 letters: ASCII, Latin-1 (not the multiplication and division
// signs) and the caron/ligature pairs of the 0x80..0x9F block.
unsigned char FoldCase(unsigned char c) {
  if (c >= 'a' && c <= 'z') return static_cast<unsigned char>(c - 32);
  if (c >= 0xE0 && c <= 0xFE && c != 0xF7) return static_cast<unsigned char>(c - 32);
  switch (c) {
    case 0x9A: return 0x8A;  // s caron
    case 0x9C: return 0x8C;  // oe
    case 0x9E: return 0x8E;  // z caron
    case 0xFF: return 0x9F;  // y diaeresis
    default: return c;
  }
}

bool IsLetter(unsigned char c) {
  const unsigned char f = FoldCase(c);
  return (f >= 'A' && f <= 'Z') || (f >= 0xC0 && f <= 0xDE && f != 0xD7) || f == 0x8A || f == 0x8C ||
         f == 0x8E || f == 0x9F || c == 0xDF || c == 0x83;
}

// Word-sort weights: symbols before digits before letters; within a class, the folded byte. NUL
// weighs least, so a text sorts before the longer texts it begins. Tabled: the SOAP analysis
// compares every namespace declaration it meets.
const std::array<std::int16_t, 256> kWeights = [] {
  std::array<std::int16_t, 256> weights{};
  for (int i = 0; i < 256; ++i) {
    const auto byte = static_cast<unsigned char>(i);
    const unsigned char f = FoldCase(byte);
    weights[i] = static_cast<std::int16_t>(f >= '0' && f <= '9' ? 0x100 + f : IsLetter(byte) ? 0x200 + f : f);
  }
  return weights;
}();

bool IsDeferred(unsigned char c) { return c == '-' || c == '\''; }

// Compares by weights, skipping hyphens and apostrophes when `skipDeferred` is set.
int CompareWeights(const unsigned char* a, const unsigned char* b, bool skipDeferred) {
  for (;; ++a, ++b) {
    if (skipDeferred) {
      while (IsDeferred(*a)) ++a;
      while (IsDeferred(*b)) ++b;
    }
    const int wa = kWeights[*a];
    const int wb = kWeights[*b];
    if (wa != wb) return wa < wb ? -1 : 1;
    if (*a == 0) return 0;
  }
}

}  // namespace

extern "C" DWORD WINAPI GetLastError() { return t_lastError; }
extern "C" void WINAPI SetLastError(DWORD error) { t_lastError = error; }

extern "C" void WINAPI Sleep(DWORD milliseconds) {
  std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

extern "C" int WINAPI lstrcmpiA(LPCSTR a, LPCSTR b) {
  if (a == nullptr || b == nullptr) return a == b ? 0 : (a == nullptr ? -1 : 1);
  const auto* ua = reinterpret_cast<const unsigned char*>(a);
  const auto* ub = reinterpret_cast<const unsigned char*>(b);
  // Both passes see a prefix that is the same but for case as equal, and leave it at the same
  // place in both texts; they need only look from where the texts first differ.
  while (*ua != 0 && (*ua == *ub || kWeights[*ua] == kWeights[*ub])) ++ua, ++ub;
  if (*ua == 0 && *ub == 0) return 0;
  // Hyphen and apostrophe weigh only when everything else is equal ("co-op" sorts next to "coop"
  // but is not equal to it).
  const int primary = CompareWeights(ua, ub, true);
  return primary != 0 ? primary : CompareWeights(ua, ub, false);
}
