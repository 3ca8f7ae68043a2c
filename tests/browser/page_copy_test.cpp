// Local pages that the browser's account may not read: what a file: URL names, the copies made
// for that account, and such a page read end to end by a browser running as another account.
#include "browser/address.h"
#include "browser/chromium_session.h"
#include "browser/page_copy.h"

#include "browser_test_support.h"
#include "test_system.h"
#include "win32/strings.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <chrono>
#include <thread>

namespace {

using browser::CopyLocalPage;
using browser::LocalPathOf;
using testing_support::TempDir;

TEST(PageCopy, FileUrlsNameTheirFiles) {
  const struct {
    const char* url;
    const char* path;
  } cases[] = {
      {"file:///srv/pages/a%20b.html", "/srv/pages/a b.html"},
      {"FILE:///srv/x.html?q=1#top", "/srv/x.html"},
      {"file:///srv/%E2%82%AC.html", "/srv/\xE2\x82\xAC.html"},
      {"file://host/srv/x.html", ""},
      {"file:///srv/bad%2.html", ""},
      {"file:///srv/nul%00.html", ""},
      {"http://host/x.html", ""},
      {"file://", ""},
  };
  for (const auto& c : cases) EXPECT_EQ(LocalPathOf(c.url), c.path) << c.url;
}

TEST(PageCopy, HtmlCopiesResolveTheirLinksWhereThePageIs) {
  TempDir dir;
  const struct {
    const char* name;
    std::string page;
    std::string copy;  // "" : no copy
  } cases[] = {
      {"plain.html", "<a href=x>x</a>", "<base href=\"URL\"><a href=x>x</a>"},
      {"doctype.htm", "\xEF\xBB\xBF <!DOCTYPE html><p>", "\xEF\xBB\xBF <!DOCTYPE html><base href=\"URL\"><p>"},
      {"own base.html", "<head><BASE href=\"http://h/\"></head>", "<head><BASE href=\"http://h/\"></head>"},
      {"page.xhtml", "<html xmlns=\"http://www.w3.org/1999/xhtml\"/>", "<html xmlns=\"http://www.w3.org/1999/xhtml\"/>"},
      {"w&s.wsdl", "<definitions/>", "<definitions/>"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string url = browser::CompleteAddress(dir.Write(c.name, c.page));
    const std::string copy = CopyLocalPage(url, dir.str() + "/copies");
    ASSERT_FALSE(copy.empty());
    std::string expected = c.copy;
    if (const auto at = expected.find("URL"); at != std::string::npos) expected.replace(at, 3, url);
    EXPECT_EQ(testing_support::ReadFile(LocalPathOf(copy)), expected);
  }
  EXPECT_EQ(CopyLocalPage("file://" + dir.str() + "/missing.html", dir.str() + "/copies"), "");
  EXPECT_EQ(CopyLocalPage("file://" + dir.str(), dir.str() + "/copies"), "") << "a folder is no page";
}

TEST(PageCopy, APageTheBrowsersAccountMayNotReadStillLoadsWithItsOwnLinks) {
  SKIP_WITHOUT_BROWSER();
  if (!testing_support::RunsAsRoot()) GTEST_SKIP() << "the browser runs as this process's own account";
  TempDir pages;  // 0700: the browser's account may not even pass through
  ASSERT_EQ(chmod(pages.str().c_str(), 0700), 0);
  const std::string page = pages.Write("Service.asmx.html", "<!DOCTYPE html><a href=\"Service.asmx?wsdl\">WSDL</a>");
  testing_support::BrowserScratch scratch;
  std::string error;
  auto session = browser::ChromiumSession::Start(&error);
  ASSERT_TRUE(session) << error;
  ASSERT_TRUE(session->WithoutSandbox().empty()) << session->WithoutSandbox();
  ASSERT_TRUE(session->Navigate(browser::CompleteAddress(page)));
  for (int i = 0; i < 200 && session->GetReadyState() != browser::ReadyState::Complete; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(25));
  }
  const std::u16string wsdl = win32::Widen("file://" + pages.str() + "/Service.asmx?wsdl", CP_UTF8);
  EXPECT_THAT(session->GetLinks(), ::testing::Optional(::testing::ElementsAre(browser::Link{u"A", wsdl})));
  session->Close();
  EXPECT_TRUE(scratch.LeftNothingBehind());
}

}  // namespace
