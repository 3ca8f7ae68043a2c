// The DevTools channel against a scripted peer on real pipes: framing, matching, and how it fails.
#include "browser/devtools_pipe.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <string>

namespace {

using browser::DevToolsPipe;
using namespace std::chrono_literals;

TEST(RepairLoneSurrogates, ReplacesOnlyUnpairedEscapes) {
  const struct {
    const char* json;
    const char* repaired;
  } cases[] = {
      {R"("a\ud800b")", R"("a\ufffdb")"},
      {R"("\udc00")", R"("\ufffd")"},
      {R"("\uD800")", R"("\ufffd")"},
      {R"("\ud83d\ude00")", R"("\ud83d\ude00")"},                    // a proper pair
      {R"("\ud800\u0041")", R"("\ufffd\u0041")"},                    // high, then no low
      {R"("\ud800\ud800\udc00")", R"("\ufffd\ud800\udc00")"},        // the second high has its low
      {R"("\\ud800")", R"("\\ud800")"},                              // an escaped backslash, then text
      {R"("\\\ud800")", R"("\\\ufffd")"},
      {R"("\ud8")", R"("\ud8")"},                                    // cut short: left to the parser
      {R"({"a":"\u00e9","b":"\"\ud800"})", R"({"a":"\u00e9","b":"\"\ufffd"})"},
  };
  for (const auto& c : cases) {
    std::string json = c.json;
    browser::RepairLoneSurrogates(json);
    EXPECT_EQ(c.repaired, json) << c.json;
  }
}

// The test plays the browser: it reads what the channel sends and writes what the browser would.
class DevToolsPipeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    int toBrowser[2], fromBrowser[2];
    ASSERT_EQ(0, pipe2(toBrowser, O_CLOEXEC));
    ASSERT_EQ(0, pipe2(fromBrowser, O_CLOEXEC));
    browserReads_ = toBrowser[0];
    browserWrites_ = fromBrowser[1];
    pipe_ = std::make_unique<DevToolsPipe>(toBrowser[1], fromBrowser[0]);
  }
  void TearDown() override {
    pipe_.reset();
    CloseBrowserEnd();
  }

  void Reply(const std::string& bytes) {
    ASSERT_EQ(static_cast<ssize_t>(bytes.size()), write(browserWrites_, bytes.data(), bytes.size()));
  }
  // The frames the channel has written so far, NULs included.
  std::string Sent() {
    fcntl(browserReads_, F_SETFL, O_NONBLOCK);
    std::string sent;
    char chunk[4096];
    for (ssize_t n; (n = read(browserReads_, chunk, sizeof chunk)) > 0;) sent.append(chunk, static_cast<std::size_t>(n));
    return sent;
  }
  void CloseBrowserEnd() {
    for (int* fd : {&browserReads_, &browserWrites_}) {
      if (*fd >= 0) close(*fd);
      *fd = -1;
    }
  }

  std::unique_ptr<DevToolsPipe> pipe_;
  int browserReads_ = -1;
  int browserWrites_ = -1;
};

TEST_F(DevToolsPipeTest, SendsOneNulEndedFramePerCommand) {
  EXPECT_EQ(1, pipe_->Send("Page.navigate", {{"url", "about:blank"}}, "S1", 1s));
  EXPECT_EQ(2, pipe_->Send("Browser.getVersion", nullptr, "", 1s));
  EXPECT_EQ(std::string(R"({"id":1,"method":"Page.navigate","params":{"url":"about:blank"},"sessionId":"S1"})") +
                '\0' + R"({"id":2,"method":"Browser.getVersion"})" + '\0',
            Sent());
}

TEST_F(DevToolsPipeTest, MatchesAnswersByIdAcrossEventsAndSplitFrames) {
  const int first = pipe_->Send("A", nullptr, "", 1s);
  const int second = pipe_->Send("B", nullptr, "", 1s);
  Reply(std::string(R"({"method":"Target.attachedToTarget","params":{}})") + '\0' + R"({"id":)" +
        std::to_string(second) + R"(,"result":{"v":"b\ud800"}})" + '\0' + R"({"id":)" + std::to_string(first));
  Reply(std::string(R"(,"result":{"v":"a"}})") + '\0');

  const auto a = pipe_->Await(first, 1s);
  ASSERT_TRUE(a);
  EXPECT_EQ("a", (*a)["result"]["v"]);
  const auto b = pipe_->Await(second, 0s);  // already read
  ASSERT_TRUE(b);
  EXPECT_EQ("b\xEF\xBF\xBD", (*b)["result"]["v"]);  // the lone surrogate as U+FFFD
  EXPECT_FALSE(pipe_->broken());
}

TEST_F(DevToolsPipeTest, GivesUpAfterTheTimeoutAndDropsTheLateAnswer) {
  const auto started = std::chrono::steady_clock::now();
  EXPECT_FALSE(pipe_->Call("A", nullptr, "", 50ms));
  EXPECT_GE(std::chrono::steady_clock::now() - started, 50ms);

  const int late = 1;
  const int next = pipe_->Send("B", nullptr, "", 1s);
  Reply(R"({"id":1,"result":{}})" + std::string(1, '\0') + R"({"id":)" + std::to_string(next) + R"(,"result":{}})" +
        std::string(1, '\0'));
  EXPECT_TRUE(pipe_->Await(next, 1s));
  EXPECT_FALSE(pipe_->Await(late, 0s));
  EXPECT_FALSE(pipe_->broken());
}

TEST_F(DevToolsPipeTest, BreaksAtOnceWhenAFrameIsNotJson) {
  const int id = pipe_->Send("A", nullptr, "", 1s);
  Reply(std::string("{\"id\":1,\"result\":") + '\0');
  const auto started = std::chrono::steady_clock::now();
  EXPECT_FALSE(pipe_->Await(id, 10s));
  EXPECT_LT(std::chrono::steady_clock::now() - started, 1s);
  EXPECT_TRUE(pipe_->broken());
}

TEST_F(DevToolsPipeTest, FailsFastOnceTheBrowserIsGone) {
  const int pending = pipe_->Send("A", nullptr, "", 1s);
  CloseBrowserEnd();
  const auto started = std::chrono::steady_clock::now();
  // Writing to a pipe nobody reads must not raise SIGPIPE in the host process.
  EXPECT_EQ(0, pipe_->Send("B", nullptr, "", 1s));
  EXPECT_TRUE(pipe_->broken());
  EXPECT_FALSE(pipe_->Await(pending, 10s));
  EXPECT_FALSE(pipe_->Call("C", nullptr, "", 10s));
  EXPECT_LT(std::chrono::steady_clock::now() - started, 1s);
}

}  // namespace
