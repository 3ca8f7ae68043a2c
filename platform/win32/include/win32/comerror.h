// _com_error and the functions that raise it, on every platform.
//
// _com_issue_errorex attaches the thread's error information only when the object says, through
// ISupportErrorInfo, that it sets error information for that interface (as Windows' compiler
// support library does); otherwise stale information of another call is left alone.
#pragma once

#include "win32/com.h"
#include "win32/comptr.h"

#include <exception>
#include <string>
#include <utility>

// Elsewhere than Windows the destructor is the key function, defined in the runtime: the type
// information then lives in one shared object, and a _com_error thrown in a component is caught by
// the library that called it without each module exporting its own copy.
#if defined(_WIN32)
#define PL_VISIBLE_TYPE
#define PL_COM_ERROR_DTOR_INLINE 1
#else
#define PL_VISIBLE_TYPE __attribute__((visibility("default")))
#define PL_COM_ERROR_DTOR_INLINE 0
#endif

class PL_VISIBLE_TYPE _com_error : public std::exception {
 public:
  // Takes over the reference to `info` unless `addRef` is set.
  explicit _com_error(HRESULT hr, IErrorInfo* info = nullptr, bool addRef = false) noexcept : hr_(hr), info_(info) {
    if (info_ && addRef) info_->AddRef();
  }
  _com_error(const _com_error& other) noexcept : _com_error(other.hr_, other.info_, true) {}
  _com_error& operator=(const _com_error& other) noexcept {
    if (other.info_) other.info_->AddRef();
    if (info_) info_->Release();
    hr_ = other.hr_;
    info_ = other.info_;
    return *this;
  }
#if PL_COM_ERROR_DTOR_INLINE
  ~_com_error() override {
    if (info_) info_->Release();
  }
#else
  ~_com_error() override;
#endif

  HRESULT Error() const noexcept { return hr_; }
  // A new reference to the error information, or NULL.
  IErrorInfo* ErrorInfo() const noexcept {
    if (info_) info_->AddRef();
    return info_;
  }
  // The description the object left; empty when it left none.
  win32::OleString Description() const {
    win32::OleString text;
    BSTR description = nullptr;
    if (info_ && SUCCEEDED(info_->GetDescription(&description)) && description) text = description;
    SysFreeString(description);
    return text;
  }
  const char* what() const noexcept override { return "COM error"; }

 private:
  HRESULT hr_;
  IErrorInfo* info_;
};

[[noreturn]] inline void _com_issue_error(HRESULT hr) { throw _com_error(hr); }

namespace win32 {
// The raising layer of an interface wrapper: a failed `hr` of a call through `object`'s interface
// I raises _com_error (with the error information the object vouches for); any other is returned.
template <class I>
HRESULT RaiseOnFailure(HRESULT hr, I* object);
}  // namespace win32

[[noreturn]] inline void _com_issue_errorex(HRESULT hr, IUnknown* object, REFIID riid) {
  IErrorInfo* info = nullptr;
  if (object) {
    CComPtr<ISupportErrorInfo> support;
    if (SUCCEEDED(object->QueryInterface(IID_ISupportErrorInfo, reinterpret_cast<void**>(&support))) && support &&
        support->InterfaceSupportsErrorInfo(riid) == S_OK) {
      if (GetErrorInfo(0, &info) != S_OK) info = nullptr;
    }
  }
  throw _com_error(hr, info);
}

template <class I>
HRESULT win32::RaiseOnFailure(HRESULT hr, I* object) {
  if (FAILED(hr)) _com_issue_errorex(hr, object, IidOf<I>());
  return hr;
}
