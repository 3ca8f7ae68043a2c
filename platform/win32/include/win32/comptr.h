// CComPtr<T>: holds one reference to a COM interface.
//
// Copying adds a reference; assignment adds the new one before releasing the old (so assigning a
// pointer to itself is safe); Release(), reset by assignment and destruction give the reference up.
#pragma once

#include "win32/com.h"
#include "win32/iid.h"

#include <memory>
#include <utility>

template <class T>
class CComPtr {
 public:
  CComPtr() noexcept = default;
  CComPtr(T* p) noexcept : p(p) {  // NOLINT: implicit, as in ATL
    if (p) p->AddRef();
  }
  CComPtr(const CComPtr& other) noexcept : CComPtr(other.p) {}
  CComPtr(CComPtr&& other) noexcept : p(std::exchange(other.p, nullptr)) {}
  ~CComPtr() { Release(); }

  CComPtr& operator=(T* other) noexcept {
    if (other) other->AddRef();
    T* old = std::exchange(p, other);
    if (old) old->Release();
    return *this;
  }
  CComPtr& operator=(const CComPtr& other) noexcept { return *this = other.p; }
  CComPtr& operator=(CComPtr&& other) noexcept {
    if (this != std::addressof(other)) {  // operator& would release `other`
      T* old = std::exchange(p, std::exchange(other.p, nullptr));
      if (old) old->Release();
    }
    return *this;
  }

  // Gives up the reference, if any.
  void Release() noexcept {
    if (T* old = std::exchange(p, nullptr)) old->Release();
  }
  // Takes over a reference the caller owns, without AddRef.
  void Attach(T* other) noexcept {
    T* old = std::exchange(p, other);
    if (old) old->Release();
  }
  // Hands the reference to the caller.
  [[nodiscard]] T* Detach() noexcept { return std::exchange(p, nullptr); }

  // For out-parameters: releases what is held first, so nothing leaks when it is reused.
  T** operator&() noexcept {
    Release();
    return &p;
  }
  T* operator->() const noexcept { return p; }
  operator T*() const noexcept { return p; }  // NOLINT: implicit, as in ATL
  bool operator!() const noexcept { return p == nullptr; }

  // Creates an instance of `clsid` holding interface T.
  HRESULT CoCreateInstance(REFCLSID clsid, IUnknown* outer = nullptr, DWORD context = CLSCTX_ALL) {
    Release();
    return ::CoCreateInstance(clsid, outer, context, IidOf<T>(), reinterpret_cast<void**>(&p));
  }
  // The same for the class a ProgID names (CLSIDFromProgID first; its failure is the result).
  HRESULT CoCreateInstance(LPCOLESTR progId, IUnknown* outer = nullptr, DWORD context = CLSCTX_ALL) {
    Release();
    CLSID clsid;
    const HRESULT hr = CLSIDFromProgID(progId, &clsid);
    return FAILED(hr) ? hr : CoCreateInstance(clsid, outer, context);
  }
  // Asks the held object for interface Q.
  template <class Q>
  HRESULT QueryInterface(Q** out) const noexcept {
    if (out == nullptr) return E_POINTER;
    *out = nullptr;
    if (p == nullptr) return E_POINTER;
    return p->QueryInterface(IidOf<Q>(), reinterpret_cast<void**>(out));
  }

  T* p = nullptr;
};
