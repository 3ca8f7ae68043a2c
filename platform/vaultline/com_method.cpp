#include "com_method.h"

#include "win32/strings.h"

#include <cstdio>

namespace vaultline {
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
    return win32::ReportError(hr, *iid, win32::Widen(progId), win32::Widen(reason));
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
