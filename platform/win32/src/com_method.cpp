// The COM-method policy: error information that every failure leaves.
#include "win32/com_method.h"

#include "win32/strings.h"

#include <cstdio>

namespace win32 {
namespace {

std::string DefaultReason(HRESULT hr) {
  switch (hr) {
    case E_POINTER: return "a required pointer argument is NULL";
    case E_OUTOFMEMORY: return "out of memory";
    case E_INVALIDARG: return "invalid argument";
    case E_NOTIMPL: return "not implemented";
    default: {
      char text[64];
      std::snprintf(text, sizeof text, "failed with HRESULT 0x%08X", static_cast<unsigned>(hr));
      return text;
    }
  }
}

}  // namespace

HRESULT ErrorSource::Fail(HRESULT hr, std::string_view reason) const noexcept {
  try {
    return ReportError(hr, *iid, progId, Widen(reason, codePage));
  } catch (...) {
    return hr;  // no memory left to describe it: the HRESULT alone must do
  }
}

void ErrorSource::EnsureReported(HRESULT hr) const noexcept {
  IErrorInfo* info = nullptr;
  if (GetErrorInfo(0, &info) == S_OK && info) {
    SetErrorInfo(0, info);
    info->Release();
    return;
  }
  try {
    Fail(hr, DefaultReason(hr));
  } catch (...) {
  }
}

}  // namespace win32
