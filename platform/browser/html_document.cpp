#include "browser/html_document.h"

#include "browser/com_support.h"
#include "browser/web_browser.h"

namespace browser {
namespace {

bool IsArea(const std::u16string& tagName) {
  return tagName.size() == 4 && (tagName[0] | 0x20) == u'a' && (tagName[1] | 0x20) == u'r' &&
         (tagName[2] | 0x20) == u'e' && (tagName[3] | 0x20) == u'a';
}

// The position a VARIANT holds, or -1 when it holds no integer.
long long PositionOf(const VARIANT& value) noexcept {
  switch (value.vt) {
    case VT_I1: return static_cast<signed char>(value.iVal & 0xFF);
    case VT_UI1: return value.iVal & 0xFF;
    case VT_I2: return value.iVal;
    case VT_UI2: return static_cast<USHORT>(value.iVal);
    case VT_I4:
    case VT_INT: return value.lVal;
    case VT_UI4:
    case VT_UINT: return static_cast<ULONG>(value.lVal);
    default: return -1;
  }
}

}  // namespace

HRESULT HtmlDocument::get_links(IHTMLElementCollection** p) noexcept {
  return win32::RunMethod(kDocumentSource, [&]() -> HRESULT {
    if (p == nullptr) return E_POINTER;
    *p = nullptr;
    ChromiumSession* session = connection_->session();
    if (session == nullptr) return Disconnected(kDocumentSource);
    auto links = session->GetLinks();
    if (!links) return kDocumentSource.Fail(E_FAIL, "the browser did not list the document's links");
    return LinkCollection::Create(IidOf<IHTMLElementCollection>(), reinterpret_cast<void**>(p), std::move(*links));
  });
}

void* HtmlDocument::QueryExtra(REFIID riid) noexcept {
  return riid == IID_IHTMLDocument ? static_cast<IHTMLDocument*>(this) : nullptr;
}

HRESULT LinkCollection::get_length(LONG* p) noexcept {
  return win32::RunMethod(kLinksSource, [&] {
    if (p == nullptr) return E_POINTER;
    *p = static_cast<LONG>(links_.size());
    return S_OK;
  });
}

HRESULT LinkCollection::item(VARIANT name, VARIANT, IDispatch** pdisp) noexcept {
  return win32::RunMethod(kLinksSource, [&]() -> HRESULT {
    if (pdisp == nullptr) return E_POINTER;
    *pdisp = nullptr;
    const long long position = PositionOf(name);
    if (position < 0) return kLinksSource.Fail(E_INVALIDARG, "the position is no integer");
    if (static_cast<unsigned long long>(position) >= links_.size()) return S_OK;
    void** out = reinterpret_cast<void**>(pdisp);
    Link link = links_[static_cast<std::size_t>(position)];
    return IsArea(link.tagName) ? AreaElement::Create(IID_IDispatch, out, std::move(link))
                                : AnchorElement::Create(IID_IDispatch, out, std::move(link));
  });
}

HRESULT AnchorElement::get_tagName(BSTR* p) noexcept { return CopyOut(link_.tagName, p); }
HRESULT AnchorElement::get_href(BSTR* p) noexcept { return CopyOut(link_.href, p); }
HRESULT AreaElement::get_tagName(BSTR* p) noexcept { return CopyOut(link_.tagName, p); }

}  // namespace browser
