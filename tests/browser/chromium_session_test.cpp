// The session against the real browser: start-up failures, page states and links, and that
// closing leaves nothing behind.
#include "browser/address.h"
#include "browser/chromium_session.h"

#include "browser_test_support.h"
#include "win32/strings.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

namespace {

using browser::ChromiumSession;
using browser::Link;
using browser::ReadyState;
using testing_support::BrowserScratch;
using testing_support::TempDir;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using namespace std::chrono_literals;

// The state once it stops changing towards completion, or after `limit`.
ReadyState Settle(ChromiumSession& session, std::chrono::seconds limit = 20s) {
  const auto deadline = std::chrono::steady_clock::now() + limit;
  ReadyState state;
  while ((state = session.GetReadyState()) != ReadyState::Complete && state != ReadyState::Uninitialized &&
         std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(20ms);
  }
  return state;
}

TEST(ChromiumSessionStart, FailsWithAReasonAndLeavesNothingBehind) {
  const struct {
    const char* executable;
    const char* reason;
  } cases[] = {
      {"/nonexistent/chromium", "no browser at /nonexistent/chromium"},
      {"/bin/false", "exited with status 1"},
  };
  for (const auto& c : cases) {
    BrowserScratch scratch;
    std::string error;
    EXPECT_FALSE(ChromiumSession::Start(&error, c.executable)) << c.executable;
    EXPECT_THAT(error, HasSubstr(c.reason));
    EXPECT_TRUE(scratch.LeftNothingBehind()) << c.executable;
  }
}

TEST(ChromiumSessionLinks, SplitsThePagesAnswer) {
  const struct {
    const char16_t* packed;
    std::optional<std::vector<Link>> links;
  } cases[] = {
      {u"", std::vector<Link>{}},
      {u"1 A18 http://host/a.html4 AREA0 ", std::vector<Link>{{u"A", u"http://host/a.html"}, {u"AREA", u""}}},
      {u"1 a10 x 12 y\u00e9\uFFFD z", std::vector<Link>{{u"a", u"x 12 y\u00e9\uFFFD z"}}},  // digits and spaces inside
      {u"1 A", std::nullopt},                 // no address
      {u"1 A5 http", std::nullopt},           // cut short
      {u"A 1 x", std::nullopt},               // no length
      {u"1A1 x", std::nullopt},               // no space after the length
      {u"99999999999 A", std::nullopt},       // a length beyond any page
  };
  for (const auto& c : cases) {
    EXPECT_EQ(c.links, ChromiumSession::ParseLinks(c.packed)) << win32::Narrow(c.packed, CP_UTF8);
  }
}

TEST(ChromiumSession, LoadsPagesReadsTheirLinksAndClosesCleanly) {
  SKIP_WITHOUT_BROWSER();
  TempDir pages;  // outside the scratch folder, which must end up empty
  testing_support::OpenToOthers(pages);
  BrowserScratch scratch;
  const std::string html = pages.Write("links.html", R"(<!DOCTYPE html><html><body>
    <a href="one.html">relative</a>
    <a name="top">no address, not a link</a>
    <img src="data:image/gif;base64,R0lGODlhAQABAAAAACw=" usemap="#m" alt="">
    <map name="m"><area shape="rect" coords="0,0,1,1" href="Service.wsdl" alt="area"></map>
    <a href="http://host:99999/Сервис.wsdl">unparsable, so left as written</a>
    <a id="lone" href="x">lone surrogate</a>
    <script>document.getElementById('lone').setAttribute('href', 'http://bad host/\ud800');</script>
  </body></html>)");
  const std::string xhtml = pages.Write("page.xhtml", R"(<?xml version="1.0" encoding="utf-8"?>
    <html xmlns="http://www.w3.org/1999/xhtml"><head><title>x</title></head>
    <body><a href="Service.svc?wsdl">wsdl</a></body></html>)");
  const std::string xml = pages.Write("definitions.xml", R"(<?xml version="1.0"?><definitions/>)");
  const std::string folder = "file://" + pages.str() + "/";
  const std::u16string in = win32::Widen(folder, CP_UTF8);

  std::string error;
  auto session = ChromiumSession::Start(&error);
  ASSERT_TRUE(session) << error;
  EXPECT_EQ(ReadyState::Uninitialized, session->GetReadyState()) << "before any navigation";

  ASSERT_TRUE(session->Navigate(browser::CompleteAddress(html)));
  EXPECT_EQ(ReadyState::Complete, Settle(*session));
  EXPECT_EQ("text/html", session->ContentType());
  EXPECT_THAT(session->GetLinks(), ::testing::Optional(ElementsAre(
                                       Link{u"A", in + u"one.html"}, Link{u"AREA", in + u"Service.wsdl"},
                                       Link{u"A", u"http://host:99999/Сервис.wsdl"},
                                       Link{u"A", u"http://bad host/\uFFFD"})));

  ASSERT_TRUE(session->Navigate(browser::CompleteAddress(xhtml)));
  EXPECT_EQ(ReadyState::Complete, Settle(*session));
  EXPECT_EQ("application/xhtml+xml", session->ContentType());
  EXPECT_THAT(session->GetLinks(), ::testing::Optional(ElementsAre(Link{u"a", in + u"Service.svc?wsdl"})));

  ASSERT_TRUE(session->Navigate(browser::CompleteAddress(xml)));
  EXPECT_EQ(ReadyState::Complete, Settle(*session));
  EXPECT_EQ("text/xml", session->ContentType());
  EXPECT_THAT(session->GetLinks(), ::testing::Optional(::testing::IsEmpty()));

  // The browser shows an error page for it, but that is not the page asked for.
  ASSERT_TRUE(session->Navigate(folder + "missing.html"));
  EXPECT_EQ(ReadyState::Uninitialized, Settle(*session));

  session->Close();
  EXPECT_FALSE(session->IsOpen());
  EXPECT_EQ(ReadyState::Uninitialized, session->GetReadyState());
  EXPECT_FALSE(session->GetLinks());
  EXPECT_FALSE(session->Navigate(folder + "links.html"));
  EXPECT_TRUE(scratch.LeftNothingBehind());
}

}  // namespace
