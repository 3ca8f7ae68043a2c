// WsdlDataUtils::ReadWsdlLink: the scan against a scripted browser registered in place of the real
// one, then end to end against the real browser on file and served pages.
#include "palisade/wsdl_data_utils.h"

#include "browser_test_support.h"
#include "com_test_support.h"
#include "fake_browser.h"
#include "win32/comptr.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>

namespace {

using namespace wsdl_test;
using testing_support::BrowserScratch;
using testing_support::PageServer;
using testing_support::ScopedEnv;
using Clock = std::chrono::steady_clock;

bool ReadWsdlLink(std::string page, std::string& url) { return WsdlDataUtils(false).ReadWsdlLink(page, url); }

class ScriptedBrowser : public ::testing::Test {
 protected:
  void SetUp() override {
    ::testing::Test::SetUp();
    const HRESULT made = FakeBrowserClass::Create(IID_IClassFactory, reinterpret_cast<void**>(&factory_), &page_, &log_);
    ASSERT_EQ(S_OK, made);
    ASSERT_EQ(S_OK, CoRegisterClassObject(CLSID_InternetExplorer, factory_, CLSCTX_INPROC_SERVER | CLSCTX_LOCAL_SERVER,
                                          REGCLS_MULTIPLEUSE, &cookie_));
  }
  void TearDown() override {
    CoRevokeClassObject(cookie_);
    factory_.Release();
    ::testing::Test::TearDown();
  }
  FakeBrowserClass& factory() { return *static_cast<FakeBrowserClass*>(factory_.p); }

  bool Read(std::string& url) { return ReadWsdlLink("http://host/Service.asmx", url); }

