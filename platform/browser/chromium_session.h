// A private headless Chromium driven over its DevTools pipe.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <sys/types.h>

namespace browser {

class DevToolsPipe;

// As the browser reports them, UTF-8.
struct Link {
  std::string tagName;
  std::string href;  // absolute
};

inline bool operator==(const Link& a, const Link& b) {
  return a.tagName == b.tagName && a.href == b.href;
}

enum class ReadyState { Uninitialized, Loading, Interactive, Complete };

// One browser process tree with its own throw-away profile and one page.
// Every call is bounded by a timeout; once the browser is gone the calls answer
// false / Uninitialized / nullopt at once. Not thread-safe.
class ChromiumSession {
 public:
  static std::string DefaultExecutable();

  // nullptr, with a one-line *error, when the browser is missing or does not
  // come up; nothing is left behind in that case.
  static std::unique_ptr<ChromiumSession> Start(std::string* error,
                                                const std::string& executable = DefaultExecutable());

  ~ChromiumSession();
  ChromiumSession(const ChromiumSession&) = delete;
  ChromiumSession& operator=(const ChromiumSession&) = delete;

  // Returns once the request is sent. Until the new document is committed,
  // GetReadyState() says Loading while the other calls still see the old one.
  bool Navigate(const std::string& url);

  // Uninitialized when the state cannot be had (no page, script stuck, browser gone).
  ReadyState GetReadyState();

  // True for text/html and application/xhtml+xml documents.
  bool IsHtmlDocument();

  // document.links in document order (a[href] and area[href]); nullopt on failure.
  std::optional<std::vector<Link>> GetLinks();

  // Ends every process of the browser, reaps it and deletes the profile. Idempotent.
  void Close();

 private:
  ChromiumSession();
  bool Launch(const std::string& executable, std::string* error);
  bool Attach(std::string* error);
  std::string StartFailure(const std::string& step) const;
  std::optional<std::string> EvaluateString(const char* expression);
  bool NavigationPending();

  pid_t pid_ = -1;  // also the process group id
  std::string dir_;
  std::unique_ptr<DevToolsPipe> pipe_;
  std::string session_id_;
  int pending_navigation_ = 0;
};

}  // namespace browser
