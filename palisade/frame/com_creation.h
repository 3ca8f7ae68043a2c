// Creation of the product's COM classes by ProgID.
#pragma once

#include "win32/comptr.h"

namespace frame {

// CLSIDFromProgID, then an in-process instance holding interface T; empty when either fails (a
// pointer that a failing server left behind is given back).
template <class T>
CComPtr<T> CreateByProgId(const OLECHAR* progId) noexcept {
  CComPtr<T> object;
  if (FAILED(object.CoCreateInstance(progId, nullptr, CLSCTX_INPROC_SERVER))) object.Release();
  return object;
}

}  // namespace frame
