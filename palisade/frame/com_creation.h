// Creation of the product's COM classes by ProgID.
#pragma once

#include "win32/comptr.h"
#include "win32/strings.h"

namespace frame {

// CLSIDFromProgID, then an in-process instance holding interface T; empty when either fails.
template <class T>
CComPtr<T> CreateByProgId(const OLECHAR* progId) noexcept {
  CComPtr<T> object;
  CLSID clsid;
  if (SUCCEEDED(CLSIDFromProgID(progId, &clsid))) {
    T* raw = nullptr;
    if (SUCCEEDED(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IidOf<T>(), reinterpret_cast<void**>(&raw)))) {
      object.Attach(raw);
    } else if (raw) {
      raw->Release();
    }
  }
  return object;
}

// The same for a ProgID in narrow text; a ProgID that cannot be converted gives an empty pointer.
template <class T>
CComPtr<T> CreateByProgId(const char* progId) noexcept {
  try {
    return CreateByProgId<T>(win32::Widen(progId, CP_ACP).c_str());
  } catch (...) {
    return {};
  }
}

}  // namespace frame
