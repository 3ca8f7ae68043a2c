#include "com_method.h"

#include "win32/strings.h"

namespace vaultline {

std::string FromBstr(BSTR text) { return win32::Narrow(win32::ToView(text)); }

BSTR ToBstr(std::string_view ansi) { return win32::Bstr(win32::Widen(ansi)).Detach(); }

HRESULT GetText(const ErrorSource& source, const std::string& value, BSTR* out) noexcept {
  return RunMethod(source, [&] {
    if (out == nullptr) return E_POINTER;
    *out = nullptr;
    *out = ToBstr(value);
    return S_OK;
  });
}

HRESULT PutText(const ErrorSource& source, std::string& value, BSTR text) noexcept {
  return RunMethod(source, [&] {
    value = FromBstr(text);
    return S_OK;
  });
}

}  // namespace vaultline
