// Shared by the tests that run a real browser: a page server on 127.0.0.1, the checks that nothing
// of a browser is left behind, and the skip for machines without Chromium.
#pragma once

#include "temp_dir.h"

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace testing_support {

// Where the browser is looked for, and whether it is there.
std::string BrowserExecutable();
bool BrowserInstalled();

#define SKIP_WITHOUT_BROWSER()                                                                  \
  if (!::testing_support::BrowserInstalled())                                                  \
  GTEST_SKIP() << "no browser at " << ::testing_support::BrowserExecutable()                   \
               << " (apt-get install chromium, or name one in PALISADE_BROWSER)"

// Sets an environment variable for its lifetime.
class ScopedEnv {
 public:
  ScopedEnv(const char* name, const char* value);
  ~ScopedEnv();
  ScopedEnv(const ScopedEnv&) = delete;
  ScopedEnv& operator=(const ScopedEnv&) = delete;

 private:
  const char* name_;
  std::string previous_;
  bool hadPrevious_ = false;
};

// Processes of the machine whose command line mentions `text`.
int ProcessesMentioning(const std::string& text);
struct ProcessSeen {
  int pid;
  long uid;  // the real one; -1 when it could not be read
  std::vector<std::string> args;
};
std::vector<ProcessSeen> ProcessesSeenMentioning(const std::string& text);
// Processes whose parent is this one.
int ChildProcesses();

// Lets other accounts read `dir`, as a browser started by root runs as one of them.
void OpenToOthers(const TempDir& dir);

// Points TMPDIR at a folder of its own for its lifetime, so that whatever a browser keeps there can
// be found, and must be gone, afterwards. Other accounts may pass through it.
class BrowserScratch {
 public:
  BrowserScratch();
  BrowserScratch(const BrowserScratch&) = delete;
  BrowserScratch& operator=(const BrowserScratch&) = delete;

  // Nothing of a browser is running, and its folders are gone.
  ::testing::AssertionResult LeftNothingBehind() const;
  const TempDir& dir() const { return dir_; }

 private:
  TempDir dir_;
  ScopedEnv tmpdir_;
};

// A small HTTP/1.1 server on 127.0.0.1: fixed pages, and pages that never finish.
class PageServer {
 public:
  PageServer();
  ~PageServer();
  PageServer(const PageServer&) = delete;
  PageServer& operator=(const PageServer&) = delete;

  void Add(const std::string& path, const std::string& contentType, const std::string& body);
  // Sends the headers and `start`, then holds the connection open until the server stops.
  void AddStalled(const std::string& path, const std::string& contentType, const std::string& start);
  // "http://127.0.0.1:PORT" + path.
  std::string Url(const std::string& path) const;

 private:
  struct Page {
    std::string contentType, body;
    bool stalled = false;
  };
  void Serve();
  std::string Respond(const std::string& request, bool& stall);

  int listener_ = -1;
  int wake_[2] = {-1, -1};
  int port_ = 0;
  std::mutex mutex_;
  std::map<std::string, Page> pages_;
  std::thread thread_;
};

}  // namespace testing_support
