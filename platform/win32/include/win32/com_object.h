// Building blocks for COM objects of our own components (and of test fakes).
//
// ComObject<Derived, Interfaces...> supplies IUnknown (a thread-safe count; QueryInterface for
// IUnknown, IDispatch when the first interface is dual, and each listed interface) and IDispatch
// members answering E_NOTIMPL. Derived classes are `final` and are deleted on the last Release.
// Every object is counted by the runtime's diagnostics, so tests can prove nothing was leaked.
#pragma once

#include "win32/comerror.h"
#include "win32/diagnostics.h"

#include <atomic>
#include <cstddef>
#include <new>
#include <string>
#include <type_traits>

namespace win32 {

// Runs `body` as the body of a COM method: nothing is thrown past it. Allocation failures become
// E_OUTOFMEMORY, COM errors their HRESULT, anything else E_FAIL.
template <class Body>
HRESULT ComBoundary(Body&& body) noexcept {
  try {
    return body();
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  } catch (const _com_error& e) {
    return e.Error();
  } catch (...) {
    return E_FAIL;
  }
}

template <class Derived, class First, class... Rest>
class ComObject : public First, public Rest... {
 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) {
    if (ppv == nullptr) return E_POINTER;
    *ppv = nullptr;
    if (riid == IID_IUnknown) {
      *ppv = static_cast<IUnknown*>(static_cast<First*>(this));
    } else if constexpr (std::is_base_of_v<IDispatch, First>) {
      if (riid == IID_IDispatch) *ppv = static_cast<IDispatch*>(static_cast<First*>(this));
    }
    if (*ppv == nullptr) *ppv = Find<First, Rest...>(riid);
    if (*ppv == nullptr) *ppv = static_cast<Derived*>(this)->QueryExtra(riid);
    if (*ppv == nullptr) return E_NOINTERFACE;
    AddRef();
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() { return ++refs_; }
  ULONG STDMETHODCALLTYPE Release() {
    const ULONG left = --refs_;
    if (left == 0) delete static_cast<Derived*>(this);
    return left;
  }

  // IDispatch, for dual interfaces: late binding is not offered.
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) {
    if (count) *count = 0;
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) {
    return E_NOTIMPL;
  }

  // Creates an object and hands out `riid` on it; the creation reference is dropped, so a failed
  // QueryInterface leaves nothing alive.
  template <class... Args>
  static HRESULT Create(REFIID riid, void** ppv, Args&&... args) noexcept {
    if (ppv == nullptr) return E_POINTER;
    *ppv = nullptr;
    return ComBoundary([&] {
      Derived* object = new Derived(std::forward<Args>(args)...);
      object->AddRef();
      const HRESULT hr = object->QueryInterface(riid, ppv);
      object->Release();
      return hr;
    });
  }

 protected:
  ComObject() noexcept { ComDiagObjectCreated(); }
  ComObject(const ComObject&) = delete;
  ComObject& operator=(const ComObject&) = delete;
  ~ComObject() { ComDiagObjectDestroyed(); }

  // Further interfaces a derived class answers for (ISupportErrorInfo, say); NULL for none.
  void* QueryExtra(REFIID) noexcept { return nullptr; }

 private:
  template <class I, class... More>
  void* Find(REFIID riid) noexcept {
    if (riid == IidOf<I>()) return static_cast<I*>(this);
    if constexpr (sizeof...(More) > 0) {
      return Find<More...>(riid);
    } else {
      return nullptr;
    }
  }

  std::atomic<ULONG> refs_{0};
};

// The class object of a component class: creates T on request, refuses aggregation.
template <class T>
class ClassFactory final : public ComObject<ClassFactory<T>, IClassFactory> {
 public:
  HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID riid, void** ppv) noexcept {
    if (ppv) *ppv = nullptr;
    if (outer) return CLASS_E_NOAGGREGATION;
    return ComBoundary([&] { return T::Create(riid, ppv); });
  }
  HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) noexcept {
    ComModuleLock(lock != FALSE);
    return S_OK;
  }
};

// One class an in-process server serves, for ServeClassObject.
struct ServedClass {
  const CLSID* clsid;
  HRESULT (*createFactory)(REFIID riid, void** ppv) noexcept;
};
template <class T>
constexpr ServedClass Served(const CLSID& clsid) {
  return {&clsid, &ClassFactory<T>::template Create<>};
}

// The body of a server's DllGetClassObject: the class object of `clsid` among `classes`,
// CLASS_E_CLASSNOTAVAILABLE for any other.
template <std::size_t N>
HRESULT ServeClassObject(const ServedClass (&classes)[N], REFCLSID clsid, REFIID riid, void** ppv) noexcept {
  if (ppv == nullptr) return E_POINTER;
  *ppv = nullptr;
  for (const ServedClass& served : classes) {
    if (clsid == *served.clsid) return served.createFactory(riid, ppv);
  }
  return CLASS_E_CLASSNOTAVAILABLE;
}

// Leaves error information for the caller of a method of `iid` and returns `hr`.
WIN32_API HRESULT ReportError(HRESULT hr, REFIID iid, const OleString& source, const OleString& description) noexcept;

}  // namespace win32
