// The browser application object (CLSID_InternetExplorer): IWebBrowser2 over a ChromiumSession.
#pragma once

#include "browser/chromium_session.h"
#include "win32/browser.h"
#include "win32/com_object.h"

#include <memory>

namespace browser {

// One browser session, shared by the application object and the documents it hands out, and
// closed by the application object alone: Quit, or its last Release, ends the browser whoever
// still holds a document.
class Connection {
 public:
  explicit Connection(std::unique_ptr<ChromiumSession> session) noexcept : session_(std::move(session)) {}
  // NULL once closed.
  ChromiumSession* session() const noexcept { return session_.get(); }
  void Close() noexcept { session_.reset(); }

 private:
  std::unique_ptr<ChromiumSession> session_;
};

class WebBrowser final : public win32::ComObject<WebBrowser, IWebBrowser2, ISupportErrorInfo> {
 public:
  // Starts a browser and hands out `riid` on its application object. A browser that is missing or
  // does not start fails the creation, leaving the reason as error information; one that had to
  // start without its sandbox succeeds, leaving that as error information.
  static HRESULT Create(REFIID riid, void** ppv) noexcept;

  explicit WebBrowser(std::shared_ptr<Connection> connection) noexcept : connection_(std::move(connection)) {}
  ~WebBrowser() { connection_->Close(); }

  // Takes `URL` as a person would type it (browser/address.h). The flags are ignored; a target
  // frame, post data or headers are not supported.
  HRESULT STDMETHODCALLTYPE Navigate(BSTR URL, VARIANT* Flags, VARIANT* TargetFrameName, VARIANT* PostData,
                                     VARIANT* Headers) noexcept override;
  // An IHTMLDocument2 for HTML and XHTML documents; any other document answers IDispatch only.
  HRESULT STDMETHODCALLTYPE get_Document(IDispatch** ppDisp) noexcept override;
  // Ends the browser's processes and deletes its profile; later calls answer RPC_E_DISCONNECTED.
  HRESULT STDMETHODCALLTYPE Quit() noexcept override;
  // The browser is never shown: VARIANT_FALSE is all it takes.
  HRESULT STDMETHODCALLTYPE put_Visible(VARIANT_BOOL Value) noexcept override;
  // See ChromiumSession::GetReadyState.
  HRESULT STDMETHODCALLTYPE get_ReadyState(READYSTATE* plReadyState) noexcept override;

  HRESULT STDMETHODCALLTYPE InterfaceSupportsErrorInfo(REFIID riid) noexcept override;
  // IWebBrowser and IWebBrowserApp, the interfaces IWebBrowser2 extends.
  void* QueryExtra(REFIID riid) noexcept;

 private:
  std::shared_ptr<Connection> connection_;
};

}  // namespace browser
