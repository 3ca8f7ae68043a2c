#include "browser/web_browser.h"

#include "browser/address.h"
#include "browser/com_support.h"
#include "browser/html_document.h"
#include "win32/strings.h"

namespace browser {
namespace {

// A VARIANT a caller leaves out: no pointer, VT_EMPTY, VT_NULL, VT_ERROR (DISP_E_PARAMNOTFOUND)
// or, as script callers pass it, an empty string.
bool IsLeftOut(const VARIANT* value) noexcept {
  if (value == nullptr) return true;
  switch (value->vt) {
    case VT_EMPTY:
    case VT_NULL:
    case VT_ERROR:
      return true;
    case VT_BSTR:
      return SysStringLen(value->bstrVal) == 0;
    default:
      return false;
  }
}

READYSTATE ToReadyState(ReadyState state) noexcept {
  switch (state) {
    case ReadyState::Loading: return READYSTATE_LOADING;
    case ReadyState::Interactive: return READYSTATE_INTERACTIVE;
    case ReadyState::Complete: return READYSTATE_COMPLETE;
    case ReadyState::Uninitialized: break;
  }
  return READYSTATE_UNINITIALIZED;
}

bool IsHtml(const std::string& contentType) {
  return contentType == "text/html" || contentType == "application/xhtml+xml";
}

}  // namespace

HRESULT WebBrowser::Create(REFIID riid, void** ppv) noexcept {
  const win32::ErrorSource source{&riid, kProgId};
  return win32::RunMethod(source, [&]() -> HRESULT {
    if (ppv == nullptr) return E_POINTER;
    *ppv = nullptr;
    std::string error;
    const std::string executable = ChromiumSession::DefaultExecutable();
    auto session = ChromiumSession::Start(&error, executable);
    if (!session) {
      const bool missing = !ChromiumSession::IsInstalled(executable);
      return source.Fail(missing ? HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND) : CO_E_SERVER_EXEC_FAILURE, error);
    }
    const std::string withoutSandbox = session->WithoutSandbox();
    const HRESULT hr = ComObject::Create(riid, ppv, std::make_shared<Connection>(std::move(session)));
    // A success all the same, but the caller is told that nothing stands between the page and
    // the account the browser runs as.
    if (SUCCEEDED(hr) && !withoutSandbox.empty()) source.Fail(hr, withoutSandbox);
    return hr;
  });
}

HRESULT WebBrowser::Navigate(BSTR URL, VARIANT*, VARIANT* TargetFrameName, VARIANT* PostData,
                             VARIANT* Headers) noexcept {
  return win32::RunMethod(kBrowserSource, [&]() -> HRESULT {
    ChromiumSession* session = connection_->session();
    if (session == nullptr) return Disconnected(kBrowserSource);
    if (SysStringLen(URL) == 0) return kBrowserSource.Fail(E_INVALIDARG, "no address was given");
    if (!IsLeftOut(TargetFrameName) || !IsLeftOut(PostData) || !IsLeftOut(Headers)) {
      return kBrowserSource.Fail(E_INVALIDARG, "target frames, post data and headers are not supported");
    }
    const std::string address = CompleteAddress(win32::Narrow(win32::ToView(URL), CP_UTF8));
    if (!session->Navigate(address)) return kBrowserSource.Fail(E_FAIL, "the browser took no navigation");
    return S_OK;
  });
}

HRESULT WebBrowser::get_Document(IDispatch** ppDisp) noexcept {
  return win32::RunMethod(kBrowserSource, [&]() -> HRESULT {
    if (ppDisp == nullptr) return E_POINTER;
    *ppDisp = nullptr;
    ChromiumSession* session = connection_->session();
    if (session == nullptr) return Disconnected(kBrowserSource);
    const auto type = session->ContentType();
    if (!type) return kBrowserSource.Fail(E_FAIL, "the browser did not describe its document");
    void** out = reinterpret_cast<void**>(ppDisp);
    return IsHtml(*type) ? HtmlDocument::Create(IID_IDispatch, out, connection_)
                         : OtherDocument::Create(IID_IDispatch, out);
  });
}

HRESULT WebBrowser::Quit() noexcept {
  return win32::RunMethod(kBrowserSource, [&] {
    connection_->Close();
    return S_OK;
  });
}

HRESULT WebBrowser::put_Visible(VARIANT_BOOL Value) noexcept {
  return win32::RunMethod(kBrowserSource, [&] {
    if (Value == VARIANT_FALSE) return S_OK;
    return kBrowserSource.Fail(E_NOTIMPL, "the browser runs headless and cannot be shown");
  });
}

HRESULT WebBrowser::get_ReadyState(READYSTATE* plReadyState) noexcept {
  return win32::RunMethod(kBrowserSource, [&]() -> HRESULT {
    if (plReadyState == nullptr) return E_POINTER;
    *plReadyState = READYSTATE_UNINITIALIZED;
    ChromiumSession* session = connection_->session();
    if (session == nullptr) return Disconnected(kBrowserSource);
    *plReadyState = ToReadyState(session->GetReadyState());
    return S_OK;
  });
}

HRESULT WebBrowser::InterfaceSupportsErrorInfo(REFIID riid) noexcept {
  return riid == IID_IWebBrowser2 || riid == IID_IWebBrowserApp || riid == IID_IWebBrowser ? S_OK : S_FALSE;
}

void* WebBrowser::QueryExtra(REFIID riid) noexcept {
  if (riid == IID_IWebBrowserApp) return static_cast<IWebBrowserApp*>(this);
  if (riid == IID_IWebBrowser) return static_cast<IWebBrowser*>(this);
  return nullptr;
}

}  // namespace browser
