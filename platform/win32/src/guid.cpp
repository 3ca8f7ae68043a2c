// GUIDs in their braced text form.
#include "win32/com.h"
#include "runtime.h"

namespace {

int HexValue(OLECHAR c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

}  // namespace

namespace win32rt {

bool ParseGuid(std::u16string_view text, GUID& out) {
  // {xxxxxxxx-xxxx-xxxx-xxxx-xxxxxxxxxxxx}
  if (text.size() != 38 || text[0] != '{' || text[37] != '}') return false;
  unsigned char bytes[16];
  std::size_t pos = 1;
  int n = 0;
  for (int group : {4, 2, 2, 2, 6}) {
    for (int i = 0; i < group; ++i, pos += 2) {
      const int hi = HexValue(text[pos]);
      const int lo = HexValue(text[pos + 1]);
      if (hi < 0 || lo < 0) return false;
      bytes[n++] = static_cast<unsigned char>(hi << 4 | lo);
    }
    if (pos < 37 && text[pos++] != '-') return false;
  }
  if (pos != 37) return false;
  out.Data1 = static_cast<std::uint32_t>(bytes[0]) << 24 | bytes[1] << 16 | bytes[2] << 8 | bytes[3];
  out.Data2 = static_cast<std::uint16_t>(bytes[4] << 8 | bytes[5]);
  out.Data3 = static_cast<std::uint16_t>(bytes[6] << 8 | bytes[7]);
  std::memcpy(out.Data4, bytes + 8, 8);
  return true;
}

std::u16string FormatGuid(REFGUID g) {
  static const char kHex[] = "0123456789ABCDEF";
  std::u16string s = u"{";
  auto put = [&](std::uint32_t value, int digits) {
    for (int i = digits - 1; i >= 0; --i) s.push_back(static_cast<char16_t>(kHex[(value >> (4 * i)) & 0xF]));
  };
  put(g.Data1, 8);
  s.push_back('-');
  put(g.Data2, 4);
  s.push_back('-');
  put(g.Data3, 4);
  s.push_back('-');
  put(g.Data4[0], 2);
  put(g.Data4[1], 2);
  s.push_back('-');
  for (int i = 2; i < 8; ++i) put(g.Data4[i], 2);
  s.push_back('}');
  return s;
}

}  // namespace win32rt

extern "C" int WINAPI StringFromGUID2(REFGUID guid, LPOLESTR out, int max) {
  const std::u16string text = win32rt::FormatGuid(guid);
  if (out == nullptr || max < static_cast<int>(text.size()) + 1) return 0;
  std::copy(text.begin(), text.end(), out);
  out[text.size()] = 0;
  return static_cast<int>(text.size()) + 1;
}

extern "C" HRESULT WINAPI CLSIDFromString(LPCOLESTR text, LPCLSID clsid) {
  if (clsid == nullptr) return E_INVALIDARG;
  *clsid = CLSID_NULL;
  if (text == nullptr) return S_OK;
  if (win32rt::ParseGuid(text, *clsid)) return S_OK;
  return CLSIDFromProgID(text, clsid);
}
