// Encoding detection, the NUL check and the windows-1252 conversion of text bodies.
#include "body_text.h"

#include "utf8_check.h"

#include "win32/strings.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <string_view>

namespace soapkit {
namespace {

// An XML declaration is short; one that does not end within this many bytes names no encoding.
constexpr std::size_t kDeclarationLimit = 1024;
// windows-1252 converts through UTF-16 in pieces of this many bytes, so that no UTF-16 copy of a
// large body is ever made.
constexpr std::size_t kConversionChunk = 64 * 1024;

// The WHATWG encoding standard's labels of windows-1252 (lower case).
constexpr std::array<std::string_view, 17> kWindows1252Labels = {
    "ansi_x3.4-1968", "ascii",      "cp1252",     "cp819",      "csisolatin1",     "ibm819",
    "iso-8859-1",     "iso-ir-100", "iso8859-1",  "iso88591",   "iso_8859-1",      "iso_8859-1:1987",
    "l1",             "latin1",     "us-ascii",   "windows-1252", "x-cp1252"};

bool IsXmlSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

bool EqualsNoCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return (x >= 'A' && x <= 'Z' ? x + ('a' - 'A') : x) == y;
         });
}

// The value of the encoding pseudo-attribute of a leading XML declaration; empty when none.
std::string_view DeclaredEncoding(const unsigned char* data, std::size_t size) {
  std::string_view text(reinterpret_cast<const char*>(data), std::min(size, kDeclarationLimit));
  if (text.size() < 6 || text.substr(0, 5) != "<?xml" || !IsXmlSpace(text[5])) return {};
  text = text.substr(0, text.find("?>"));
  std::size_t at = text.find("encoding");
  if (at == std::string_view::npos) return {};
  at += 8;
  while (at < text.size() && IsXmlSpace(text[at])) ++at;
  if (at >= text.size() || text[at] != '=') return {};
  ++at;
  while (at < text.size() && IsXmlSpace(text[at])) ++at;
  if (at >= text.size() || (text[at] != '"' && text[at] != '\'')) return {};
  const std::size_t close = text.find(text[at], at + 1);
  if (close == std::string_view::npos) return {};
  return text.substr(at + 1, close - at - 1);
}

bool StartsWith(const unsigned char* data, std::size_t size, std::initializer_list<unsigned char> prefix) {
  return size >= prefix.size() && std::equal(prefix.begin(), prefix.end(), data);
}

// The code units of a body, whatever their width and byte order.
class Units {
 public:
  Units(const unsigned char* data, std::size_t size, BodyEncoding encoding)
      : data_(data), width_(UnitSize(encoding)), count_(size / width_),
        bigEndian_(encoding == BodyEncoding::kUtf16Be || encoding == BodyEncoding::kUtf32Be) {}

  std::size_t count() const { return count_; }
  std::uint32_t operator[](std::size_t i) const {
    const unsigned char* p = data_ + i * width_;
    std::uint32_t unit = 0;
    for (std::size_t k = 0; k < width_; ++k) unit |= std::uint32_t(p[bigEndian_ ? width_ - 1 - k : k]) << (8 * k);
    return unit;
  }

 private:
  const unsigned char* data_;
  std::size_t width_;
  std::size_t count_;
  bool bigEndian_;
};

// Whether the units from `i` on (just after a '&') spell "#0;", "#x0;" or more zeros: pugixml
// would write a NUL there and silently cut the text short.
bool NamesNul(const Units& units, std::size_t i) {
  const std::size_t n = units.count();
  if (i >= n || units[i] != '#') return false;
  ++i;
  if (i < n && (units[i] == 'x' || units[i] == 'X')) ++i;
  std::size_t zeros = 0;
  for (; i < n && units[i] == '0'; ++i) ++zeros;
  return zeros > 0 && i < n && units[i] == ';';
}

}  // namespace

