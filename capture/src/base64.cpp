#include "base64.h"

#include <array>

namespace capture {
namespace {

constexpr signed char kSkip = -2, kBad = -1;

constexpr std::array<signed char, 256> MakeTable() {
  std::array<signed char, 256> table{};
  for (auto& value : table) value = kBad;
  const char alphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  for (int i = 0; i < 64; ++i) table[static_cast<unsigned char>(alphabet[i])] = static_cast<signed char>(i);
  for (char blank : {' ', '\t', '\r', '\n'}) table[static_cast<unsigned char>(blank)] = kSkip;
  return table;
}
constexpr std::array<signed char, 256> kTable = MakeTable();

}  // namespace

bool DecodeBase64(std::string_view text, std::string& bytes) {
  bytes.clear();
  bytes.reserve(text.size() / 4 * 3 + 3);
  unsigned group = 0;
  int count = 0;
  std::size_t at = 0;
  for (; at < text.size() && text[at] != '='; ++at) {
    const signed char value = kTable[static_cast<unsigned char>(text[at])];
    if (value == kSkip) continue;
    if (value == kBad) return false;
    group = group << 6 | static_cast<unsigned>(value);
    if (++count == 4) {
      bytes.push_back(static_cast<char>(group >> 16));
      bytes.push_back(static_cast<char>(group >> 8));
      bytes.push_back(static_cast<char>(group));
      group = 0;
      count = 0;
    }
  }
  for (; at < text.size(); ++at) {
    if (text[at] != '=' && kTable[static_cast<unsigned char>(text[at])] != kSkip) return false;
  }
  switch (count) {
    case 0: return true;
    case 2: bytes.push_back(static_cast<char>(group >> 4)); return true;
    case 3:
      bytes.push_back(static_cast<char>(group >> 10));
      bytes.push_back(static_cast<char>(group >> 2));
      return true;
    default: return false;
  }
}

}  // namespace capture
