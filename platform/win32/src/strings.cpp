// Narrow <-> UTF-16 conversions over the kernel32 functions, raising _com_error on failure.
#include "win32/strings.h"

#include <limits>

namespace win32 {
namespace {

[[noreturn]] void RaiseLastError() {
  const DWORD error = GetLastError();
  _com_issue_error(error == ERROR_SUCCESS ? E_FAIL : HRESULT_FROM_WIN32(error));
}

void CheckLength(std::size_t size) {
  if (size > static_cast<std::size_t>(std::numeric_limits<int>::max())) _com_issue_error(E_INVALIDARG);
}

}  // namespace

OleString Widen(std::string_view text, UINT codePage) {
  if (text.empty()) return {};
  CheckLength(text.size());
  const int size = static_cast<int>(text.size());
  const int needed = MultiByteToWideChar(codePage, 0, text.data(), size, nullptr, 0);
  if (needed <= 0) RaiseLastError();
  OleString out(static_cast<std::size_t>(needed), OLESTR('\0'));
  if (MultiByteToWideChar(codePage, 0, text.data(), size, out.data(), needed) != needed) RaiseLastError();
  return out;
}

std::string Narrow(OleStringView text, UINT codePage) {
  if (text.empty()) return {};
  CheckLength(text.size());
  const int size = static_cast<int>(text.size());
  // Windows would otherwise write look-alikes for characters the code page lacks (a fullwidth '\'
  // as '\'), where the default character has to stand; UTF-8 takes no such flag.
  const DWORD flags = codePage == CP_UTF8 ? 0 : WC_NO_BEST_FIT_CHARS;
  const int needed = WideCharToMultiByte(codePage, flags, text.data(), size, nullptr, 0, nullptr, nullptr);
  if (needed <= 0) RaiseLastError();
  std::string out(static_cast<std::size_t>(needed), '\0');
  if (WideCharToMultiByte(codePage, flags, text.data(), size, out.data(), needed, nullptr, nullptr) != needed) {
    RaiseLastError();
  }
  return out;
}

OleStringView ToView(BSTR text) noexcept {
  return text ? OleStringView(text, SysStringLen(text)) : OleStringView();
}

Bstr::Bstr(OleStringView text) {
  CheckLength(text.size());
  p_ = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
  if (p_ == nullptr) _com_issue_error(E_OUTOFMEMORY);
}

}  // namespace win32
