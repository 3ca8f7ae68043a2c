#include "safe_file_name.h"

#include "win32/strings.h"

#include <cstdint>
#include <cstdio>

namespace plandesk {
namespace {

constexpr std::size_t kMaxNameBytes = 120;
constexpr char kUnnamed[] = "unnamed-service";
constexpr char kExtension[] = ".config";

bool IsHighSurrogate(OLECHAR c) { return c >= 0xD800 && c <= 0xDBFF; }
bool IsLowSurrogate(OLECHAR c) { return c >= 0xDC00 && c <= 0xDFFF; }

bool IsUnsafe(OLECHAR c) {
  switch (c) {
    case OLESTR('/'): case OLESTR('\\'): case OLESTR('<'): case OLESTR('>'): case OLESTR(':'):
    case OLESTR('"'): case OLESTR('|'): case OLESTR('?'): case OLESTR('*'):
    case 0x200E: case 0x200F: case 0x2028: case 0x2029: case 0xFFFE: case 0xFFFF:
      return true;
    default:
      return c < 0x20 || (c >= 0x7F && c <= 0x9F) || (c >= 0x202A && c <= 0x202E) || (c >= 0x2066 && c <= 0x2069);
  }
}

bool IsTrimmed(OLECHAR c) { return c == OLESTR('.') || c == OLESTR(' '); }

// FNV-1a over the UTF-16 code units: stable across runs and platforms.
std::uint32_t NameHash(win32::OleStringView name) {
  std::uint32_t hash = 2166136261u;
  for (const OLECHAR c : name) {
    for (const unsigned byte : {unsigned(c & 0xFF), unsigned(c >> 8)}) {
      hash ^= byte;
      hash *= 16777619u;
    }
  }
  return hash;
}

win32::OleString ReplaceUnsafe(win32::OleStringView name) {
  win32::OleString safe;
  safe.reserve(name.size());
  for (std::size_t i = 0; i < name.size(); ++i) {
    const OLECHAR c = name[i];
    if (IsHighSurrogate(c) && i + 1 < name.size() && IsLowSurrogate(name[i + 1])) {
      safe += c;
      safe += name[++i];
    } else if (IsHighSurrogate(c) || IsLowSurrogate(c) || IsUnsafe(c)) {
      safe += OLESTR('_');
    } else {
      safe += c;
    }
  }
  return safe;
}

win32::OleString Trim(const win32::OleString& name) {
  std::size_t begin = 0, end = name.size();
  while (begin < end && IsTrimmed(name[begin])) ++begin;
  while (end > begin && IsTrimmed(name[end - 1])) --end;
  return name.substr(begin, end - begin);
}

OLECHAR AsciiUpper(OLECHAR c) { return c >= OLESTR('a') && c <= OLESTR('z') ? OLECHAR(c - 32) : c; }

// Windows opens the device for these names whatever follows the first dot.
bool IsDeviceName(win32::OleStringView name) {
  win32::OleString stem(name.substr(0, name.find(OLESTR('.'))));
  while (!stem.empty() && stem.back() == OLESTR(' ')) stem.pop_back();
  for (OLECHAR& c : stem) c = AsciiUpper(c);
  if (stem == OLESTR("CON") || stem == OLESTR("PRN") || stem == OLESTR("AUX") || stem == OLESTR("NUL")) return true;
  if (stem.size() != 4) return false;
  if (stem.compare(0, 3, OLESTR("COM")) != 0 && stem.compare(0, 3, OLESTR("LPT")) != 0) return false;
  const OLECHAR digit = stem[3];
  return (digit >= OLESTR('0') && digit <= OLESTR('9')) || digit == 0x00B9 || digit == 0x00B2 || digit == 0x00B3;
}

std::size_t Utf8Length(char32_t codePoint) {
  return codePoint < 0x80 ? 1 : codePoint < 0x800 ? 2 : codePoint < 0x10000 ? 3 : 4;
}

// The longest prefix of whole characters that fits in `maxBytes` of UTF-8.
win32::OleString CutToUtf8Bytes(const win32::OleString& name, std::size_t maxBytes) {
  std::size_t bytes = 0, i = 0;
  while (i < name.size()) {
    const bool pair = IsHighSurrogate(name[i]) && i + 1 < name.size();
    const std::size_t units = pair ? 2 : 1;
    const std::size_t size = pair ? 4 : Utf8Length(name[i]);
    if (bytes + size > maxBytes) break;
    bytes += size;
    i += units;
  }
  return name.substr(0, i);
}

}  // namespace

std::string SafeFileName(win32::OleStringView serviceName) {
  if (serviceName.empty()) return std::string(kUnnamed) + kExtension;
  win32::OleString safe = Trim(ReplaceUnsafe(serviceName));
  if (safe.empty()) safe = win32::Widen(kUnnamed);
  if (IsDeviceName(safe)) safe.insert(safe.begin(), OLESTR('_'));
  safe = CutToUtf8Bytes(safe, kMaxNameBytes);

  std::string name = win32::Narrow(safe, CP_UTF8);
  if (safe != serviceName) {
    char suffix[16];
    std::snprintf(suffix, sizeof suffix, "-%08x", static_cast<unsigned>(NameHash(serviceName)));
    name += suffix;
  }
  return name + kExtension;
}

}  // namespace plandesk
