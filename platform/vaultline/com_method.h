// What every COM method of the component shares: the exception boundary, error information and
// the BSTR <-> ANSI text conversions.
#pragma once

#include "win32/com_object.h"

#include <string>
#include <string_view>
#include <utility>

namespace vaultline {

// The interface and class a failure is reported for.
struct ErrorSource {
  const IID* iid;
  const char* progId;

  // Leaves `reason` (one line, ANSI) as the thread's error information; returns `hr`.
  HRESULT Fail(HRESULT hr, std::string_view reason) const noexcept;
  // Keeps error information the body left; otherwise leaves a reason derived from `hr`.
  void EnsureReported(HRESULT hr) const noexcept;
};

// Runs a method body: nothing is thrown past it, stale error information of earlier calls is
// cleared, and every failure leaves error information behind.
template <class Body>
HRESULT RunMethod(const ErrorSource& source, Body&& body) noexcept {
  SetErrorInfo(0, nullptr);
  const HRESULT hr = win32::ComBoundary(std::forward<Body>(body));
  if (FAILED(hr)) source.EnsureReported(hr);
  return hr;
}

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
