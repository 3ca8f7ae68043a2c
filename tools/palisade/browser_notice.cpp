#include "browser_notice.h"

#include "win32/browser.h"
#include "win32/com_object.h"
#include "win32/comptr.h"
#include "win32/strings.h"

#include <utility>

namespace cli {
namespace {

class NoticingClass final : public win32::ComObject<NoticingClass, IClassFactory> {
 public:
  NoticingClass(IClassFactory* real, std::function<void(const std::string&)> tell)
      : real_(real), tell_(std::move(tell)) {}

  HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID riid, void** ppv) noexcept override {
    SetErrorInfo(0, nullptr);
    const HRESULT hr = real_->CreateInstance(outer, riid, ppv);
    // A failure's reason stays for the caller, who reports it.
    if (SUCCEEDED(hr)) {
      try {
        const std::string notice = TakeErrorDescription();
        if (!notice.empty()) tell_(notice);
      } catch (...) {
        // Telling is a courtesy; the browser was made all the same.
      }
    }
    return hr;
  }
  HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) noexcept override { return real_->LockServer(lock); }

 private:
  CComPtr<IClassFactory> real_;
  std::function<void(const std::string&)> tell_;
};

}  // namespace

std::string TakeErrorDescription() {
  IErrorInfo* info = nullptr;
  if (GetErrorInfo(0, &info) != S_OK || info == nullptr) return {};
  win32::Bstr description;
  info->GetDescription(description.out());
  info->Release();
  return win32::Narrow(description.view());
}

BrowserStartNotice::BrowserStartNotice(std::function<void(const std::string&)> tell) {
  CComPtr<IClassFactory> real, noticing;
  // Without the browser class there is nothing to say; the creation fails on its own.
  if (FAILED(CoGetClassObject(CLSID_InternetExplorer, CLSCTX_INPROC_SERVER | CLSCTX_LOCAL_SERVER, nullptr,
                              IID_IClassFactory, reinterpret_cast<void**>(&real))) ||
      FAILED(NoticingClass::Create(IID_IClassFactory, reinterpret_cast<void**>(&noticing), real.p, std::move(tell)))) {
    return;
  }
  CoRegisterClassObject(CLSID_InternetExplorer, noticing, CLSCTX_INPROC_SERVER | CLSCTX_LOCAL_SERVER,
                        REGCLS_MULTIPLEUSE, &cookie_);
}

BrowserStartNotice::~BrowserStartNotice() {
  if (cookie_ != 0) CoRevokeClassObject(cookie_);
}

}  // namespace cli
