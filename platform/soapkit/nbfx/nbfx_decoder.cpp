#include "nbfx_decoder.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <limits>
#include <new>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "nbfx_internal.h"

namespace soapkit::nbfx {
namespace {

static_assert(std::numeric_limits<float>::is_iec559 && std::numeric_limits<double>::is_iec559,
              "FloatText and DoubleText are IEEE 754 bit patterns");

constexpr size_t kMaxDepth = 1024;
constexpr uint64_t kStringFactor = 16;
constexpr uint64_t kStringSlack = 64 * 1024;
constexpr uint64_t kNodeFactor = 3;
constexpr uint64_t kNodeSlack = 65536;

constexpr uint64_t kTicksPerSecond = 10'000'000;
constexpr uint64_t kTicksPerMinute = 60 * kTicksPerSecond;
constexpr uint64_t kTicksPerHour = 60 * kTicksPerMinute;
constexpr uint64_t kTicksPerDay = 24 * kTicksPerHour;
constexpr uint64_t kDateTimeTickLimit = 3155378976000000000ull;  // 10000-01-01T00:00:00
constexpr int64_t kUnixEpochTicks = 621355968000000000;

// Record types. Each text type T has a twin T+1 that also closes the element.
enum : uint8_t {
  kEndElement = 0x01,
  kComment = 0x02,
  kArray = 0x03,
  kShortAttribute = 0x04,
  kAttribute = 0x05,
  kShortDictionaryAttribute = 0x06,
  kDictionaryAttribute = 0x07,
  kShortXmlnsAttribute = 0x08,
  kXmlnsAttribute = 0x09,
  kShortDictionaryXmlnsAttribute = 0x0A,
  kDictionaryXmlnsAttribute = 0x0B,
  kPrefixDictionaryAttributeA = 0x0C,
  kPrefixAttributeA = 0x26,
  kLastAttribute = 0x3F,
  kShortElement = 0x40,
  kElement = 0x41,
  kShortDictionaryElement = 0x42,
  kDictionaryElement = 0x43,
  kPrefixDictionaryElementA = 0x44,
  kPrefixElementA = 0x5E,
  kLastElement = 0x77,
  kZeroText = 0x80,
  kOneText = 0x82,
  kFalseText = 0x84,
  kTrueText = 0x86,
  kInt8Text = 0x88,
  kInt16Text = 0x8A,
  kInt32Text = 0x8C,
  kInt64Text = 0x8E,
  kFloatText = 0x90,
  kDoubleText = 0x92,
  kDecimalText = 0x94,
  kDateTimeText = 0x96,
  kChars8Text = 0x98,
  kChars16Text = 0x9A,
  kChars32Text = 0x9C,
  kBytes8Text = 0x9E,
  kBytes16Text = 0xA0,
  kBytes32Text = 0xA2,
  kStartListText = 0xA4,
  kEndListText = 0xA6,
  kEmptyText = 0xA8,
  kDictionaryText = 0xAA,
  kUniqueIdText = 0xAC,
  kTimeSpanText = 0xAE,
  kUuidText = 0xB0,
  kUInt64Text = 0xB2,
  kBoolText = 0xB4,
  kUnicodeChars8Text = 0xB6,
  kUnicodeChars16Text = 0xB8,
  kUnicodeChars32Text = 0xBA,
  kQNameDictionaryText = 0xBC,
  kLastText = 0xBD,
};

constexpr char kLetters[] = "abcdefghijklmnopqrstuvwxyz";

bool IsElementType(uint8_t t) { return t >= kShortElement && t <= kLastElement; }
bool IsAttributeType(uint8_t t) { return t >= kShortAttribute && t <= kLastAttribute; }
// Text records that stand for a value; 0xA4..0xA7 are list brackets or reserved.
bool IsValueType(uint8_t t) {
  return t >= kZeroText && t <= kLastText && (t & 0xFC) != kStartListText;
}

// Fixed value size of the types an Array may hold; 0 for the rest.
size_t ArrayValueWidth(uint8_t t) {
  switch (t) {
    case kBoolText + 1: return 1;
    case kInt16Text + 1: return 2;
    case kInt32Text + 1:
    case kFloatText + 1: return 4;
    case kInt64Text + 1:
    case kDoubleText + 1:
    case kDateTimeText + 1:
    case kTimeSpanText + 1: return 8;
    case kDecimalText + 1:
    case kUuidText + 1: return 16;
    default: return 0;
  }
}

uint16_t Le16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }
uint32_t Le32(const uint8_t* p) {
  return uint32_t{p[0]} | uint32_t{p[1]} << 8 | uint32_t{p[2]} << 16 | uint32_t{p[3]} << 24;
}
uint64_t Le64(const uint8_t* p) { return Le32(p) | uint64_t{Le32(p + 4)} << 32; }

uint64_t Budget(size_t input, uint64_t factor, uint64_t slack) {
  const uint64_t cap = (std::numeric_limits<uint64_t>::max() - slack) / factor;
  return (input > cap ? cap : input) * factor + slack;
}

// ---- characters ------------------------------------------------------------------------

// nullptr when the bytes are well-formed UTF-8 without U+0000, else why not.
const char* CheckUtf8(const uint8_t* p, size_t n) {
  const uint8_t* const end = p + n;
  while (p < end) {
    // Markup-heavy bodies are mostly ASCII: skip it a word at a time.
    while (end - p >= 8) {
      uint64_t w;
      std::memcpy(&w, p, 8);
      const uint64_t high = 0x8080808080808080ull;
      if ((w & high) || ((w - 0x0101010101010101ull) & ~w & high)) break;
      p += 8;
    }
    if (p == end) break;
    const uint8_t c = *p;
    if (c < 0x80) {
      if (c == 0) return "text contains U+0000";
      ++p;
      continue;
    }
    size_t len;
    uint32_t cp, min;
    if ((c & 0xE0) == 0xC0) {
      len = 2, cp = c & 0x1F, min = 0x80;
    } else if ((c & 0xF0) == 0xE0) {
      len = 3, cp = c & 0x0F, min = 0x800;
    } else if ((c & 0xF8) == 0xF0) {
      len = 4, cp = c & 0x07, min = 0x10000;
    } else {
      return "invalid UTF-8";
    }
    if (static_cast<size_t>(end - p) < len) return "UTF-8 sequence cut short";
    for (size_t i = 1; i < len; ++i) {
      if ((p[i] & 0xC0) != 0x80) return "invalid UTF-8";
      cp = cp << 6 | (p[i] & 0x3F);
    }
    if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return "invalid UTF-8";
    p += len;
  }
  return nullptr;
}

void PutUtf8(char*& o, uint32_t cp) {
  if (cp < 0x80) {
    *o++ = static_cast<char>(cp);
  } else if (cp < 0x800) {
    *o++ = static_cast<char>(0xC0 | cp >> 6);
    *o++ = static_cast<char>(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    *o++ = static_cast<char>(0xE0 | cp >> 12);
    *o++ = static_cast<char>(0x80 | (cp >> 6 & 0x3F));
    *o++ = static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    *o++ = static_cast<char>(0xF0 | cp >> 18);
    *o++ = static_cast<char>(0x80 | (cp >> 12 & 0x3F));
    *o++ = static_cast<char>(0x80 | (cp >> 6 & 0x3F));
    *o++ = static_cast<char>(0x80 | (cp & 0x3F));
  }
}

// Appends UTF-16LE bytes as UTF-8; nullptr, or why they are not well-formed text.
const char* AppendUtf16(std::string& out, const uint8_t* p, size_t n) {
  if (n % 2) return "UTF-16 text has an odd byte count";
  char chunk[256];
  char* o = chunk;
  for (size_t i = 0; i < n; i += 2) {
    uint32_t u = Le16(p + i);
    if (u == 0) return "text contains U+0000";
    if (u >= 0xD800 && u <= 0xDFFF) {
      const uint32_t low = i + 4 <= n ? Le16(p + i + 2) : 0;
      if (u > 0xDBFF || low < 0xDC00 || low > 0xDFFF) return "unpaired UTF-16 surrogate";
      u = 0x10000 + ((u - 0xD800) << 10) + (low - 0xDC00);
      i += 2;
    }
    PutUtf8(o, u);
    if (o > chunk + sizeof chunk - 4) {
      out.append(chunk, o);
      o = chunk;
    }
  }
  out.append(chunk, o);
  return nullptr;
}

// Per byte: bit 0 may start an XML name, bit 1 may continue one. Bytes of non-ASCII
// characters pass and are then checked as UTF-8.
constexpr std::array<uint8_t, 256> kNameBytes = [] {
  std::array<uint8_t, 256> t{};
  for (int c = 0; c < 256; ++c) {
    const bool letter = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_' || c >= 0x80;
    const bool other = (c >= '0' && c <= '9') || c == '-' || c == '.';
    t[c] = static_cast<uint8_t>((letter ? 3 : 0) | (other ? 2 : 0));
  }
  return t;
}();

// nullptr when `s` can be a prefix or local name (an XML name without ':'), else why not.
const char* CheckName(std::string_view s) {
  if (s.empty()) return "is empty";
  const auto* b = reinterpret_cast<const uint8_t*>(s.data());
  if (!(kNameBytes[b[0]] & 1)) return "is not an XML name";
  bool ascii = true;
  for (size_t i = 0; i < s.size(); ++i) {
    if (!(kNameBytes[b[i]] & 2)) return "is not an XML name";
    ascii &= b[i] < 0x80;
  }
  if (!ascii && CheckUtf8(b, s.size())) return "is not valid UTF-8";
  return nullptr;
}

// ---- typed values as text --------------------------------------------------------------

void AppendUnsigned(std::string& out, uint64_t v) {
  char buf[24];
  out.append(buf, std::to_chars(buf, buf + sizeof buf, v).ptr);
}

void AppendSigned(std::string& out, int64_t v) {
  char buf[24];
  out.append(buf, std::to_chars(buf, buf + sizeof buf, v).ptr);
}

void AppendFixed(std::string& out, uint64_t v, int width) {
  char buf[20];
  for (int i = width - 1; i >= 0; --i, v /= 10) buf[i] = static_cast<char>('0' + v % 10);
  out.append(buf, width);
}

// ".fffffff" without trailing zeros; nothing for a whole second.
void AppendFraction(std::string& out, uint64_t ticks) {
  if (ticks == 0) return;
  char buf[8];
  buf[0] = '.';
  for (int i = 7; i >= 1; --i, ticks /= 10) buf[i] = static_cast<char>('0' + ticks % 10);
  int n = 8;
  while (buf[n - 1] == '0') --n;
  out.append(buf, n);
}

// Shortest round-trip digits, laid out as peers print them: plain unless the decimal
// exponent is below -4 or at least max(digit count, precision).
template <typename F>
void AppendFloating(std::string& out, F value, int precision) {
  if (std::isnan(value)) {
    out += "NaN";
    return;
  }
  if (std::isinf(value)) {
    out += value < 0 ? "-INF" : "INF";
    return;
  }
  if (value == 0) {
    out += std::signbit(value) ? "-0" : "0";
    return;
  }
  char buf[48];  // "[-]d.dddde-ddd"
  const char* const end = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::scientific).ptr;
  const char* p = buf;
  if (*p == '-') {
    out += '-';
    ++p;
  }
  char digits[24];
  int n = 0;
  for (; *p != 'e'; ++p) {
    if (*p != '.') digits[n++] = *p;
  }
  const bool negative_exponent = p[1] == '-';
  int exponent = 0;
  for (p += 2; p < end; ++p) exponent = exponent * 10 + (*p - '0');
  if (negative_exponent) exponent = -exponent;
  while (n > 1 && digits[n - 1] == '0') --n;

  const int point = exponent + 1;  // digits before the decimal point
  if (point > std::max(n, precision) || point < -3) {
    out += digits[0];
    if (n > 1) {
      out += '.';
      out.append(digits + 1, n - 1);
    }
    out += exponent < 0 ? "E-" : "E+";
    const int magnitude = exponent < 0 ? -exponent : exponent;
    if (magnitude < 10) out += '0';
    AppendUnsigned(out, static_cast<uint64_t>(magnitude));
  } else if (point <= 0) {
    out += "0.";
    out.append(static_cast<size_t>(-point), '0');
    out.append(digits, n);
  } else if (point >= n) {
    out.append(digits, n);
    out.append(static_cast<size_t>(point - n), '0');
  } else {
    out.append(digits, point);
    out += '.';
    out.append(digits + point, n - point);
  }
}

// Layout: u16 reserved, u8 scale, u8 sign, u32 high, u64 low. nullptr, or why invalid.
const char* AppendDecimal(std::string& out, const uint8_t* b) {
  const int scale = b[2];
  if (b[0] | b[1]) return "DecimalText reserved bytes are not zero";
  if (b[3] != 0 && b[3] != 0x80) return "DecimalText sign byte is neither 0x00 nor 0x80";
  if (scale > 28) return "DecimalText scale is above 28";
  uint32_t words[3] = {Le32(b + 4), Le32(b + 12), Le32(b + 8)};  // most significant first
  char digits[32];  // least significant first; 2^96 has 29 digits
  int n = 0;
  while (words[0] | words[1] | words[2]) {
    uint64_t rest = 0;
    for (uint32_t& w : words) {
      const uint64_t cur = rest << 32 | w;
      w = static_cast<uint32_t>(cur / 10);
      rest = cur % 10;
    }
    digits[n++] = static_cast<char>('0' + rest);
  }
  if (n == 0) {
    out += '0';
    return nullptr;
  }
  while (n <= scale) digits[n++] = '0';
  int low = 0;  // trailing fractional zeros go
  while (low < scale && digits[low] == '0') ++low;
  if (b[3]) out += '-';
  for (int i = n - 1; i >= scale; --i) out += digits[i];
  if (low < scale) {
    out += '.';
    for (int i = scale - 1; i >= low; --i) out += digits[i];
  }
  return nullptr;
}

// UTC offset in seconds of this machine's zone at a local wall-clock time (seconds since
// 1970 as if it were UTC). The second pass corrects for the offset itself.
long LocalUtcOffset(int64_t wall) {
  auto offset_at = [](int64_t t) -> long {
    const time_t tt = static_cast<time_t>(t);
    std::tm parts{};
    return localtime_r(&tt, &parts) ? parts.tm_gmtoff : 0;
  };
  return offset_at(wall - offset_at(wall));
}

// Bits 0-61 are ticks since 0001-01-01, bits 62-63 the zone kind. nullptr, or why invalid.
const char* AppendDateTime(std::string& out, uint64_t raw) {
  const uint64_t ticks = raw & ((uint64_t{1} << 62) - 1);
  const unsigned kind = static_cast<unsigned>(raw >> 62);
  if (kind == 3) return "DateTimeText time-zone kind is 3";
  if (ticks >= kDateTimeTickLimit) return "DateTimeText is past the year 9999";

  // Civil date from a day count, counting years from March so leap days come last.
  const uint64_t z = ticks / kTicksPerDay + 306;  // days since 0000-03-01
  const uint64_t era = z / 146097, doe = z % 146097;
  const uint64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const uint64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const uint64_t mp = (5 * doy + 2) / 153;
  const uint64_t day = doy - (153 * mp + 2) / 5 + 1;
  const uint64_t month = mp < 10 ? mp + 3 : mp - 9;
  const uint64_t year = era * 400 + yoe + (month <= 2 ? 1 : 0);
  const uint64_t time = ticks % kTicksPerDay;

  AppendFixed(out, year, 4);
  out += '-';
  AppendFixed(out, month, 2);
  out += '-';
  AppendFixed(out, day, 2);
  out += 'T';
  AppendFixed(out, time / kTicksPerHour, 2);
  out += ':';
  AppendFixed(out, time / kTicksPerMinute % 60, 2);
  out += ':';
  AppendFixed(out, time / kTicksPerSecond % 60, 2);
  AppendFraction(out, time % kTicksPerSecond);
  if (kind == 1) {
    out += 'Z';
  } else if (kind == 2) {
    const int64_t wall = (static_cast<int64_t>(ticks) - kUnixEpochTicks) / int64_t{kTicksPerSecond};
    const long offset = LocalUtcOffset(wall);
    const unsigned long minutes = static_cast<unsigned long>(offset < 0 ? -offset : offset) / 60;
    out += offset < 0 ? '-' : '+';
    AppendFixed(out, minutes / 60, 2);
    out += ':';
    AppendFixed(out, minutes % 60, 2);
  }
  return nullptr;
}

// xsd:duration, days being the largest unit: "P1DT2H", "-PT5M44S", "PT0.5S", "PT0S".
void AppendTimeSpan(std::string& out, int64_t ticks) {
  uint64_t rest = ticks < 0 ? 0 - static_cast<uint64_t>(ticks) : static_cast<uint64_t>(ticks);
  if (ticks < 0) out += '-';
  out += 'P';
  const uint64_t days = rest / kTicksPerDay;
  rest %= kTicksPerDay;
  const uint64_t hours = rest / kTicksPerHour, minutes = rest / kTicksPerMinute % 60;
  const uint64_t seconds = rest / kTicksPerSecond % 60, fraction = rest % kTicksPerSecond;
  if (days) {
    AppendUnsigned(out, days);
    out += 'D';
  }
  if (rest == 0) {
    if (days == 0) out += "T0S";
    return;
  }
  out += 'T';
  if (hours) {
    AppendUnsigned(out, hours);
    out += 'H';
  }
  if (minutes) {
    AppendUnsigned(out, minutes);
    out += 'M';
  }
  if (seconds || fraction) {
    AppendUnsigned(out, seconds);
    AppendFraction(out, fraction);
    out += 'S';
  }
}

// Data1..Data3 are little-endian, the last eight bytes go in order.
void AppendGuid(std::string& out, const uint8_t* b) {
  static constexpr char kHex[] = "0123456789abcdef";
  static constexpr uint8_t kOrder[16] = {3, 2, 1, 0, 5, 4, 7, 6, 8, 9, 10, 11, 12, 13, 14, 15};
  char buf[36];
  int k = 0;
  for (int i = 0; i < 16; ++i) {
    if (i == 4 || i == 6 || i == 8 || i == 10) buf[k++] = '-';
    buf[k++] = kHex[b[kOrder[i]] >> 4];
    buf[k++] = kHex[b[kOrder[i]] & 15];
  }
  out.append(buf, sizeof buf);
}

void AppendBase64(std::string& out, const uint8_t* p, size_t n) {
  static constexpr char kAlphabet[] =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  const size_t start = out.size();
  out.resize(start + (n + 2) / 3 * 4);
  char* o = &out[start];
  size_t i = 0;
  for (; i + 3 <= n; i += 3) {
    const uint32_t v = uint32_t{p[i]} << 16 | uint32_t{p[i + 1]} << 8 | p[i + 2];
    *o++ = kAlphabet[v >> 18];
    *o++ = kAlphabet[v >> 12 & 63];
    *o++ = kAlphabet[v >> 6 & 63];
    *o++ = kAlphabet[v & 63];
  }
  if (i < n) {
    const uint32_t v = uint32_t{p[i]} << 16 | (i + 1 < n ? uint32_t{p[i + 1]} << 8 : 0);
    *o++ = kAlphabet[v >> 18];
    *o++ = kAlphabet[v >> 12 & 63];
    *o++ = i + 1 < n ? kAlphabet[v >> 6 & 63] : '=';
    *o++ = '=';
  }
}

// ---- the record stream -----------------------------------------------------------------

struct Failure {
  std::string message;
};

class Decoder {
 public:
  Decoder(const uint8_t* data, size_t size, pugi::xml_document& doc,
          detail::DictionaryLookup lookup, void* context)
      : begin_(data),
        p_(data),
        end_(data + size),
        doc_(doc),
        lookup_(lookup),
        context_(context),
        strings_left_(Budget(size, kStringFactor, kStringSlack)),
        nodes_left_(Budget(size, kNodeFactor, kNodeSlack)) {}

