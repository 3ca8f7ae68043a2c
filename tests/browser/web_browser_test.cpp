// The component as the library meets it: created through COM by CLSID, walked through the
// published interfaces, and gone without a trace after Quit or the last Release.
#include "win32/browser.h"
#include "win32/com_object.h"
#include "win32/comptr.h"
#include "win32/strings.h"

#include "browser_test_support.h"
#include "com_test_support.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <cstring>
#include <thread>

namespace {

using testing_support::BrowserScratch;
using testing_support::PageServer;
using testing_support::ScopedEnv;
using namespace std::chrono_literals;

constexpr HRESULT kDisconnected = RPC_E_DISCONNECTED;

template <class Member>
std::size_t SlotOf(Member member) {
  std::uintptr_t word = 0;
  std::memcpy(&word, &member, sizeof word);
  return (word - 1) / sizeof(void*);
}

TEST(BrowserInterfaces, MembersSitInTheirPublishedSlots) {
  const struct {
    const char* name;
    std::size_t slot, published;
  } slots[] = {
      {"IWebBrowser2::Navigate", SlotOf(&IWebBrowser2::Navigate), 11},
      {"IWebBrowser2::get_Document", SlotOf(&IWebBrowser2::get_Document), 18},
      {"IWebBrowser2::Quit", SlotOf(&IWebBrowser2::Quit), 32},
      {"IWebBrowser2::put_Visible", SlotOf(&IWebBrowser2::put_Visible), 41},
      {"IWebBrowser2::get_ReadyState", SlotOf(&IWebBrowser2::get_ReadyState), 56},
      {"IHTMLDocument2::get_links", SlotOf(&IHTMLDocument2::get_links), 13},
      {"IHTMLElementCollection::get_length", SlotOf(&IHTMLElementCollection::get_length), 9},
      {"IHTMLElementCollection::item", SlotOf(&IHTMLElementCollection::item), 11},
      {"IHTMLElement::get_tagName", SlotOf(&IHTMLElement::get_tagName), 14},
      {"IHTMLAnchorElement::get_href", SlotOf(&IHTMLAnchorElement::get_href), 8},
  };
  for (const auto& s : slots) EXPECT_EQ(s.published, s.slot) << s.name;
  EXPECT_EQ(sizeof(void*), sizeof(IWebBrowser2));
  EXPECT_EQ(4u, sizeof(READYSTATE));
}

class BrowserComponent : public ::testing::Test {
 protected:
  // Failing methods leave error information for their caller, as they should.
  void TearDown() override {
    SetErrorInfo(0, nullptr);
    ::testing::Test::TearDown();
  }

  HRESULT Create(CComPtr<IWebBrowser2>& browser) {
    return CoCreateInstance(CLSID_InternetExplorer, nullptr, CLSCTX_INPROC_SERVER | CLSCTX_LOCAL_SERVER,
                            IID_IWebBrowser2, reinterpret_cast<void**>(&browser));
  }
  HRESULT Navigate(IWebBrowser2* browser, const std::string& url) {
    VARIANT empty;
    VariantInit(&empty);
    return browser->Navigate(win32::Bstr(win32::Widen(url)).get(), &empty, &empty, &empty, &empty);
  }
  static READYSTATE AwaitComplete(IWebBrowser2* browser) {
    READYSTATE state = READYSTATE_UNINITIALIZED;
    for (auto deadline = std::chrono::steady_clock::now() + 20s; std::chrono::steady_clock::now() < deadline;
         std::this_thread::sleep_for(20ms)) {
      browser->get_ReadyState(&state);
      if (state == READYSTATE_COMPLETE) break;
    }
    return state;
  }
  static std::string ErrorDescription() {
    IErrorInfo* info = nullptr;
    if (GetErrorInfo(0, &info) != S_OK || !info) return {};
    win32::Bstr text;
    info->GetDescription(text.out());
    info->Release();
    return win32::Narrow(text.view(), CP_UTF8);
  }
  static std::string Text(HRESULT (STDMETHODCALLTYPE IHTMLElement::*get)(BSTR*), IHTMLElement* element) {
    win32::Bstr text;
    EXPECT_EQ(S_OK, (element->*get)(text.out()));
    return win32::Narrow(text.view(), CP_UTF8);
  }