  Apartment apartment_;
  FakePage page_;
  FakeLog log_;
  CComPtr<IClassFactory> factory_;
  DWORD cookie_ = 0;
};

TEST_F(ScriptedBrowser, TakesTheFirstAnchorWhoseAddressNamesAWsdl) {
  using L = FakeLink;
  const struct {
    const char* name;
    std::vector<FakeLink> links;
    const char* found;
  } cases[] = {
      {"an ordinary link, then the description",
       {{OLESTR("A"), OLESTR("http://host/Default.aspx")}, {OLESTR("A"), OLESTR("http://host/Service.asmx?wsdl")}},
       "http://host/Service.asmx?wsdl"},
      {".wsdl", {{OLESTR("A"), OLESTR("http://host/Service.wsdl")}}, "http://host/Service.wsdl"},
      {"case-sensitive",
       {{OLESTR("A"), OLESTR("http://host/Service.WSDL")}, {OLESTR("A"), OLESTR("http://host/service?WSDL")}},
       ""},
      {"anywhere in the address", {{OLESTR("A"), OLESTR("http://host/a.wsdlx")}}, "http://host/a.wsdlx"},
      {"in a longer query", {{OLESTR("A"), OLESTR("http://host/x?wsdlfile=1")}}, "http://host/x?wsdlfile=1"},
      {"two matches",
       {{OLESTR("A"), OLESTR("http://host/first.wsdl")}, {OLESTR("A"), OLESTR("http://host/second?wsdl")}},
       "http://host/first.wsdl"},
      {"lower-case a", {{OLESTR("a"), OLESTR("http://host/x?wsdl")}}, "http://host/x?wsdl"},
      {"an image-map area is no anchor",
       {{OLESTR("AREA"), OLESTR("http://host/map.wsdl"), L::kNotAnAnchor},
        {OLESTR("A"), OLESTR("http://host/next.htm")}},
       ""},
      {"only a and A are anchors",
       {{OLESTR("ABBR"), OLESTR("http://host/1.wsdl")},
        {OLESTR(""), OLESTR("http://host/2.wsdl")},
        {OLESTR("a "), OLESTR("http://host/3.wsdl")},
        {OLESTR("Aa"), OLESTR("http://host/4.wsdl")},
        {nullptr, OLESTR("http://host/5.wsdl")}},
       ""},
      {"links that cannot be read are skipped",
       {{OLESTR("A"), OLESTR("http://host/1.wsdl"), L::kItemFails},
        {OLESTR("A"), OLESTR("http://host/2.wsdl"), L::kItemEmpty},
        {OLESTR("A"), OLESTR("http://host/3.wsdl"), L::kNotAnElement},
        {OLESTR("A"), nullptr},
        {OLESTR("A"), OLESTR("http://host/ok.wsdl")}},
       "http://host/ok.wsdl"},
      {"no links", {}, ""},
      {"characters outside the code page",
       {{OLESTR("A"), OLESTR("http://host/caf\u00e9/\u0421\u0435\u0440\u0432\u0438\u0441.wsdl")}},
       "http://host/caf\xE9/??????.wsdl"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    page_.links = c.links;
    log_ = FakeLog{};
    std::string url = "left over";
    EXPECT_TRUE(Read(url));
    EXPECT_EQ(c.found, url);
    EXPECT_EQ(1, log_.quits);
  }
}

TEST_F(ScriptedBrowser, DrivesTheBrowserThroughThePublishedSteps) {
  page_.completeAtReading = 3;
  page_.links = {{OLESTR("A"), OLESTR("http://host/a.htm")},
                 {OLESTR("AREA"), OLESTR("http://host/b.htm"), FakeLink::kNotAnAnchor},
                 {OLESTR("A"), OLESTR("http://host/c?wsdl")},
                 {OLESTR("A"), OLESTR("http://host/d?wsdl")}};
  std::string url;
  const auto started = Clock::now();
  EXPECT_TRUE(ReadWsdlLink("http://host/caf\xE9.asmx", url));
  EXPECT_GE(Clock::now() - started, std::chrono::milliseconds(2 * 250)) << "a pause after each reading short of complete";
  EXPECT_EQ("http://host/c?wsdl", url);
  EXPECT_EQ(VARIANT_FALSE, log_.visible);
  EXPECT_EQ(OLESTR("http://host/caf\u00e9.asmx"), log_.address);
  EXPECT_TRUE(log_.optionalArgumentsOneEmptyVariant);
  EXPECT_EQ(3, log_.readings);
  EXPECT_EQ((std::vector<LONG>{0, 1, 2}), log_.itemPositions);
  EXPECT_EQ(1, log_.quits);
  EXPECT_EQ(0, log_.pageObjectsAtQuit) << "the document, links and elements are released before Quit";
}

TEST_F(ScriptedBrowser, ALoadedPageWithoutAUsableDocumentStillCountsAsLoaded) {
  const struct {
    const char* name;
    bool FakePage::*fault;
  } cases[] = {
      {"get_Document fails", &FakePage::documentFails},
      {"not an HTML document", &FakePage::notHtml},
      {"get_links fails", &FakePage::linksFail},
      {"get_length fails", &FakePage::lengthFails},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    page_ = FakePage{};
    page_.links = {{OLESTR("A"), OLESTR("http://host/x?wsdl")}};
    page_.*c.fault = true;
    log_ = FakeLog{};
    std::string url = "left over";
    EXPECT_TRUE(Read(url));
    EXPECT_EQ("", url);
    EXPECT_EQ(1, log_.quits);
  }
}

TEST_F(ScriptedBrowser, FailuresOfTheBrowsersEarlyCallsShowOnlyThroughTheReadyState) {
  const struct {
    const char* name;
    void (*fault)(FakePage&);
    int readings;
  } cases[] = {
      {"put_Visible fails", [](FakePage& page) { page.visibleAnswer = E_FAIL; }, 1},
      {"Navigate fails", [](FakePage& page) { page.navigateAnswer = E_FAIL; }, 1},
      {"readings fail but report complete", [](FakePage& page) { page.readingAnswer = E_FAIL; }, 1},
      {"the first two readings fail and report nothing", [](FakePage& page) { page.silentReadings = 2; }, 3},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    page_ = FakePage{};
    page_.links = {{OLESTR("A"), OLESTR("http://host/x?wsdl")}};
    c.fault(page_);
    log_ = FakeLog{};
    std::string url;
    EXPECT_TRUE(Read(url));
    EXPECT_EQ("http://host/x?wsdl", url);
    EXPECT_EQ(c.readings, log_.readings);
    EXPECT_EQ(1, log_.quits);
  }
}

TEST_F(ScriptedBrowser, NoBrowserMeansFalseAndAnEmptyUrl) {
  const struct {
    const char* name;
    HRESULT answer;
    bool handOut;
  } cases[] = {
      {"class not registered", REGDB_E_CLASSNOTREG, false},
      {"a failure that hands out an object", E_FAIL, true},
      {"success without an object", S_OK, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    factory().answer = c.answer;
    factory().handOut = c.handOut;
    std::string url = "left over";
    EXPECT_FALSE(Read(url));
    EXPECT_EQ("", url);
    EXPECT_EQ(0, log_.readings);
  }
}

TEST_F(ScriptedBrowser, AFailedConversionEndsTheCallCleanly) {
  page_.links = {{OLESTR("A"), OLESTR("http://host/x?wsdl")}};
  ComDiagFailBstrAllocations(0, 1);  // the address handed to Navigate
  std::string url = "left over";
  EXPECT_FALSE(Read(url));
  ComDiagFailBstrAllocations(0, 0);
  EXPECT_EQ("", url);
  EXPECT_EQ(0, log_.readings);
  EXPECT_EQ(1, log_.quits);
}

TEST(ReadWsdlLinkWithoutCom, AnswersFalseAtOnce) {
  OnOtherThread([] {
    std::string url = "left over";
    const auto started = Clock::now();
    EXPECT_FALSE(ReadWsdlLink("http://host/Service.asmx", url));
    EXPECT_LT(Clock::now() - started, std::chrono::milliseconds(250));
    EXPECT_EQ("", url);
  });
}

TEST(ReadWsdlLinkWithoutChromium, AnswersFalseThroughTheRealBrowserClass) {
  Apartment apartment;
  BrowserScratch scratch;
  ScopedEnv missing("PALISADE_BROWSER", "/nonexistent/chromium");
  std::string url = "left over";
  EXPECT_FALSE(ReadWsdlLink("http://host/Service.asmx", url));
  EXPECT_EQ("", url);
  SetErrorInfo(0, nullptr);  // the reason the class left for the caller
  EXPECT_TRUE(scratch.LeftNothingBehind());
}

class RealBrowser : public ::testing::Test {
 protected:
  void SetUp() override {
    SKIP_WITHOUT_BROWSER();
    ::testing::Test::SetUp();
  }
  void TearDown() override {
    if (!IsSkipped()) ::testing::Test::TearDown();
  }

  Apartment apartment_;
  BrowserScratch scratch_;
};

TEST_F(RealBrowser, FindsTheServiceDescriptionOnTheSamplePages) {
  const std::string samples = PALISADE_SAMPLES_DIR "/pages/";
  const struct {
    const char* page;
    std::string found;
  } cases[] = {
      {"Service.asmx.html", "file://" + samples + "Service.asmx?wsdl"},
      {"CatalogService.svc.html", "http://localhost:8733/Catalog/CatalogService.svc?wsdl"},
      {"no-links.html", ""},
  };
  for (const auto& c : cases) {
    std::string url;
    EXPECT_TRUE(ReadWsdlLink("file://" + samples + c.page, url)) << c.page;
    EXPECT_EQ(c.found, url) << c.page;
  }
  EXPECT_TRUE(scratch_.LeftNothingBehind());
}

TEST_F(RealBrowser, ReadsServedPagesAsTheBrowserReportsThem) {
  PageServer server;
  server.Add("/help", "text/html", R"(<!DOCTYPE html><html><body>
      <img src="data:image/gif;base64,R0lGODlhAQABAAAAACw=" usemap="#m" alt="">
      <map name="m"><area shape="rect" coords="0,0,1,1" href="Map.wsdl" alt="map"></map>
      <a href="Default.aspx">Home</a> <a href="Service.asmx?wsdl">Service Description</a></body></html>)");
  server.Add("/xhtml", "application/xhtml+xml", R"(<?xml version="1.0" encoding="utf-8"?>
      <html xmlns="http://www.w3.org/1999/xhtml"><head><title>x</title></head>
      <body><a href="Service.svc?singleWsdl">single</a> <a href="Service.svc?wsdl">wsdl</a></body></html>)");
  // An address the browser cannot parse comes back as written.
  server.Add("/unparsable", "text/html; charset=utf-8",
             R"(<!DOCTYPE html><a href="http://host:99999/caf&#xE9;/Сервис.wsdl">wsdl</a>)");
  // The search is case-sensitive and finds the text anywhere in the address.
  server.Add("/case", "text/html", R"(<!DOCTYPE html><a href="Service.asmx?WSDL">upper</a>
      <a href="Service.WSDL">upper</a> <a href="Get.aspx?wsdlfile=1">query</a> <a href="b.wsdl">later</a>)");
  const struct {
    const char* path;
    std::string found;
  } cases[] = {
      {"/help", server.Url("/Service.asmx?wsdl")},
      {"/case", server.Url("/Get.aspx?wsdlfile=1")},
      {"/xhtml", server.Url("/Service.svc?wsdl")},
      {"/unparsable", "http://host:99999/caf\xE9/??????.wsdl"},
  };
  for (const auto& c : cases) {
    std::string url;
    EXPECT_TRUE(ReadWsdlLink(server.Url(c.path), url)) << c.path;
    EXPECT_EQ(c.found, url) << c.path;
  }
  EXPECT_TRUE(scratch_.LeftNothingBehind());
}

TEST_F(RealBrowser, GivesUpOnAPageThatNeverCompletesAndLeavesNothingBehind) {
  PageServer server;
  server.AddStalled("/endless", "text/html", R"(<!DOCTYPE html><html><body><a href="x.wsdl">x</a><p>still coming)");
  std::string url = "left over";
  const auto started = Clock::now();
  EXPECT_FALSE(ReadWsdlLink(server.Url("/endless"), url));
  EXPECT_GE(Clock::now() - started, std::chrono::milliseconds(21 * 250));
  EXPECT_EQ("", url);
  EXPECT_TRUE(scratch_.LeftNothingBehind());
}

}  // namespace
