// Creation of the product's COM classes by ProgID.
#pragma once

#include "win32/comptr.h"

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

}  // namespace frame
