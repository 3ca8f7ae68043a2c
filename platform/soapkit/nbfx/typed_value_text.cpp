#include "typed_value_text.h"

#include "local_time.h"

#include <algorithm>
#include <charconv>
#include <cmath>

namespace soapkit::nbfx {
namespace {

constexpr uint64_t kTicksPerSecond = 10'000'000;
constexpr uint64_t kTicksPerMinute = 60 * kTicksPerSecond;
constexpr uint64_t kTicksPerHour = 60 * kTicksPerMinute;
constexpr uint64_t kTicksPerDay = 24 * kTicksPerHour;
constexpr uint64_t kDateTimeTickLimit = 3155378976000000000ull;  // 10000-01-01T00:00:00
constexpr int64_t kUnixEpochTicks = 621355968000000000;

void AppendFixed(Sink& out, uint64_t v, int width) {
  char buf[20];
  for (int i = width - 1; i >= 0; --i, v /= 10) buf[i] = static_cast<char>('0' + v % 10);
  out.append(buf, width);
}

// ".fffffff" without trailing zeros; nothing for a whole second.
void AppendFraction(Sink& out, uint64_t ticks) {
  if (ticks == 0) return;
  char buf[8];
  buf[0] = '.';
  for (int i = 7; i >= 1; --i, ticks /= 10) buf[i] = static_cast<char>('0' + ticks % 10);
  int n = 8;
  while (buf[n - 1] == '0') --n;
  out.append(buf, n);
}

template <typename F>
void AppendFloating(Sink& out, F value, int precision) {
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

// UTC offset in seconds of this machine's zone at a local wall-clock time (seconds since
// 1970 as if it were UTC). The second pass corrects for the offset itself.
long LocalUtcOffset(int64_t wall) {
  return detail::UtcOffsetAt(wall - detail::UtcOffsetAt(wall));
}

}  // namespace

void AppendUnsigned(Sink& out, uint64_t v) {
  char buf[24];
  out.append(buf, std::to_chars(buf, buf + sizeof buf, v).ptr);
}

void AppendSigned(Sink& out, int64_t v) {
  char buf[24];
  out.append(buf, std::to_chars(buf, buf + sizeof buf, v).ptr);
}

const char* AppendDecimal(Sink& out, const uint8_t* b) {
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

const char* AppendDateTime(Sink& out, uint64_t raw) {
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

void AppendTimeSpan(Sink& out, int64_t ticks) {
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

void AppendGuid(Sink& out, const uint8_t* b) {
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

void AppendBase64(Sink& out, const uint8_t* p, size_t n) {
  static constexpr char kAlphabet[] =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  char* o = out.o;
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
  out.o = o;
}

void AppendFloat(Sink& out, float value) { AppendFloating(out, value, 7); }
void AppendDouble(Sink& out, double value) { AppendFloating(out, value, 15); }

}  // namespace soapkit::nbfx
