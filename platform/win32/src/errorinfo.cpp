// Per-thread error information, and the error-information object that components fill in.
#include "win32/com_object.h"
#include "win32/strings.h"

_com_error::~_com_error() {
  if (info_) info_->Release();
}

namespace {

thread_local IErrorInfo* t_errorInfo = nullptr;

class ErrorInfo final : public win32::ComObject<ErrorInfo, IErrorInfo, ICreateErrorInfo> {
 public:
  static HRESULT Create(REFIID riid, void** ppv) { return ComObject::Create(riid, ppv); }

  HRESULT STDMETHODCALLTYPE GetGUID(GUID* guid) override {
    if (guid == nullptr) return E_INVALIDARG;
    *guid = guid_;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetSource(BSTR* out) override { return Copy(source_, out); }
  HRESULT STDMETHODCALLTYPE GetDescription(BSTR* out) override { return Copy(description_, out); }
  HRESULT STDMETHODCALLTYPE GetHelpFile(BSTR* out) override { return Copy(helpFile_, out); }
  HRESULT STDMETHODCALLTYPE GetHelpContext(DWORD* context) override {
    if (context == nullptr) return E_INVALIDARG;
    *context = helpContext_;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE SetGUID(REFGUID guid) override {
    guid_ = guid;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE SetSource(LPOLESTR text) override { return Assign(source_, text); }
  HRESULT STDMETHODCALLTYPE SetDescription(LPOLESTR text) override { return Assign(description_, text); }
  HRESULT STDMETHODCALLTYPE SetHelpFile(LPOLESTR text) override { return Assign(helpFile_, text); }
  HRESULT STDMETHODCALLTYPE SetHelpContext(DWORD context) override {
    helpContext_ = context;
    return S_OK;
  }

 private:
  static HRESULT Copy(const std::u16string& text, BSTR* out) {
    if (out == nullptr) return E_INVALIDARG;
    *out = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
    return *out ? S_OK : E_OUTOFMEMORY;
  }
  static HRESULT Assign(std::u16string& field, LPOLESTR text) {
    return win32::ComBoundary([&] {
      field = text ? text : u"";
      return S_OK;
    });
  }

  GUID guid_ = GUID_NULL;
  std::u16string source_, description_, helpFile_;
  DWORD helpContext_ = 0;
};

}  // namespace

extern "C" HRESULT WINAPI SetErrorInfo(ULONG, IErrorInfo* info) {
  if (info) info->AddRef();
  IErrorInfo* old = t_errorInfo;
  t_errorInfo = info;
  if (old) old->Release();
  return S_OK;
}

extern "C" HRESULT WINAPI GetErrorInfo(ULONG, IErrorInfo** info) {
  if (info == nullptr) return E_INVALIDARG;
  *info = t_errorInfo;
  t_errorInfo = nullptr;
  return *info ? S_OK : S_FALSE;
}

extern "C" HRESULT WINAPI CreateErrorInfo(ICreateErrorInfo** info) {
  return ErrorInfo::Create(IID_ICreateErrorInfo, reinterpret_cast<void**>(info));
}
