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
  bytes.resize(text.size() / 4 * 3 + 3);
  char* out = bytes.data();
  unsigned group = 0;
  int count = 0;
  std::size_t at = 0;
  for (; at < text.size() && text[at] != '='; ++at) {
    const signed char value = kTable[static_cast<unsigned char>(text[at])];
    if (value == kSkip) continue;
    if (value == kBad) return false;
    group = group << 6 | static_cast<unsigned>(value);
    if (++count == 4) {
      *out++ = static_cast<char>(group >> 16);
      *out++ = static_cast<char>(group >> 8);
      *out++ = static_cast<char>(group);
      group = 0;
      count = 0;
    }
  }
  for (; at < text.size(); ++at) {
    if (text[at] != '=' && kTable[static_cast<unsigned char>(text[at])] != kSkip) return false;
  }
  switch (count) {
    case 0: break;
    case 2: *out++ = static_cast<char>(group >> 4); break;
    case 3:
      *out++ = static_cast<char>(group >> 10);
      *out++ = static_cast<char>(group >> 2);
      break;
    default: return false;
  }
  bytes.resize(static_cast<std::size_t>(out - bytes.data()));
  return true;
}

}  // namespace capture
