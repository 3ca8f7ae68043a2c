// The component's property accessors and its BSTR <-> ANSI text conversions, under the shared
// COM-method policy (win32/com_method.h). Reasons and texts are in the ANSI code page.
#pragma once

#include "win32/com_method.h"

#include <string>
#include <string_view>

namespace vaultline {

using win32::ErrorSource;
using win32::RunMethod;

// The text of a BSTR in the ANSI code page (NULL is empty); characters it lacks become '?'.
std::string FromBstr(BSTR text);
// A new BSTR (never NULL) holding ANSI text; owned by the caller.
BSTR ToBstr(std::string_view ansi);

// Property accessors: the get hands out a copy, the put replaces the value (or changes nothing).
HRESULT GetText(const ErrorSource& source, const std::string& value, BSTR* out) noexcept;
HRESULT PutText(const ErrorSource& source, std::string& value, BSTR text) noexcept;
template <class T>
HRESULT GetScalar(const ErrorSource& source, T value, T* out) noexcept {
  return RunMethod(source, [&] {
    if (out == nullptr) return E_POINTER;
    *out = value;
    return S_OK;
  });
}
template <class T>
HRESULT PutScalar(const ErrorSource& source, T& value, T newValue) noexcept {
  return RunMethod(source, [&] {
    value = newValue;
    return S_OK;
  });
}

}  // namespace vaultline

// A property of a class's interface: its get and put over `member`, failures reported for `source`.
#define VAULTLINE_TEXT_PROPERTY(Name, source, member)                                           \
  HRESULT STDMETHODCALLTYPE get_##Name(BSTR* out) noexcept override {                          \
    return ::vaultline::GetText(source, member, out);                                          \
  }                                                                                             \
  HRESULT STDMETHODCALLTYPE put_##Name(BSTR value) noexcept override {                         \
    return ::vaultline::PutText(source, member, value);                                        \
  }
#define VAULTLINE_SCALAR_PROPERTY(Name, Type, source, member)                                   \
  HRESULT STDMETHODCALLTYPE get_##Name(Type* out) noexcept override {                          \
    return ::vaultline::GetScalar(source, member, out);                                        \
  }                                                                                             \
  HRESULT STDMETHODCALLTYPE put_##Name(Type value) noexcept override {                         \
    return ::vaultline::PutScalar(source, member, value);                                      \
  }
