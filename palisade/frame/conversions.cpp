#include "frame/conversions.h"

namespace frame {

win32::Bstr ToBstr(const char* text) {
  if (text == nullptr) return {};
  return win32::Bstr(win32::Widen(text, CP_ACP));
}

win32::Bstr ToBstr(const std::string& text) { return ToBstr(text.c_str()); }

std::string FromBstr(BSTR text) {
  if (text == nullptr) return {};
  win32::OleStringView chars = win32::ToView(text);
  chars = chars.substr(0, chars.find(OLESTR('\0')));
  return win32::Narrow(chars, CP_ACP);
}

}  // namespace frame
