// A scripted browser for ReadWsdlLink, registered in place of the real one: it plays a page and
// writes down how it was called.
#pragma once

#include "win32/browser.h"
#include "win32/com_object.h"

#include <string>
#include <vector>

namespace wsdl_test {

struct FakeLink {
  enum Fault { kNone, kItemFails, kItemEmpty, kNotAnElement, kNotAnAnchor };
  const OLECHAR* tagName;  // nullptr: get_tagName fails
  const OLECHAR* href;     // nullptr: get_href fails
  Fault fault = kNone;
};

struct FakePage {
  int completeAtReading = 1;  // 0: never
  bool documentFails = false, notHtml = false, linksFail = false, lengthFails = false;
  HRESULT visibleAnswer = S_OK, navigateAnswer = S_OK;
  int silentReadings = 0;            // the first readings fail and write no state
  HRESULT readingAnswer = S_OK;      // what the other readings answer, their state written
  std::vector<FakeLink> links;
};

// What the browser was asked, in the order asked.
struct FakeLog {
  VARIANT_BOOL visible = 1;  // neither VARIANT_TRUE nor VARIANT_FALSE
  win32::OleString address;
  bool optionalArgumentsOneEmptyVariant = false;
  int readings = 0;
  std::vector<LONG> itemPositions;  // only when name and index were the same VT_I4
  int quits = 0;
  int pageObjectsAtQuit = -1;  // documents, collections and elements still alive when Quit came
  int pageObjects = 0;
};

// Counts itself in FakeLog::pageObjects.
class PageObject {
 protected:
  explicit PageObject(FakeLog* log) : log_(log) { ++log_->pageObjects; }
  ~PageObject() { --log_->pageObjects; }
  FakeLog* log_;
};

class FakeElement final : public win32::ComObject<FakeElement, IHTMLElement, IHTMLAnchorElement>, PageObject {
 public:
  FakeElement(const FakeLink& link, FakeLog* log) : PageObject(log), link_(link) {}
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
    const bool refused = (riid == IID_IHTMLElement && link_.fault == FakeLink::kNotAnElement) ||
                         (riid == IID_IHTMLAnchorElement && link_.fault == FakeLink::kNotAnAnchor);
    if (!refused) return ComObject::QueryInterface(riid, ppv);
    *ppv = nullptr;
    return E_NOINTERFACE;
  }
  HRESULT STDMETHODCALLTYPE get_tagName(BSTR* p) override { return Copy(link_.tagName, p); }
  HRESULT STDMETHODCALLTYPE get_href(BSTR* p) override { return Copy(link_.href, p); }

 private:
  static HRESULT Copy(const OLECHAR* text, BSTR* p) {
    *p = nullptr;
    if (text == nullptr) return E_FAIL;
    *p = SysAllocString(text);
    return *p ? S_OK : E_OUTOFMEMORY;
  }
  FakeLink link_;
};

class FakeCollection final : public win32::ComObject<FakeCollection, IHTMLElementCollection>, PageObject {
 public:
  FakeCollection(const FakePage* page, FakeLog* log) : PageObject(log), page_(page) {}
  HRESULT STDMETHODCALLTYPE get_length(LONG* p) override {
    if (page_->lengthFails) return E_FAIL;
    *p = static_cast<LONG>(page_->links.size());
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE item(VARIANT name, VARIANT index, IDispatch** pdisp) override {
    *pdisp = nullptr;
    if (name.vt != VT_I4 || index.vt != VT_I4 || name.lVal != index.lVal) return E_INVALIDARG;
    log_->itemPositions.push_back(name.lVal);
    const FakeLink& link = page_->links.at(static_cast<std::size_t>(name.lVal));
    if (link.fault == FakeLink::kItemFails) return E_FAIL;
    if (link.fault == FakeLink::kItemEmpty) return S_OK;
    return FakeElement::Create(IID_IDispatch, reinterpret_cast<void**>(pdisp), link, log_);
  }

 private:
  const FakePage* page_;
};

class FakeDocument final : public win32::ComObject<FakeDocument, IHTMLDocument2>, PageObject {
 public:
  FakeDocument(const FakePage* page, FakeLog* log) : PageObject(log), page_(page) {}
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
    if (!(page_->notHtml && riid == IID_IHTMLDocument2)) return ComObject::QueryInterface(riid, ppv);
    *ppv = nullptr;
    return E_NOINTERFACE;
  }
  HRESULT STDMETHODCALLTYPE get_links(IHTMLElementCollection** p) override {
    *p = nullptr;
    if (page_->linksFail) return E_FAIL;
    return FakeCollection::Create(IID_IHTMLElementCollection, reinterpret_cast<void**>(p), page_, log_);
  }

 private:
  const FakePage* page_;
};

class FakeBrowser final : public win32::ComObject<FakeBrowser, IWebBrowser2> {
 public:
  FakeBrowser(const FakePage* page, FakeLog* log) : page_(page), log_(log) {}
  HRESULT STDMETHODCALLTYPE put_Visible(VARIANT_BOOL value) override {
    log_->visible = value;
    return page_->visibleAnswer;
  }
  HRESULT STDMETHODCALLTYPE Navigate(BSTR url, VARIANT* flags, VARIANT* frame, VARIANT* postData,
                                     VARIANT* headers) override {
    log_->address = win32::OleString(url, SysStringLen(url));
    log_->optionalArgumentsOneEmptyVariant =
        flags && flags->vt == VT_EMPTY && frame == flags && postData == flags && headers == flags;
    return page_->navigateAnswer;
  }
  HRESULT STDMETHODCALLTYPE get_ReadyState(READYSTATE* state) override {
    ++log_->readings;
    if (log_->readings <= page_->silentReadings) return E_FAIL;
    const bool complete = page_->completeAtReading != 0 && log_->readings >= page_->completeAtReading;
    *state = complete ? READYSTATE_COMPLETE : READYSTATE_LOADING;
    return page_->readingAnswer;
  }
  HRESULT STDMETHODCALLTYPE get_Document(IDispatch** document) override {
    *document = nullptr;
    if (page_->documentFails) return E_FAIL;
    return FakeDocument::Create(IID_IDispatch, reinterpret_cast<void**>(document), page_, log_);
  }
  HRESULT STDMETHODCALLTYPE Quit() override {
    if (log_->quits++ == 0) log_->pageObjectsAtQuit = log_->pageObjects;
    return S_OK;
  }

 private:
  const FakePage* page_;
  FakeLog* log_;
};

// The class object put in place of the browser's for as long as it lives.
class FakeBrowserClass final : public win32::ComObject<FakeBrowserClass, IClassFactory> {
 public:
  FakeBrowserClass(const FakePage* page, FakeLog* log) : page_(page), log_(log) {}
  HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown*, REFIID riid, void** ppv) override {
    *ppv = nullptr;
    const HRESULT made = handOut ? FakeBrowser::Create(riid, ppv, page_, log_) : S_OK;
    return FAILED(answer) ? answer : made;
  }
  HRESULT STDMETHODCALLTYPE LockServer(BOOL) override { return S_OK; }

  HRESULT answer = S_OK;  // what creation reports
  bool handOut = true;    // whether an object comes with that answer

 private:
  const FakePage* page_;
  FakeLog* log_;
};

}  // namespace wsdl_test