  void Run();

 private:
  static constexpr size_t kNoRecord = static_cast<size_t>(-1);

  [[noreturn]] void Fail(const std::string& why) const;
  size_t Offset() const { return static_cast<size_t>(p_ - begin_); }
  size_t Left() const { return static_cast<size_t>(end_ - p_); }
  const uint8_t* Take(size_t n);
  std::string_view Bytes(uint64_t n);
  uint8_t U8() { return *Take(1); }
  uint32_t Mb31();
  uint32_t Length32();
  std::string_view String();
  std::string_view Text(std::string_view s);
  std::string_view Dict();
  std::string_view Name(std::string_view s, const char* what);

  void ChargeStrings(uint64_t n);
  void ChargeNodes(uint64_t n);
  pugi::xml_node Parent() { return open_.empty() ? pugi::xml_node(doc_) : open_.back(); }

  void ReadElementName(uint8_t type);
  void ReadAttribute(uint8_t type, pugi::xml_node element);
  void ReadAttributeValue(std::string& out);
  void ReadList(std::string& out);
  void ReadValue(uint8_t type, std::string& out);

  void StartElement(uint8_t type);
  void EndElement();
  void ContentText(uint8_t type);
  void Comment();
  void Array();
  void FlushText();

  const uint8_t* const begin_;
  const uint8_t* p_;
  const uint8_t* const end_;
  pugi::xml_document& doc_;
  const detail::DictionaryLookup lookup_;
  void* const context_;
  uint64_t strings_left_;
  uint64_t nodes_left_;
  size_t record_ = kNoRecord;  // where the record being read starts, for messages
  bool attributes_open_ = false;
  std::vector<pugi::xml_node> open_;
  std::string text_;  // text of the innermost open element not yet in the DOM
  std::string name_;
  std::string value_;
};

void Check(bool ok) {
  if (!ok) throw std::bad_alloc();
}

void Decoder::Fail(const std::string& why) const {
  char head[64];
  if (record_ >= static_cast<size_t>(end_ - begin_)) {  // no record, or it would start at the end
    std::snprintf(head, sizeof head, "at offset %zu: ", Offset());
  } else {
    std::snprintf(head, sizeof head, "at offset %zu, record 0x%02X: ", record_,
                  static_cast<unsigned>(begin_[record_]));
  }
  throw Failure{head + why};
}

// Fixed-size payload.
const uint8_t* Decoder::Take(size_t n) {
  if (n > Left()) Fail("record is cut short by the end of the input");
  const uint8_t* q = p_;
  p_ += n;
  return q;
}

// Payload of a length read from the input: checked before anything is sized by it.
std::string_view Decoder::Bytes(uint64_t n) {
  if (n > Left()) {
    Fail("length " + std::to_string(n) + " runs past the end of the input (" +
         std::to_string(Left()) + " bytes left)");
  }
  const char* q = reinterpret_cast<const char*>(p_);
  p_ += n;
  return {q, static_cast<size_t>(n)};
}

uint32_t Decoder::Mb31() {
  uint32_t v = 0;
  for (int i = 0;; ++i) {
    if (p_ == end_) Fail("MultiByteInt31 is cut short by the end of the input");
    const uint8_t b = *p_++;
    if (i == 4 && b > 0x07) Fail("MultiByteInt31 is longer than 5 bytes or above 0x7FFFFFFF");
    v |= uint32_t{b & 0x7Fu} << (7 * i);
    if (!(b & 0x80)) return v;
  }
}

uint32_t Decoder::Length32() {
  const uint32_t n = Le32(Take(4));
  if (n > 0x7FFFFFFFu) Fail("negative length");
  return n;
}

std::string_view Decoder::String() { return Bytes(Mb31()); }

std::string_view Decoder::Text(std::string_view s) {
  if (const char* why = CheckUtf8(reinterpret_cast<const uint8_t*>(s.data()), s.size())) Fail(why);
  return s;
}

std::string_view Decoder::Dict() {
  const uint32_t id = Mb31();
  std::string_view s;
  if (const char* why = lookup_(context_, id, s)) {
    char head[48];
    std::snprintf(head, sizeof head, "dictionary id 0x%X: ", static_cast<unsigned>(id));
    Fail(head + std::string(why));
  }
  return s;
}

std::string_view Decoder::Name(std::string_view s, const char* what) {
  if (const char* why = CheckName(s)) Fail(std::string(what) + " " + why);
  return s;
}

void Decoder::ChargeStrings(uint64_t n) {
  if (n > strings_left_) Fail("decoded strings would exceed 16 x the input size + 64 KiB");
  strings_left_ -= n;
}

void Decoder::ChargeNodes(uint64_t n) {
  if (n > nodes_left_) Fail("decoded nodes would exceed 3 x the input size + 65536");
  nodes_left_ -= n;
}

void Decoder::ReadElementName(uint8_t type) {
  std::string_view prefix, local;
  switch (type) {
    case kShortElement: local = String(); break;
    case kElement:
      prefix = Name(String(), "element prefix");
      local = String();
      break;
    case kShortDictionaryElement: local = Dict(); break;
    case kDictionaryElement:
      prefix = Name(String(), "element prefix");
      local = Dict();
      break;
    default:
      if (type < kPrefixElementA) {
        prefix = {kLetters + (type - kPrefixDictionaryElementA), 1};
        local = Dict();
      } else {
        prefix = {kLetters + (type - kPrefixElementA), 1};
        local = String();
      }
  }
  Name(local, "element name");
  name_.assign(prefix);
  if (!prefix.empty()) name_ += ':';
  name_ += local;
}

void Decoder::ReadAttribute(uint8_t type, pugi::xml_node element) {
  std::string_view prefix, local;
  bool xmlns = false;
  switch (type) {
    case kShortAttribute: local = String(); break;
    case kAttribute:
      prefix = String();
      local = String();
      break;
    case kShortDictionaryAttribute: local = Dict(); break;
    case kDictionaryAttribute:
      prefix = String();
      local = Dict();
      break;
    case kShortXmlnsAttribute:
      xmlns = true;
      value_.assign(Text(String()));
      break;
    case kXmlnsAttribute:
      xmlns = true;
      prefix = String();
      value_.assign(Text(String()));
      break;
    case kShortDictionaryXmlnsAttribute:
      xmlns = true;
      value_.assign(Dict());
      break;
    case kDictionaryXmlnsAttribute:
      xmlns = true;
      prefix = String();
      value_.assign(Dict());
      break;
    default:
      if (type < kPrefixAttributeA) {
        prefix = {kLetters + (type - kPrefixDictionaryAttributeA), 1};
        local = Dict();
      } else {
        prefix = {kLetters + (type - kPrefixAttributeA), 1};
        local = String();
      }
  }
  const bool prefixed = type == kAttribute || type == kDictionaryAttribute ||
                        type == kXmlnsAttribute || type == kDictionaryXmlnsAttribute;
  if (prefixed) Name(prefix, "attribute prefix");
  if (prefix == "xmlns") Fail("attribute prefix xmlns is reserved for declarations");
  if (xmlns) {
    name_.assign("xmlns");
    if (prefixed) name_.append(":").append(prefix);
    ChargeStrings(value_.size());
  } else {
    Name(local, "attribute name");
    if (prefix.empty() && local == "xmlns") Fail("attribute name xmlns is reserved for declarations");
    name_.assign(prefix);
    if (!prefix.empty()) name_ += ':';
    name_ += local;
    ReadAttributeValue(value_);
  }
  ChargeNodes(1);
  ChargeStrings(name_.size() + 2);
  pugi::xml_attribute a = element.append_attribute(name_.c_str());
  Check(a && a.set_value(value_.data(), value_.size()));
}

void Decoder::ReadAttributeValue(std::string& out) {
  out.clear();
  record_ = Offset();
  const uint8_t t = U8();
  if (t == kStartListText) return ReadList(out);
  if (!IsValueType(t)) Fail("attribute value is not a text record");
  if (t & 1) Fail("attribute value closes an element");
  ReadValue(t, out);
}

void Decoder::ReadList(std::string& out) {
  for (bool first = true;; first = false) {
    record_ = Offset();
    const uint8_t t = U8();
    if (t == kEndListText) return;
    if (t == kStartListText) Fail("lists do not nest");
    if (!IsValueType(t)) Fail("list holds a record that is not text");
    if (t & 1) Fail("list item closes an element");
    if (!first) {
      ChargeStrings(1);
      out += ' ';
    }
    ReadValue(t, out);
  }
}

void Decoder::ReadValue(uint8_t type, std::string& out) {
  const size_t before = out.size();
  const char* why = nullptr;
  switch (type & 0xFE) {
    case kZeroText: out += '0'; break;
    case kOneText: out += '1'; break;
    case kFalseText: out += "false"; break;
    case kTrueText: out += "true"; break;
    case kInt8Text: AppendSigned(out, static_cast<int8_t>(U8())); break;
    case kInt16Text: AppendSigned(out, static_cast<int16_t>(Le16(Take(2)))); break;
    case kInt32Text: AppendSigned(out, static_cast<int32_t>(Le32(Take(4)))); break;
    case kInt64Text: AppendSigned(out, static_cast<int64_t>(Le64(Take(8)))); break;
    case kUInt64Text: AppendUnsigned(out, Le64(Take(8))); break;
    case kFloatText: {
      const uint32_t bits = Le32(Take(4));
      float f;
      std::memcpy(&f, &bits, sizeof f);
      AppendFloating(out, f, 7);
      break;
    }
    case kDoubleText: {
      const uint64_t bits = Le64(Take(8));
      double d;
      std::memcpy(&d, &bits, sizeof d);
      AppendFloating(out, d, 15);
      break;
    }
    case kDecimalText: why = AppendDecimal(out, Take(16)); break;
    case kDateTimeText: why = AppendDateTime(out, Le64(Take(8))); break;
    case kTimeSpanText: AppendTimeSpan(out, static_cast<int64_t>(Le64(Take(8)))); break;
    case kChars8Text: out += Text(Bytes(*Take(1))); break;
    case kChars16Text: out += Text(Bytes(Le16(Take(2)))); break;
    case kChars32Text: out += Text(Bytes(Length32())); break;
    case kBytes8Text:
    case kBytes16Text:
    case kBytes32Text: {
      const uint32_t n = (type & 0xFE) == kBytes8Text    ? *Take(1)
                         : (type & 0xFE) == kBytes16Text ? Le16(Take(2))
                                                         : Length32();
      const std::string_view bytes = Bytes(n);
      AppendBase64(out, reinterpret_cast<const uint8_t*>(bytes.data()), n);
      break;
    }
    case kEmptyText: break;
    case kDictionaryText: out += Dict(); break;
    case kUniqueIdText:
      out += "urn:uuid:";
      AppendGuid(out, Take(16));
      break;
    case kUuidText: AppendGuid(out, Take(16)); break;
    case kBoolText: {
      const uint8_t b = U8();
      if (b > 1) Fail("BoolText value is neither 0 nor 1");
      out += b ? "true" : "false";
      break;
    }
    case kUnicodeChars8Text:
    case kUnicodeChars16Text:
    case kUnicodeChars32Text: {
      const uint32_t n = (type & 0xFE) == kUnicodeChars8Text    ? *Take(1)
                         : (type & 0xFE) == kUnicodeChars16Text ? Le16(Take(2))
                                                                : Length32();
      const std::string_view bytes = Bytes(n);
      why = AppendUtf16(out, reinterpret_cast<const uint8_t*>(bytes.data()), n);
      break;
    }
    case kQNameDictionaryText: {
      const uint8_t prefix = U8();
      if (prefix > 25) Fail("QNameDictionaryText prefix is past 'z'");
      out += kLetters[prefix];
      out += ':';
      out += Dict();
      break;
    }
  }
  if (why) Fail(why);
  ChargeStrings(out.size() - before);
}

void Decoder::FlushText() {
  if (text_.empty()) return;
  ChargeNodes(1);
  pugi::xml_node n = open_.back().append_child(pugi::node_pcdata);
  Check(n && n.set_value(text_.data(), text_.size()));
  text_.clear();
}

void Decoder::StartElement(uint8_t type) {
  FlushText();
  if (open_.size() >= kMaxDepth) Fail("elements nest deeper than 1024");
  ReadElementName(type);
  ChargeNodes(1);
  ChargeStrings(name_.size() + 1);
  pugi::xml_node e = Parent().append_child(pugi::node_element);
  Check(e && e.set_name(name_.c_str()));
  open_.push_back(e);
}

void Decoder::EndElement() {
  if (open_.empty()) Fail("EndElement with no open element");
  FlushText();
  open_.pop_back();
}

void Decoder::ContentText(uint8_t type) {
  if (open_.empty()) Fail("text outside any element");
  if (type == kEndListText) Fail("EndListText without StartListText");
  if (type == kStartListText) return ReadList(text_);
  ReadValue(type, text_);
  if (type & 1) EndElement();
}

void Decoder::Comment() {
  const std::string_view s = Text(String());
  if (s.find("--") != std::string_view::npos || (!s.empty() && s.back() == '-')) {
    Fail("comment contains \"--\" or ends in '-'");
  }
  FlushText();
  ChargeNodes(1);
  ChargeStrings(s.size() + 1);
  pugi::xml_node n = Parent().append_child(pugi::node_comment);
  Check(n && n.set_value(s.data(), s.size()));
}

void Decoder::Array() {
  FlushText();
  if (open_.size() >= kMaxDepth) Fail("elements nest deeper than 1024");
  const uint64_t strings_before = strings_left_, nodes_before = nodes_left_;
  record_ = Offset();
  const uint8_t element_type = U8();
  if (!IsElementType(element_type)) Fail("array does not start with an element record");
  ReadElementName(element_type);
  ChargeNodes(1);
  ChargeStrings(name_.size() + 1);
  pugi::xml_node parent = Parent();
  pugi::xml_node first = parent.append_child(pugi::node_element);
  Check(first && first.set_name(name_.c_str()));
  for (;;) {
    record_ = Offset();
    const uint8_t t = U8();
    if (t == kEndElement) break;
    if (!IsAttributeType(t)) Fail("array element is not closed right after its attributes");
    ReadAttribute(t, first);
  }
  const uint64_t item_strings = strings_before - strings_left_;
  const uint64_t item_nodes = nodes_before - nodes_left_;

  record_ = Offset();
  const uint8_t value_type = U8();
  const size_t width = ArrayValueWidth(value_type);
  if (width == 0) Fail("array value type is not a fixed-size WithEndElement text type");
  const uint32_t count = Mb31();
  if (count == 0) Fail("array holds no values");
  if (count > Left() / width) {
    Fail("array of " + std::to_string(count) + " values runs past the end of the input (" +
         std::to_string(Left()) + " bytes left)");
  }
  // Copies of the element and its attributes, then one text node per value.
  ChargeNodes((count - 1) * item_nodes + count);
  ChargeStrings((count - 1) * item_strings);
  for (uint32_t i = 1; i < count; ++i) Check(parent.append_copy(first));
  pugi::xml_node item = first;
  for (uint32_t i = 0; i < count; ++i, item = item.next_sibling()) {
    value_.clear();
    ReadValue(value_type, value_);
    pugi::xml_node n = item.append_child(pugi::node_pcdata);
    Check(n && n.set_value(value_.data(), value_.size()));
  }
}

void Decoder::Run() {
  if (p_ == end_) Fail("empty input");
  while (p_ < end_) {
    record_ = Offset();
    const uint8_t type = *p_++;
    if (IsElementType(type)) {
      StartElement(type);
      attributes_open_ = true;
      continue;
    }
    if (IsAttributeType(type)) {
      if (!attributes_open_) {
        Fail(open_.empty() ? "attribute with no element to belong to"
                           : "attribute after the content of its element began");
      }
      ReadAttribute(type, open_.back());
      continue;
    }
    attributes_open_ = false;
    switch (type) {
      case kEndElement: EndElement(); break;
      case kComment: Comment(); break;
      case kArray: Array(); break;
      default:
        if (type < kZeroText || type > kLastText || type == kStartListText + 1 ||
            type == kEndListText + 1) {
          Fail("reserved record type");
        }
        ContentText(type);
    }
  }
  if (!open_.empty()) {
    record_ = kNoRecord;
    Fail(std::to_string(open_.size()) + " element(s) still open at the end of the input");
  }
}

}  // namespace

