// The session against the real browser: start-up failures, page states and links, and that
// closing leaves nothing behind.
#include "browser/address.h"
#include "browser/chromium_session.h"

#include "browser_test_support.h"
#include "win32/strings.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <functional>
#include <thread>

namespace {

using browser::ChromiumSession;
using browser::Link;
using browser::ReadyState;
using testing_support::BrowserScratch;
using testing_support::PageServer;
using testing_support::ScopedEnv;
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

long UidOf(const char* account) {
  const passwd* entry = getpwnam(account);
  return entry ? static_cast<long>(entry->pw_uid) : -1;
}

// What differs from every process of the browser running as `uid`, and from its command line
// holding --no-sandbox exactly when it runs without.
std::string RunsAs(const BrowserScratch& scratch, long uid, bool sandboxed) {
  const auto seen = testing_support::ProcessesSeenMentioning(scratch.dir().str());
  const auto has = [](const auto& process, const char* arg) {
    return std::count(process.args.begin(), process.args.end(), arg) != 0;
  };
  bool browserSeen = false;
  for (const auto& process : seen) {
    if (process.uid != uid) return process.args.front() + " runs as uid " + std::to_string(process.uid);
    const bool browser = has(process, "--remote-debugging-pipe");
    browserSeen |= browser;
    if (has(process, "--no-sandbox") ? sandboxed : browser && !sandboxed) {
      return process.args.front() + (sandboxed ? " has --no-sandbox" : " lacks --no-sandbox");
    }
  }
  return browserSeen ? "" : "the browser's process is not seen";
}

// `body`'s answer, from a child that has become nobody.
std::string AsNobody(const std::function<std::string()>& body) {
  int answer[2];
  if (pipe(answer) != 0) return "no pipe";
  std::fflush(nullptr);
  const pid_t child = fork();
  if (child == 0) {
    close(answer[0]);
    const std::string said = setgid(UidOf("nobody")) == 0 && setuid(UidOf("nobody")) == 0 ? body() : "not nobody";
    (void)!write(answer[1], said.data(), said.size());
    _exit(0);
  }
  close(answer[1]);
  std::string said;
  char chunk[512];
  for (ssize_t n; (n = read(answer[0], chunk, sizeof chunk)) > 0;) said.append(chunk, static_cast<std::size_t>(n));
  close(answer[0]);
  waitpid(child, nullptr, 0);
  return said;
}

TEST(ChromiumSessionSandbox, RunsSandboxedAndNeverAsRootOrSaysWhyNot) {
  SKIP_WITHOUT_BROWSER();
  const bool root = geteuid() == 0;
  TempDir fakes;
  testing_support::OpenToOthers(fakes);
  // A browser whose sandbox cannot start, as on a machine without user namespaces.
  const std::string unsandboxable = fakes.Write("chromium", "#!/bin/sh\nfor a in \"$@\"; do [ \"$a\" = --no-sandbox ] && exec '" +
                                                             testing_support::BrowserExecutable() +
                                                             "' \"$@\"; done\necho 'No usable sandbox!' >&2\nexit 1\n");
  chmod(unsandboxable.c_str(), 0755);
  const struct {
    const char* what;
    const char* user;        // PALISADE_BROWSER_USER
    const char* sandbox;     // PALISADE_BROWSER_SANDBOX
    std::string executable;
    bool fromNobody;         // started by a process that is not root
    const char* runsAs;      // the account; nullptr: the starting process's own
    const char* without;     // in WithoutSandbox(); nullptr: sandboxed
  } cases[] = {
      {"root: nobody", nullptr, nullptr, testing_support::BrowserExecutable(), false, "nobody", nullptr},
      {"root: the named account", "daemon", nullptr, testing_support::BrowserExecutable(), false, "daemon", nullptr},
      {"not root", nullptr, nullptr, testing_support::BrowserExecutable(), true, nullptr, nullptr},
      {"root: no such account", "palisade-none", nullptr, testing_support::BrowserExecutable(), false, nullptr,
       "there is no account palisade-none"},
      {"turned off", nullptr, "off", testing_support::BrowserExecutable(), false, nullptr, "PALISADE_BROWSER_SANDBOX is off"},
      {"no sandbox to be had", nullptr, nullptr, unsandboxable, false, nullptr, "No usable sandbox!"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    if (!root && (c.runsAs || c.user)) continue;  // only root can run the browser as someone else
    BrowserScratch scratch;
    ScopedEnv user("PALISADE_BROWSER_USER", c.user ? c.user : "");
    ScopedEnv sandbox("PALISADE_BROWSER_SANDBOX", c.sandbox ? c.sandbox : "");
    const auto check = [&] {
      std::string error;
      auto session = ChromiumSession::Start(&error, c.executable);
      if (!session) return "no start: " + error;
      const long uid = c.runsAs ? UidOf(c.runsAs) : static_cast<long>(geteuid());
      std::string wrong = RunsAs(scratch, uid, c.without == nullptr);
      if (c.without ? session->WithoutSandbox().find(c.without) == std::string::npos : !session->WithoutSandbox().empty()) {
        wrong += " [" + session->WithoutSandbox() + "]";
      }
      return wrong;
    };
    if (c.fromNobody && root) {
      lchown(scratch.dir().str().c_str(), UidOf("nobody"), UidOf("nobody"));
      EXPECT_EQ("", AsNobody(check));
    } else {
      EXPECT_EQ("", check());
    }
    EXPECT_TRUE(scratch.LeftNothingBehind());
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

TEST(ChromiumSession, AWebPageGetsNoLocalFileCannotTurnIntoOneAndDownloadsNothing) {
  SKIP_WITHOUT_BROWSER();
  BrowserScratch scratch;
  PageServer server;
  // Each attempt adds a link saying what it got.
  server.Add("/reads", "text/html", R"(<!DOCTYPE html><html><body><a href="Service.asmx?wsdl">wsdl</a>
    <iframe id="frame" src="file:///etc/passwd"></iframe>
    <script>
      const report = (what, text) => {
        const a = document.createElement('a');
        a.href = '/got/' + what + '/' + (String(text).includes('root:') ? 'passwd' : 'nothing');
        document.body.append(a);
      };
      fetch('file:///etc/passwd').then(r => r.text()).then(t => report('fetch', t), () => report('fetch', ''));
      try {
        const xhr = new XMLHttpRequest();
        xhr.open('GET', 'file:///etc/passwd', false);
        xhr.send();
        report('xhr', xhr.responseText);
      } catch (e) { report('xhr', ''); }
      onload = () => { try { report('frame', frame.contentDocument.body.textContent); } catch (e) { report('frame', ''); } };
    </script></body></html>)");
  const struct {
    const char* path;
    const char* script;
  } leaving[] = {
      {"/to-file", "location.href = 'file:///etc/'"},
      {"/to-devtools", "location.href = 'devtools://devtools/bundled/inspector.html'"},
      {"/to-settings", "window.location = 'chrome://settings'"},
  };
  server.Add("/payload.bin", "application/octet-stream", std::string(4096, 'x'));
  for (const auto& l : leaving) {
    server.Add(l.path, "text/html",
               std::string("<!DOCTYPE html><a href=\"Stay.asmx?wsdl\">stay</a><script>") + l.script + "</script>");
  }

  std::string error;
  auto session = ChromiumSession::Start(&error);
  ASSERT_TRUE(session) << error;
  ASSERT_TRUE(session->Navigate(server.Url("/reads")));
  EXPECT_EQ(ReadyState::Complete, Settle(*session));
  std::optional<std::vector<Link>> links;
  for (auto deadline = std::chrono::steady_clock::now() + 10s;
       std::chrono::steady_clock::now() < deadline && !(links && links->size() == 4);
       std::this_thread::sleep_for(20ms)) {
    links = session->GetLinks();
  }
  const auto url = [&](const char* path) { return win32::Widen(server.Url(path), CP_UTF8); };
  EXPECT_THAT(links, ::testing::Optional(::testing::UnorderedElementsAre(
                         Link{u"A", url("/Service.asmx?wsdl")}, Link{u"A", url("/got/fetch/nothing")},
                         Link{u"A", url("/got/xhr/nothing")}, Link{u"A", url("/got/frame/nothing")})));

  for (const auto& l : leaving) {
    ASSERT_TRUE(session->Navigate(server.Url(l.path)));
    EXPECT_EQ(ReadyState::Complete, Settle(*session)) << l.path;
    std::this_thread::sleep_for(300ms);  // time enough for the script's navigation to commit
    EXPECT_EQ(ReadyState::Complete, session->GetReadyState()) << l.path;
    EXPECT_EQ("text/html", session->ContentType()) << l.path;
    EXPECT_THAT(session->GetLinks(), ::testing::Optional(ElementsAre(Link{u"A", url("/Stay.asmx?wsdl")}))) << l.path;
  }

  ASSERT_TRUE(session->Navigate(server.Url("/payload.bin")));
  EXPECT_EQ(ReadyState::Uninitialized, Settle(*session));
  std::this_thread::sleep_for(300ms);
  for (const auto& entry : std::filesystem::recursive_directory_iterator(scratch.dir().path())) {
    EXPECT_EQ(std::string::npos, entry.path().filename().string().find("payload")) << "downloaded to " << entry.path();
  }
  session->Close();
  EXPECT_TRUE(scratch.LeftNothingBehind());
}

}  // namespace
