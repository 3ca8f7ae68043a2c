// Creation of the product's COM classes by ProgID.
#pragma once

#include "win32/comptr.h"

namespace frame {

// CLSIDFromProgID, then an in-process instance holding interface T; empty when either fails (a
// pointer that a failing server left behind is given back). What a class object throws (out of
// memory, say) reaches the operation's own handler.
template <class T>
CComPtr<T> CreateByProgId(const OLECHAR* progId) {
  CComPtr<T> object;
  if (FAILED(object.CoCreateInstance(progId, nullptr, CLSCTX_INPROC_SERVER))) object.Release();
  return object;
}

}  // namespace frame
