// Base64 (the standard alphabet, padded) of bytes, as session files carry bodies; for tests and
// benchmarks that write such files.
#pragma once

#include <algorithm>
#include <string>

namespace testing_support {

inline std::string Base64(const std::string& bytes) {
  static const char alphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string out;
  for (std::size_t i = 0; i < bytes.size(); i += 3) {
    const std::size_t n = std::min<std::size_t>(3, bytes.size() - i);
    unsigned group = 0;
    for (std::size_t k = 0; k < 3; ++k) group = group << 8 | (k < n ? static_cast<unsigned char>(bytes[i + k]) : 0u);
    out += alphabet[group >> 18 & 63];
    out += alphabet[group >> 12 & 63];
    out += n > 1 ? alphabet[group >> 6 & 63] : '=';
    out += n > 2 ? alphabet[group & 63] : '=';
  }
  return out;
}

}  // namespace testing_support
