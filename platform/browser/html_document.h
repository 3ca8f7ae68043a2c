// The document objects the browser hands out: an HTML document with its link collection and link
// elements, and the IDispatch-only stand-in for any other kind of document.
#pragma once

#include "browser/chromium_session.h"
#include "win32/browser.h"
#include "win32/com_object.h"

#include <memory>
#include <string>
#include <vector>

namespace browser {

class Connection;

// Reads the page live: get_links reports the document the browser shows at the time of the call.
class HtmlDocument final : public win32::ComObject<HtmlDocument, IHTMLDocument2> {
 public:
  explicit HtmlDocument(std::shared_ptr<Connection> connection) noexcept : connection_(std::move(connection)) {}

  // A snapshot of document.links, read in one round trip; RPC_E_DISCONNECTED once the browser quit.
  HRESULT STDMETHODCALLTYPE get_links(IHTMLElementCollection** p) noexcept override;
  // IHTMLDocument, which IHTMLDocument2 extends.
  void* QueryExtra(REFIID riid) noexcept;

 private:
  std::shared_ptr<Connection> connection_;
};

// A document that is not HTML (XML, plain text, an image): it offers no HTML interface.
class OtherDocument final : public win32::ComObject<OtherDocument, IDispatch> {};

class LinkCollection final : public win32::ComObject<LinkCollection, IHTMLElementCollection> {
 public:
  explicit LinkCollection(std::vector<Link> links) noexcept : links_(std::move(links)) {}

  HRESULT STDMETHODCALLTYPE get_length(LONG* p) noexcept override;
  // By position only: `name` holds an integer; `index` is not looked at. S_OK and NULL past the end.
  HRESULT STDMETHODCALLTYPE item(VARIANT name, VARIANT index, IDispatch** pdisp) noexcept override;

 private:
  std::vector<Link> links_;
};

// An "A" element: IHTMLElement and IHTMLAnchorElement.
class AnchorElement final : public win32::ComObject<AnchorElement, IHTMLElement, IHTMLAnchorElement> {
 public:
  explicit AnchorElement(Link link) noexcept : link_(std::move(link)) {}
  HRESULT STDMETHODCALLTYPE get_tagName(BSTR* p) noexcept override;
  HRESULT STDMETHODCALLTYPE get_href(BSTR* p) noexcept override;

 private:
  Link link_;
};

// An image-map "AREA" element: an element, but not an anchor.
class AreaElement final : public win32::ComObject<AreaElement, IHTMLElement> {
 public:
  explicit AreaElement(Link link) noexcept : link_(std::move(link)) {}
  HRESULT STDMETHODCALLTYPE get_tagName(BSTR* p) noexcept override;

 private:
  Link link_;
};

}  // namespace browser
