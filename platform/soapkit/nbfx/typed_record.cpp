// Typed records for texts. Every candidate is printed with the decoder's own functions and kept
// only when that gives the text back, so no value ever changes its text on the way through.
#include "typed_record.h"

#include "tree_builder.h"
#include "typed_value_text.h"

#include <array>
#include <charconv>
#include <cstring>

namespace soapkit::nbfx {
namespace {

constexpr uint64_t kTicksPerSecond = 10'000'000;
constexpr uint64_t kTicksPerDay = 86'400 * kTicksPerSecond;
constexpr uint64_t kDateTimeTickLimit = 3'155'378'976'000'000'000ull;

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Whether `payload` of record `type` prints `text` back.
template <class Print>
bool PrintsBack(std::string_view text, Print print) {
  char buffer[kMaxTypedValue];
  Sink out{buffer};
  if (print(out) != nullptr) return false;
  return std::string_view(buffer, static_cast<size_t>(out.o - buffer)) == text;
}

void PutLe(uint8_t* p, uint64_t v, size_t n) {
  for (size_t i = 0; i < n; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}

size_t Record(uint8_t* record, uint8_t type, uint64_t value, size_t width) {
  record[0] = type;
  PutLe(record + 1, value, width);
  return 1 + width;
}

// The smallest integer record for a whole number the text names without a sign or zero too many.
size_t IntegerRecord(std::string_view text, uint8_t* record) {
  int64_t value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error == std::errc() && end == text.data() + text.size()) {
    const auto prints = [&](auto v) { return PrintsBack(text, [v](Sink& out) { return AppendSigned(out, v), nullptr; }); };
    if (!prints(value)) return 0;
    if (value == 0) return record[0] = kZeroText, 1;
    if (value == 1) return record[0] = kOneText, 1;
    if (value >= INT8_MIN && value <= INT8_MAX) return Record(record, kInt8Text, static_cast<uint64_t>(value), 1);
    if (value >= INT16_MIN && value <= INT16_MAX) return Record(record, kInt16Text, static_cast<uint64_t>(value), 2);
    if (value >= INT32_MIN && value <= INT32_MAX) return Record(record, kInt32Text, static_cast<uint64_t>(value), 4);
    return Record(record, kInt64Text, static_cast<uint64_t>(value), 8);
  }
  uint64_t large = 0;
  const auto [last, failed] = std::from_chars(text.data(), text.data() + text.size(), large);
  if (failed != std::errc() || last != text.data() + text.size()) return 0;
  if (!PrintsBack(text, [large](Sink& out) { return AppendUnsigned(out, large), nullptr; })) return 0;
  return Record(record, kUInt64Text, large, 8);
}

size_t FloatingRecord(std::string_view text, uint8_t* record) {
  float f = 0;
  auto parsed = std::from_chars(text.data(), text.data() + text.size(), f);
  if (parsed.ec == std::errc() && parsed.ptr == text.data() + text.size() &&
      PrintsBack(text, [f](Sink& out) { return AppendFloat(out, f), nullptr; })) {
    uint32_t bits;
    std::memcpy(&bits, &f, sizeof bits);
    return Record(record, kFloatText, bits, 4);
  }
  double d = 0;
  parsed = std::from_chars(text.data(), text.data() + text.size(), d);
  if (parsed.ec == std::errc() && parsed.ptr == text.data() + text.size() &&
      PrintsBack(text, [d](Sink& out) { return AppendDouble(out, d), nullptr; })) {
    uint64_t bits;
    std::memcpy(&bits, &d, sizeof bits);
    return Record(record, kDoubleText, bits, 8);
  }
  return 0;
}

// [-]digits[.digits] as a 96-bit integer and a scale of at most 28.
size_t DecimalRecord(std::string_view text, uint8_t* record) {
  size_t i = 0;
  const bool negative = !text.empty() && text[0] == '-';
  i += negative;
  uint32_t limbs[3] = {};  // little-endian, so no 128-bit type is needed on 32-bit targets
  unsigned scale = 0, digits = 0;
  bool point = false;
  for (; i < text.size(); ++i) {
    if (text[i] == '.' && !point) {
      point = true;
      continue;
    }
    if (!IsDigit(text[i]) || ++digits > 29) return 0;
    uint64_t carry = static_cast<uint64_t>(text[i] - '0');
    for (uint32_t& limb : limbs) {
      carry += static_cast<uint64_t>(limb) * 10;
      limb = static_cast<uint32_t>(carry);
      carry >>= 32;
    }
    if (carry != 0) return 0;
    scale += point;
  }
  if (digits == 0 || scale > 28) return 0;
  uint8_t payload[16] = {};
  payload[2] = static_cast<uint8_t>(scale);
  payload[3] = negative ? 0x80 : 0;
  PutLe(payload + 4, limbs[2], 4);
  PutLe(payload + 8, static_cast<uint64_t>(limbs[1]) << 32 | limbs[0], 8);
  if (!PrintsBack(text, [&payload](Sink& out) { return AppendDecimal(out, payload); })) return 0;
  record[0] = kDecimalText;
  std::memcpy(record + 1, payload, 16);
  return 17;
}

// The number of `width` digits at `text[at]`, or -1.
int64_t Digits(std::string_view text, size_t at, size_t width) {
  if (at + width > text.size()) return -1;
  int64_t value = 0;
  for (size_t i = at; i < at + width; ++i) {
    if (!IsDigit(text[i])) return -1;
    value = value * 10 + (text[i] - '0');
  }
  return value;
}

// Days since 0001-01-01 of a civil date (proleptic Gregorian), counting years from March.
uint64_t DaysOf(uint64_t year, uint64_t month, uint64_t day) {
  year -= month <= 2;
  const uint64_t era = year / 400, yoe = year % 400;
  const uint64_t doy = (153 * (month > 2 ? month - 3 : month + 9) + 2) / 5 + day - 1;
  const uint64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 306;  // 0000-03-01 is day 306 before 0001-01-01
}

// yyyy-MM-ddTHH:mm:ss[.fffffff][Z]: no zone or UTC. A local time prints the decoding machine's
// offset, which differs from machine to machine, so it is never written as a date.
size_t DateTimeRecord(std::string_view text, uint8_t* record) {
  if (text.size() < 19 || text[4] != '-' || text[7] != '-' || text[10] != 'T' || text[13] != ':' || text[16] != ':') {
    return 0;
  }
  const int64_t year = Digits(text, 0, 4), month = Digits(text, 5, 2), day = Digits(text, 8, 2);
  const int64_t hour = Digits(text, 11, 2), minute = Digits(text, 14, 2), second = Digits(text, 17, 2);
  if (year < 1 || month < 1 || month > 12 || day < 1 || day > 31 || hour < 0 || hour > 23 || minute < 0 ||
      minute > 59 || second < 0 || second > 59) {
    return 0;
  }
  size_t at = 19;
  uint64_t fraction = 0;
  if (at < text.size() && text[at] == '.') {
    size_t n = 0;
    for (++at; at < text.size() && IsDigit(text[at]) && n < 7; ++at, ++n) fraction = fraction * 10 + (text[at] - '0');
    for (; n < 7; ++n) fraction *= 10;
  }
  uint64_t kind = 0;
  if (at < text.size() && text[at] == 'Z') kind = 1, ++at;
  if (at != text.size()) return 0;
  const uint64_t ticks = DaysOf(static_cast<uint64_t>(year), static_cast<uint64_t>(month), static_cast<uint64_t>(day)) *
                             kTicksPerDay +
                         static_cast<uint64_t>((hour * 60 + minute) * 60 + second) * kTicksPerSecond + fraction;
  if (ticks >= kDateTimeTickLimit) return 0;
  const uint64_t raw = ticks | kind << 62;
  if (!PrintsBack(text, [raw](Sink& out) { return AppendDateTime(out, raw); })) return 0;
  return Record(record, kDateTimeText, raw, 8);
}

// [-]P[nD][T[nH][nM][n[.fffffff]S]], the xsd:duration the decoder prints.
size_t TimeSpanRecord(std::string_view text, uint8_t* record) {
  size_t at = 0;
  const bool negative = at < text.size() && text[at] == '-';
  at += negative;
  if (at >= text.size() || text[at++] != 'P') return 0;
  uint64_t ticks = 0;
  bool inTime = false;
  while (at < text.size()) {
    if (text[at] == 'T' && !inTime) {
      inTime = true;
      ++at;
      continue;
    }
    uint64_t number = 0, fraction = 0;
    size_t digits = 0;
    for (; at < text.size() && IsDigit(text[at]) && digits < 19; ++at, ++digits) number = number * 10 + (text[at] - '0');
    if (digits == 0) return 0;
    size_t places = 0;
    if (at < text.size() && text[at] == '.') {
      for (++at; at < text.size() && IsDigit(text[at]) && places < 7; ++at, ++places) {
        fraction = fraction * 10 + (text[at] - '0');
      }
      if (places == 0) return 0;
      for (size_t n = places; n < 7; ++n) fraction *= 10;
    }
    if (at >= text.size()) return 0;
    const char unit = text[at++];
    if (places != 0 && unit != 'S') return 0;
    uint64_t scale = 0;
    if (!inTime && unit == 'D') scale = kTicksPerDay;
    if (inTime && unit == 'H') scale = 3600 * kTicksPerSecond;
    if (inTime && unit == 'M') scale = 60 * kTicksPerSecond;
    if (inTime && unit == 'S') scale = kTicksPerSecond;
    if (scale == 0) return 0;
    uint64_t part = 0;
    if (__builtin_mul_overflow(number, scale, &part) || __builtin_add_overflow(part, fraction, &part) ||
        __builtin_add_overflow(ticks, part, &ticks)) {
      return 0;
    }
  }
  const uint64_t limit = negative ? uint64_t{1} << 63 : (uint64_t{1} << 63) - 1;
  if (ticks > limit) return 0;
  const int64_t value = negative ? static_cast<int64_t>(0 - static_cast<uint64_t>(ticks)) : static_cast<int64_t>(ticks);
  if (!PrintsBack(text, [value](Sink& out) { return AppendTimeSpan(out, value), nullptr; })) return 0;
  return Record(record, kTimeSpanText, static_cast<uint64_t>(value), 8);
}

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;  // the decoder prints lower case only
}

// A lower-case GUID, as UuidText, or "urn:uuid:" and one, as UniqueIdText.
size_t GuidRecord(std::string_view text, uint8_t* record) {
  constexpr std::string_view kUrn = "urn:uuid:";
  const bool urn = text.substr(0, kUrn.size()) == kUrn;
  const std::string_view guid = urn ? text.substr(kUrn.size()) : text;
  if (guid.size() != 36) return 0;
  static constexpr uint8_t kOrder[16] = {3, 2, 1, 0, 5, 4, 7, 6, 8, 9, 10, 11, 12, 13, 14, 15};
  uint8_t bytes[16];
  size_t at = 0;
  for (int i = 0; i < 16; ++i) {
    if (i == 4 || i == 6 || i == 8 || i == 10) {
      if (guid[at++] != '-') return 0;
    }
    const int high = HexValue(guid[at]), low = HexValue(guid[at + 1]);
    if (high < 0 || low < 0) return 0;
    bytes[kOrder[i]] = static_cast<uint8_t>(high << 4 | low);
    at += 2;
  }
  if (!PrintsBack(guid, [&bytes](Sink& out) { return AppendGuid(out, bytes), nullptr; })) return 0;
  record[0] = urn ? kUniqueIdText : kUuidText;
  std::memcpy(record + 1, bytes, 16);
  return 17;
}

}  // namespace