  Apartment apartment_;
  BrowserScratch scratch_;
};

TEST_F(BrowserComponent, CreationFailsWithAReasonWhenTheBrowserIsMissing) {
  ScopedEnv missing("PALISADE_BROWSER", "/nonexistent/chromium");
  IWebBrowser2* browser = static_cast<IWebBrowser2*>(kSentinel);
  EXPECT_EQ(HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND),
            CoCreateInstance(CLSID_InternetExplorer, nullptr, CLSCTX_INPROC_SERVER | CLSCTX_LOCAL_SERVER,
                             IID_IWebBrowser2, reinterpret_cast<void**>(&browser)));
  EXPECT_EQ(nullptr, browser);
  EXPECT_THAT(ErrorDescription(), ::testing::HasSubstr("/nonexistent/chromium"));
  EXPECT_TRUE(scratch_.LeftNothingBehind());
}

TEST_F(BrowserComponent, CreationSaysSoWhenTheBrowserRunsWithoutItsSandbox) {
  SKIP_WITHOUT_BROWSER();
  const struct {
    const char* sandbox;  // PALISADE_BROWSER_SANDBOX
    const char* said;     // the error information a successful creation leaves
  } cases[] = {
      {"", ""},
      {"off", "the browser runs without its sandbox"},
  };
  for (const auto& c : cases) {
    ScopedEnv sandbox("PALISADE_BROWSER_SANDBOX", c.sandbox);
    win32::ReportError(E_FAIL, IID_IWebBrowser2, u"test", u"left by an earlier call");
    CComPtr<IWebBrowser2> browser;
    ASSERT_EQ(S_OK, Create(browser)) << c.sandbox;
    const std::string said = ErrorDescription();
    if (*c.said) {
      EXPECT_THAT(said, ::testing::StartsWith(c.said));
    } else {
      EXPECT_EQ("", said) << "the creation cleared what an earlier call left";
    }
  }
  EXPECT_TRUE(scratch_.LeftNothingBehind());
}