BodyEncoding DetectEncoding(const unsigned char* data, std::size_t size) {
  if (StartsWith(data, size, {0xEF, 0xBB, 0xBF})) return BodyEncoding::kUtf8;
  if (StartsWith(data, size, {0x00, 0x00, 0xFE, 0xFF})) return BodyEncoding::kUtf32Be;
  if (StartsWith(data, size, {0xFF, 0xFE, 0x00, 0x00})) return BodyEncoding::kUtf32Le;
  if (StartsWith(data, size, {0xFE, 0xFF})) return BodyEncoding::kUtf16Be;
  if (StartsWith(data, size, {0xFF, 0xFE})) return BodyEncoding::kUtf16Le;
  if (StartsWith(data, size, {0x00, 0x00, 0x00, '<'})) return BodyEncoding::kUtf32Be;
  if (StartsWith(data, size, {'<', 0x00, 0x00, 0x00})) return BodyEncoding::kUtf32Le;
  if (StartsWith(data, size, {0x00, '<'})) return BodyEncoding::kUtf16Be;
  if (StartsWith(data, size, {'<', 0x00})) return BodyEncoding::kUtf16Le;
  const std::string_view declared = DeclaredEncoding(data, size);
  for (std::string_view label : kWindows1252Labels) {
    if (EqualsNoCase(declared, label)) return BodyEncoding::kWindows1252;
  }
  return BodyEncoding::kUtf8;
}

std::size_t UnitSize(BodyEncoding encoding) {
  switch (encoding) {
    case BodyEncoding::kUtf16Le:
    case BodyEncoding::kUtf16Be: return 2;
    case BodyEncoding::kUtf32Le:
    case BodyEncoding::kUtf32Be: return 4;
    default: return 1;
  }
}

bool HasBadCharacter(const unsigned char* data, std::size_t size, BodyEncoding encoding) {
  const Units units(data, size, encoding);
  if (UnitSize(encoding) == 1) {
    // Bodies are mostly UTF-8 and large ones should cost little more than pugixml's own pass.
    if (encoding == BodyEncoding::kUtf8 ? nbfx::CheckUtf8(data, size) != nullptr
                                        : std::memchr(data, 0, size) != nullptr) {
      return true;
    }
    const unsigned char* end = data + size;
    for (auto* p = static_cast<const unsigned char*>(std::memchr(data, '&', size)); p != nullptr;
         p = static_cast<const unsigned char*>(std::memchr(p + 1, '&', static_cast<std::size_t>(end - p - 1)))) {
      if (NamesNul(units, static_cast<std::size_t>(p - data) + 1)) return true;
    }
    return false;
  }
  const bool utf16 = UnitSize(encoding) == 2;
  for (std::size_t i = 0; i < units.count(); ++i) {
    const std::uint32_t unit = units[i];
    if (unit == 0 || (unit == '&' && NamesNul(units, i + 1))) return true;
    if (!utf16) {
      if (unit > 0x10FFFF || (unit >= 0xD800 && unit <= 0xDFFF)) return true;
    } else if (unit >= 0xD800 && unit <= 0xDBFF) {
      // A high surrogate needs a low one right after it.
      if (i + 1 >= units.count() || units[i + 1] < 0xDC00 || units[i + 1] > 0xDFFF) return true;
      ++i;
    } else if (unit >= 0xDC00 && unit <= 0xDFFF) {
      return true;
    }
  }
  return false;
}

bool EndsNearALessThan(const unsigned char* data, std::size_t size, BodyEncoding encoding) {
  const Units units(data, size, encoding);
  const std::size_t n = units.count();
  if (n == 0) return false;
  if (units[n - 1] == '<') return true;
  // Back over the last character: its UTF-8 continuation bytes, or the low half of a surrogate pair.
  std::size_t last = n - 1;
  if (encoding == BodyEncoding::kUtf8) {
    while (last > 0 && (units[last] & 0xC0) == 0x80) --last;
  } else if (UnitSize(encoding) == 2 && last > 0 && units[last] >= 0xDC00 && units[last] <= 0xDFFF) {
    --last;
  }
  return last > 0 && units[last - 1] == '<';
}

void Windows1252ToUtf8(const unsigned char* data, std::size_t size, std::string& out) {
  const auto* text = reinterpret_cast<const char*>(data);
  // Every byte from 0x80 up takes two or three bytes in UTF-8: reserve once, near the final size.
  const std::size_t high = static_cast<std::size_t>(
      std::count_if(data, data + size, [](unsigned char byte) { return byte >= 0x80; }));
  out.clear();
  out.reserve(size + 2 * high);
  for (std::size_t at = 0; at < size; at += kConversionChunk) {
    const std::string_view chunk(text + at, std::min(kConversionChunk, size - at));
    out += win32::Narrow(win32::Widen(chunk, 1252), CP_UTF8);
  }
}

}  // namespace soapkit