namespace detail {

const char* StaticLookup(void*, uint32_t id, std::string_view& out) {
  if (id & 1) return "odd ids name session strings, which msbin1 does not carry";
  if (id / 2 >= kStaticDictionarySize) return "past the end of the fixed string table";
  out = kStaticDictionary[id / 2];
  return nullptr;
}

DecodeResult DecodeWith(const unsigned char* data, size_t size, pugi::xml_document& out,
                        DictionaryLookup lookup, void* context) {
  out.reset();
  try {
    static const unsigned char kNothing = 0;
    Decoder(size ? data : &kNothing, size, out, lookup, context).Run();
    return {true, {}};
  } catch (Failure& f) {
    out.reset();
    return {false, std::move(f.message)};
  } catch (const std::bad_alloc&) {
    out.reset();
    return {false, "out of memory"};
  } catch (const std::length_error&) {
    out.reset();
    return {false, "out of memory"};
  }
}

}  // namespace detail

DecodeResult Decode(const unsigned char* data, size_t size, pugi::xml_document& out) {
  return detail::DecodeWith(data, size, out, detail::StaticLookup, nullptr);
}

bool LooksBinary(const unsigned char* data, size_t size) {
  return size > 0 && IsElementType(data[0]);
}

}  // namespace soapkit::nbfx