size_t TypedRecordFor(std::string_view text, uint8_t record[kMaxTypedRecord]) {
  if (text.empty()) return record[0] = kEmptyText, 1;
  if (text == "false") return record[0] = kFalseText, 1;
  if (text == "true") return record[0] = kTrueText, 1;
  const char first = text[0];
  if (IsDigit(first) || first == '-') {
    if (const size_t n = IntegerRecord(text, record)) return n;
    if (const size_t n = DateTimeRecord(text, record)) return n;
  }
  if (IsDigit(first) || first == '-' || first == '.' || first == 'I' || first == 'N') {
    if (const size_t n = FloatingRecord(text, record)) return n;
    if (const size_t n = DecimalRecord(text, record)) return n;
  }
  if (first == 'P' || first == '-') {
    if (const size_t n = TimeSpanRecord(text, record)) return n;
  }
  if (text.size() == 36 || text.size() == 45) return GuidRecord(text, record);
  return 0;
}

size_t Base64Bytes(std::string_view text, uint8_t* out) {
  if (text.empty() || text.size() % 4 != 0) return 0;
  static constexpr auto kValues = [] {
    std::array<int8_t, 256> values{};
    for (auto& v : values) v = -1;
    const char* alphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    for (int i = 0; i < 64; ++i) values[static_cast<uint8_t>(alphabet[i])] = static_cast<int8_t>(i);
    return values;
  }();
  size_t n = 0;
  const size_t padding = text.back() != '=' ? 0 : text[text.size() - 2] == '=' ? 2 : 1;
  for (size_t i = 0; i < text.size(); i += 4) {
    int v[4];
    for (int k = 0; k < 4; ++k) {
      const bool padded = i + k >= text.size() - padding;
      v[k] = padded ? 0 : kValues[static_cast<uint8_t>(text[i + k])];
      if (v[k] < 0 || (padded && text[i + k] != '=')) return 0;
    }
    const uint32_t triple = uint32_t(v[0]) << 18 | uint32_t(v[1]) << 12 | uint32_t(v[2]) << 6 | uint32_t(v[3]);
    out[n++] = static_cast<uint8_t>(triple >> 16);
    if (i + 4 < text.size() || padding < 2) out[n++] = static_cast<uint8_t>(triple >> 8);
    if (i + 4 < text.size() || padding < 1) out[n++] = static_cast<uint8_t>(triple);
  }
  // Bits left over in the last character would be lost: such a text does not print back.
  char check[4];
  const size_t lastGroup = 3 - padding;
  Sink sink{check};
  AppendBase64(sink, out + n - lastGroup, lastGroup);
  return std::string_view(check, 4) == text.substr(text.size() - 4) ? n : 0;
}

}  // namespace soapkit::nbfx
