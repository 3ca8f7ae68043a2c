// The one policy for the COM methods of our components: nothing is thrown past a method, a
// caller never finds an earlier call's error information, and every failure leaves a description.
//
//   HRESULT Thing::raw_Do(BSTR name) noexcept {
//     return win32::RunMethod(kThingSource, [&]() -> HRESULT {
//       if (name == nullptr) return kThingSource.Fail(E_POINTER, "no name was given");
//       ...
//     });
//   }
#pragma once

#include "win32/com_object.h"
#include "win32/kernel.h"

#include <string_view>
#include <utility>

namespace win32 {

// The interface and class a method reports its failures for, and the code page its reasons are
// written in.
struct ErrorSource {
  const IID* iid;
  const OLECHAR* progId;
  UINT codePage = CP_UTF8;

  // Leaves `reason` (one line) as the thread's error information; returns `hr`.
  WIN32_API HRESULT Fail(HRESULT hr, std::string_view reason) const noexcept;
  // Keeps error information the method left; otherwise leaves a reason derived from `hr`.
  WIN32_API void EnsureReported(HRESULT hr) const noexcept;
};

// Runs a method body under the policy above.
template <class Body>
HRESULT RunMethod(const ErrorSource& source, Body&& body) noexcept {
  SetErrorInfo(0, nullptr);
  const HRESULT hr = ComBoundary(std::forward<Body>(body));
  if (FAILED(hr)) source.EnsureReported(hr);
  return hr;
}

// A slot that the component holds but does not implement.
inline HRESULT NotImplemented(const ErrorSource& source) noexcept {
  return RunMethod(source, [] { return E_NOTIMPL; });
}

}  // namespace win32
