// A private headless Chromium driven over its DevTools pipe.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <sys/types.h>

#include "browser/sandbox_settings.h"

namespace browser {

class DevToolsPipe;

// One entry of document.links, as the browser reports it.
struct Link {
  std::u16string tagName;
  std::u16string href;  // absolute
};

inline bool operator==(const Link& a, const Link& b) { return a.tagName == b.tagName && a.href == b.href; }

enum class ReadyState { Uninitialized, Loading, Interactive, Complete };

// One browser process tree with its own throw-away profile folder, and one page.
//
// Every call is bounded in time; once the browser is gone the calls fail at once. Close(), and the
// destructor, end every process of the browser and delete the folder, whatever state it is in.
// Not thread-safe.
class ChromiumSession {
 public:
  // $PALISADE_BROWSER when set, else Debian's /usr/bin/chromium.
  static std::string DefaultExecutable();
  // Whether `executable` is there to be run.
  static bool IsInstalled(const std::string& executable);

  // nullptr, with a one-line *error, when the browser is missing or does not come up; nothing is
  // left behind then. The browser runs with its sandbox; when this process is root, as the
  // account of BrowserAccount(). Only when that start fails, or PALISADE_BROWSER_SANDBOX is off,
  // is it started without, as this process, and WithoutSandbox() says why.
  static std::unique_ptr<ChromiumSession> Start(std::string* error,
                                                const std::string& executable = DefaultExecutable());

  ~ChromiumSession();
  ChromiumSession(const ChromiumSession&) = delete;
  ChromiumSession& operator=(const ChromiumSession&) = delete;

  // Starts loading `url` and returns once the request is sent. Until the new document commits,
  // GetReadyState() says Loading while the other calls still see the old document.
  bool Navigate(const std::string& url);

  // document.readyState of the page. Loading also while the page is too busy to answer;
  // Uninitialized before the first navigation, after one that failed (no document came: a network
  // error, a download, an empty error response) and once the browser is gone.
  ReadyState GetReadyState();

  // document.contentType ("text/html", "application/xml", ...); nullopt when it cannot be had.
  std::optional<std::string> ContentType();

  // document.links in document order (a[href] and area[href]), read in one round trip.
  std::optional<std::vector<Link>> GetLinks();
  // The page's answer to that round trip, split into links; nullopt when it is malformed.
  static std::optional<std::vector<Link>> ParseLinks(std::u16string_view packed);

  bool IsOpen() const { return pid_ > 0; }
  // Why the browser runs without its sandbox, in one line; empty when it runs with it.
  const std::string& WithoutSandbox() const { return without_sandbox_; }

  // Ends every process of the browser, reaps it and deletes the profile folder. Idempotent.
  void Close();

 private:
  ChromiumSession() = default;
  static std::unique_ptr<ChromiumSession> TryStart(const std::string& executable, bool sandboxed, std::string* error);
  bool Launch(const std::string& executable, bool sandboxed, const Account* account, std::string* error);
  bool OpenPage(std::string* error);
  std::string StartFailure(const std::string& step) const;
  void SettleNavigation();
  bool ShowsLocalDocument();

  pid_t pid_ = -1;  // also the id of the browser's process group
  std::string dir_;
  std::unique_ptr<DevToolsPipe> pipe_;
  std::string target_id_;
  std::string session_id_;
  std::string without_sandbox_;
  int pending_navigation_ = 0;
  bool navigated_ = false;
  bool navigation_failed_ = false;
  bool navigating_to_web_ = false;
  bool on_web_ = false;  // the last settled navigation asked for an http(s) page
  std::optional<Account> account_;  // the account the browser runs as, when not this process's
};

}  // namespace browser
