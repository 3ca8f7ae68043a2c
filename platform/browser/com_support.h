// What the component's COM methods share: the shared method policy (win32/com_method.h) with the
// sources its failures are reported for. Reasons are UTF-8.
#pragma once

#include "win32/browser.h"
#include "win32/com_method.h"

#include <string>

namespace browser {

inline constexpr OLECHAR kProgId[] = u"InternetExplorer.Application";

inline const win32::ErrorSource kBrowserSource{&IID_IWebBrowser2, kProgId};
inline const win32::ErrorSource kDocumentSource{&IID_IHTMLDocument2, kProgId};
inline const win32::ErrorSource kLinksSource{&IID_IHTMLElementCollection, kProgId};
inline const win32::ErrorSource kElementSource{&IID_IHTMLElement, kProgId};

// The browser behind the object has quit.
inline HRESULT Disconnected(const win32::ErrorSource& source) noexcept {
  return source.Fail(RPC_E_DISCONNECTED, "the browser has quit");
}

// A new BSTR copy of `text` in *out; E_POINTER or E_OUTOFMEMORY when that cannot be.
HRESULT CopyOut(const std::u16string& text, BSTR* out) noexcept;

}  // namespace browser
