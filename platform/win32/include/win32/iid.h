// IidOf<T>(): the interface identifier of an interface type, on every platform.
//
// Interfaces declare theirs with PL_DECLARE_IID next to their definition, which keeps one
// spelling for GCC, Clang and MinGW (no __uuidof needed).
#pragma once

#include "win32/base.h"

template <class T>
struct InterfaceIid;

template <class T>
inline const IID& IidOf() {
  return InterfaceIid<T>::value;
}

#define PL_DECLARE_IID(Interface, iidConstant)       \
  template <>                                        \
  struct InterfaceIid<Interface> {                   \
    static constexpr const IID& value = iidConstant; \
  }