TEST_F(BrowserComponent, WalksAPageAsACallerDoesAndQuitsWithoutTrace) {
  SKIP_WITHOUT_BROWSER();
  PageServer server;
  server.Add("/Service.asmx", "text/html; charset=utf-8", R"(<!DOCTYPE html><html><body>
      <a href="Service.asmx?op=GetItem">GetItem</a>
      <map name="m"><area shape="rect" coords="0,0,1,1" href="Service.wsdl"></map>
      <a href="Service.asmx?wsdl">Service Description</a></body></html>)");
  server.Add("/Service.asmx?wsdl", "text/xml", R"(<?xml version="1.0"?><definitions/>)");

  CComPtr<IWebBrowser2> browser;
  ASSERT_EQ(S_OK, Create(browser));
  for (const IID& iid : {IID_IDispatch, IID_IWebBrowser, IID_IWebBrowserApp}) {
    CComPtr<IUnknown> other;
    EXPECT_EQ(S_OK, browser->QueryInterface(iid, reinterpret_cast<void**>(&other)));
  }
  EXPECT_EQ(S_OK, browser->put_Visible(VARIANT_FALSE));
  EXPECT_EQ(E_NOTIMPL, browser->put_Visible(VARIANT_TRUE));
  EXPECT_EQ(E_NOTIMPL, browser->Slot7_GoBack());
  {
    VARIANT empty, postData;
    VariantInit(&empty);
    VariantInit(&postData);
    postData.vt = VT_I4;
    EXPECT_EQ(E_INVALIDARG, browser->Navigate(win32::Bstr(u"about:blank").get(), &empty, &empty, &postData, &empty));
  }

  ASSERT_EQ(S_OK, Navigate(browser, server.Url("/Service.asmx")));
  ASSERT_EQ(READYSTATE_COMPLETE, AwaitComplete(browser));
  CComPtr<IDispatch> document;
  ASSERT_EQ(S_OK, browser->get_Document(&document));
  CComPtr<IHTMLDocument2> html;
  ASSERT_EQ(S_OK, document.QueryInterface(&html));
  CComPtr<IHTMLDocument> base;
  EXPECT_EQ(S_OK, document.QueryInterface(&base));
  CComPtr<IHTMLElementCollection> links;
  ASSERT_EQ(S_OK, html->get_links(&links));
  LONG count = 0;
  ASSERT_EQ(S_OK, links->get_length(&count));
  ASSERT_EQ(3, count);

  const struct {
    const char* tagName;
    std::string href;  // empty: not an anchor
  } expected[] = {{"A", server.Url("/Service.asmx?op=GetItem")}, {"AREA", ""}, {"A", server.Url("/Service.asmx?wsdl")}};
  for (LONG i = 0; i < count; ++i) {
    SCOPED_TRACE(i);
    VARIANT position;
    VariantInit(&position);
    position.vt = VT_I4;
    position.lVal = i;
    CComPtr<IDispatch> item;
    ASSERT_EQ(S_OK, links->item(position, position, &item));
    CComPtr<IHTMLElement> element;
    ASSERT_EQ(S_OK, item.QueryInterface(&element));
    EXPECT_EQ(expected[i].tagName, Text(&IHTMLElement::get_tagName, element));
    CComPtr<IHTMLAnchorElement> anchor;
    if (expected[i].href.empty()) {
      EXPECT_EQ(E_NOINTERFACE, item.QueryInterface(&anchor));
      continue;
    }
    ASSERT_EQ(S_OK, item.QueryInterface(&anchor));
    win32::Bstr href;
    ASSERT_EQ(S_OK, anchor->get_href(href.out()));
    EXPECT_EQ(expected[i].href, win32::Narrow(href.view(), CP_UTF8));
  }
  {
    VARIANT past, name;
    VariantInit(&past);
    past.vt = VT_I4;
    past.lVal = count;
    IDispatch* item = static_cast<IDispatch*>(kSentinel);
    EXPECT_EQ(S_OK, links->item(past, past, &item));
    EXPECT_EQ(nullptr, item);
    win32::Bstr id(u"top");
    VariantInit(&name);
    name.vt = VT_BSTR;
    name.bstrVal = id.get();
    EXPECT_EQ(E_INVALIDARG, links->item(name, past, &item));
  }

  // Not an HTML document: no IHTMLDocument2.
  ASSERT_EQ(S_OK, Navigate(browser, server.Url("/Service.asmx?wsdl")));
  ASSERT_EQ(READYSTATE_COMPLETE, AwaitComplete(browser));
  CComPtr<IDispatch> xml;
  ASSERT_EQ(S_OK, browser->get_Document(&xml));
  CComPtr<IHTMLDocument2> notHtml;
  EXPECT_EQ(E_NOINTERFACE, xml.QueryInterface(&notHtml));

  EXPECT_EQ(S_OK, browser->Quit());
  EXPECT_TRUE(scratch_.LeftNothingBehind()) << "while the caller still holds the objects";
  READYSTATE state = READYSTATE_COMPLETE;
  EXPECT_EQ(kDisconnected, browser->get_ReadyState(&state));
  EXPECT_EQ(READYSTATE_UNINITIALIZED, state);
  CComPtr<IHTMLElementCollection> stale;
  EXPECT_EQ(kDisconnected, html->get_links(&stale));
  EXPECT_EQ(kDisconnected, Navigate(browser, server.Url("/Service.asmx")));
  EXPECT_EQ(S_OK, browser->Quit());
}

TEST_F(BrowserComponent, TheLastReleaseEndsTheBrowserEvenMidNavigation) {
  SKIP_WITHOUT_BROWSER();
  PageServer server;
  server.AddStalled("/slow", "text/html", "<!DOCTYPE html><html><body><p>Loading");
  CComPtr<IWebBrowser2> browser;
  ASSERT_EQ(S_OK, Create(browser));
  ASSERT_EQ(S_OK, Navigate(browser, server.Url("/slow")));
  std::this_thread::sleep_for(300ms);
  READYSTATE state = READYSTATE_UNINITIALIZED;
  EXPECT_EQ(S_OK, browser->get_ReadyState(&state));
  EXPECT_EQ(READYSTATE_LOADING, state);
  browser.Release();
  EXPECT_TRUE(scratch_.LeftNothingBehind());
}

}  // namespace
