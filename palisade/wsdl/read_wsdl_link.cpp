// WsdlDataUtils::ReadWsdlLink: the first WSDL link of a page opened in a hidden browser.
#include "palisade/wsdl_data_utils.h"

#include "frame/conversions.h"
#include "frame/scope_exit.h"
#include "win32/browser.h"
#include "win32/comptr.h"
#include "win32/kernel.h"

#include <string>

namespace {

// The page gets at most this many readings of its state, the first at once after Navigate and each
// one that does not find the page complete followed by a pause.
constexpr int kReadings = 21;
constexpr DWORD kPauseMs = 250;

bool IsAnchorTag(const std::string& tagName) { return tagName == "a" || tagName == "A"; }

// Case-sensitive, anywhere in the address.
bool NamesWsdl(const std::string& address) {
  return address.find("?wsdl") != std::string::npos || address.find(".wsdl") != std::string::npos;
}

// The page's state after at most kReadings readings.
READYSTATE WaitForPage(IWebBrowser2* browser) {
  READYSTATE state = READYSTATE_UNINITIALIZED;
  for (int reading = 1; reading <= kReadings; ++reading) {
    // A reading that fails leaves nothing behind: it does not find the page complete.
    state = READYSTATE_UNINITIALIZED;
    browser->get_ReadyState(&state);
    if (state == READYSTATE_COMPLETE) break;
    Sleep(kPauseMs);
  }
  return state;
}

// The address of the link at `position` when it is an anchor; false when the link is skipped.
bool AnchorAddress(IHTMLElementCollection* links, LONG position, std::string& address) {
  VARIANT index;
  VariantInit(&index);
  index.vt = VT_I4;
  index.lVal = position;
  CComPtr<IDispatch> item;
  if (FAILED(links->item(index, index, &item)) || !item) return false;

  CComPtr<IHTMLElement> element;
  if (FAILED(item.QueryInterface(&element)) || !element) return false;
  std::string tagName;
  {
    win32::Bstr tag;
    if (SUCCEEDED(element->get_tagName(tag.out()))) tagName = frame::FromBstr(tag.get());
  }
  if (!IsAnchorTag(tagName)) return false;

  CComPtr<IHTMLAnchorElement> anchor;
  if (FAILED(item.QueryInterface(&anchor)) || !anchor) return false;
  win32::Bstr href;
  if (FAILED(anchor->get_href(href.out()))) return false;
  address = frame::FromBstr(href.get());
  return true;
}

// Fills `mUrl` with the first anchor address that names a WSDL, if the document has one.
void ScanLinks(IWebBrowser2* browser, std::string& mUrl) {
  CComPtr<IDispatch> document;
  if (FAILED(browser->get_Document(&document)) || !document) return;
  CComPtr<IHTMLDocument2> htmlDocument;
  if (FAILED(document.QueryInterface(&htmlDocument)) || !htmlDocument) return;  // not HTML
  CComPtr<IHTMLElementCollection> links;
  if (FAILED(htmlDocument->get_links(&links)) || !links) return;

  LONG count = 0;
  links->get_length(&count);
  for (LONG position = 0; position < count; ++position) {
    if (!AnchorAddress(links, position, mUrl)) continue;
    if (NamesWsdl(mUrl)) return;
    mUrl.clear();
  }
}

}  // namespace

bool WsdlDataUtils::ReadWsdlLink(std::string& mWsdlWebLocation, std::string& mUrl) {
  mUrl.clear();
  try {
    CComPtr<IWebBrowser2> browser;
    {
      IWebBrowser2* created = nullptr;
      const HRESULT hr = CoCreateInstance(CLSID_InternetExplorer, nullptr, CLSCTX_INPROC_SERVER | CLSCTX_LOCAL_SERVER,
                                          IidOf<IWebBrowser2>(), reinterpret_cast<void**>(&created));
      browser.Attach(created);  // an interface handed back with a failure is released too
      if (FAILED(hr) || !browser) return false;
    }
    // Quits the browser when the operation ends, however it ends; the document and link
    // interfaces, made after it, are released first.
    const frame::ScopeExit quit([&browser] { browser->Quit(); });

    browser->put_Visible(VARIANT_FALSE);
    {
      win32::Bstr address = frame::ToBstr(mWsdlWebLocation);
      VARIANT empty;
      VariantInit(&empty);
      browser->Navigate(address.get(), &empty, &empty, &empty, &empty);
    }
    if (WaitForPage(browser) != READYSTATE_COMPLETE) return false;
    ScanLinks(browser, mUrl);
    return true;
  } catch (...) {
    mUrl.clear();
    return false;
  }
}
