// The text of msbin1's typed values (numbers, dates, durations, GUIDs, bytes), as the peers that
// write msbin1 print them, written into room the decoder has made.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace soapkit::nbfx {

// Writes into room the caller has made.
struct Sink {
  char* o;
  void operator+=(char c) { *o++ = c; }
  void operator+=(const char* s) { append(s, std::strlen(s)); }
  void append(const char* s, size_t n) {
    std::memcpy(o, s, n);
    o += n;
  }
  void append(const char* first, const char* last) { append(first, static_cast<size_t>(last - first)); }
  void append(size_t n, char c) {
    std::memset(o, c, n);
    o += n;
  }
};

// The longest typed value: "-9223372036854775808", "-P10675199DT2H48M5.4775808S",
// "urn:uuid:" and a GUID, a date with fraction and offset all fit.
constexpr size_t kMaxTypedValue = 64;

inline uint16_t Le16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }
inline uint32_t Le32(const uint8_t* p) {
  return uint32_t{p[0]} | uint32_t{p[1]} << 8 | uint32_t{p[2]} << 16 | uint32_t{p[3]} << 24;
}
inline uint64_t Le64(const uint8_t* p) { return Le32(p) | uint64_t{Le32(p + 4)} << 32; }

void AppendUnsigned(Sink& out, uint64_t v);
void AppendSigned(Sink& out, int64_t v);
// Shortest round-trip digits, laid out as peers print them: plain unless the decimal exponent is
// below -4 or at least max(digit count, `precision`): 7 for a float, 15 for a double.
void AppendFloat(Sink& out, float value);
void AppendDouble(Sink& out, double value);
// DecimalText's 16 bytes: u16 reserved, u8 scale, u8 sign, u32 high, u64 low. nullptr, or why
// they are invalid.
const char* AppendDecimal(Sink& out, const uint8_t* b);
// Bits 0-61 are ticks since 0001-01-01, bits 62-63 the zone kind. nullptr, or why invalid.
const char* AppendDateTime(Sink& out, uint64_t raw);
// xsd:duration, days being the largest unit: "P1DT2H", "-PT5M44S", "PT0.5S", "PT0S".
void AppendTimeSpan(Sink& out, int64_t ticks);
// The 16 bytes of a GUID: Data1..Data3 little-endian, the last eight in order.
void AppendGuid(Sink& out, const uint8_t* b);
void AppendBase64(Sink& out, const uint8_t* p, size_t n);

}  // namespace soapkit::nbfx
