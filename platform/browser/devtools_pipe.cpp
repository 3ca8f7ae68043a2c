#include "browser/devtools_pipe.h"

#include <cerrno>
#include <csignal>
#include <ctime>

#include <fcntl.h>
#include <poll.h>
#include <pthread.h>
#include <unistd.h>

namespace browser {
namespace {

using Clock = std::chrono::steady_clock;

// A write to a pipe whose reader has died raises SIGPIPE, which would end the
// host process. The signal is blocked for this thread only while writing and, if
// the write raised it, consumed before the old mask returns; the process-wide
// disposition is never touched.
class SigpipeBlock {
 public:
  SigpipeBlock() {
    sigemptyset(&pipe_);
    sigaddset(&pipe_, SIGPIPE);
    sigset_t pending;
    sigemptyset(&pending);
    sigpending(&pending);
    was_pending_ = sigismember(&pending, SIGPIPE) == 1;
    pthread_sigmask(SIG_BLOCK, &pipe_, &old_);
  }
  ~SigpipeBlock() {
    const int saved = errno;
    if (raised_ && !was_pending_) {
      const timespec zero{0, 0};
      while (sigtimedwait(&pipe_, nullptr, &zero) == -1 && errno == EINTR) {
      }
    }
    pthread_sigmask(SIG_SETMASK, &old_, nullptr);
    errno = saved;
  }
  SigpipeBlock(const SigpipeBlock&) = delete;
  SigpipeBlock& operator=(const SigpipeBlock&) = delete;
  void Raised() { raised_ = true; }

 private:
  sigset_t pipe_;
  sigset_t old_;
  bool was_pending_ = false;
  bool raised_ = false;
};

// poll() wants whole milliseconds; round up so a short wait is not a busy spin.
int MillisUntil(Clock::time_point deadline) {
  const auto left = deadline - Clock::now();
  if (left <= Clock::duration::zero()) return 0;
  const auto ms = std::chrono::ceil<std::chrono::milliseconds>(left).count();
  return ms > 1000000 ? 1000000 : static_cast<int>(ms);
}

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// The code unit of the "\\uXXXX" escape at `at`, or -1.
long EscapedUnit(const std::string& text, std::size_t at) {
  if (at + 6 > text.size() || text[at] != '\\' || text[at + 1] != 'u') return -1;
  long unit = 0;
  for (std::size_t i = at + 2; i < at + 6; ++i) {
    const int digit = HexValue(text[i]);
    if (digit < 0) return -1;
    unit = unit * 16 + digit;
  }
  return unit;
}

void SetNonBlocking(int fd) {
  const int flags = fcntl(fd, F_GETFL);
  if (flags != -1) fcntl(fd, F_SETFL, flags | O_NONBLOCK);
}

}  // namespace

void RepairLoneSurrogates(std::string& json) {
  for (std::size_t i = 0; i < json.size(); ++i) {
    if (json[i] != '\\') continue;
    const long unit = EscapedUnit(json, i);
    if (unit < 0) {
      ++i;  // an escape of one character, '\\' included
      continue;
    }
    const bool high = unit >= 0xD800 && unit <= 0xDBFF;
    const bool low = unit >= 0xDC00 && unit <= 0xDFFF;
    if (high) {
      const long next = EscapedUnit(json, i + 6);
      if (next >= 0xDC00 && next <= 0xDFFF) {
        i += 11;  // a proper pair
        continue;
      }
    }
    if (high || low) json.replace(i + 2, 4, "fffd");
    i += 5;
  }
}

DevToolsPipe::DevToolsPipe(int to_browser, int from_browser)
    : to_browser_(to_browser), from_browser_(from_browser) {
  // Non-blocking so that a browser which stops reading or writing cannot stall
  // us beyond the deadline we give poll().
  SetNonBlocking(to_browser_);
  SetNonBlocking(from_browser_);
}

DevToolsPipe::~DevToolsPipe() {
  if (to_browser_ >= 0) close(to_browser_);
  if (from_browser_ >= 0) close(from_browser_);
}

int DevToolsPipe::Send(const std::string& method, const nlohmann::json& params,
                       const std::string& session_id, Duration timeout) {
  if (broken_) return 0;
  const int id = next_id_++;
  nlohmann::json message = {{"id", id}, {"method", method}};
  if (!params.is_null()) message["params"] = params;
  if (!session_id.empty()) message["sessionId"] = session_id;
  // Caller strings (URLs, scripts) may hold invalid UTF-8; replace rather than throw.
  std::string frame = message.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
  frame.push_back('\0');
  if (!WriteFrame(frame, Clock::now() + timeout)) return 0;
  expected_.insert(id);
  return id;
}

bool DevToolsPipe::WriteFrame(const std::string& frame, Clock::time_point deadline) {
  SigpipeBlock block;
  std::size_t done = 0;
  while (done < frame.size()) {
    const ssize_t n = write(to_browser_, frame.data() + done, frame.size() - done);
    if (n > 0) {
      done += static_cast<std::size_t>(n);
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && errno == EAGAIN) {
      pollfd p{to_browser_, POLLOUT, 0};
      const int ready = poll(&p, 1, MillisUntil(deadline));
      if (ready > 0 && (p.revents & POLLOUT)) continue;
      if (ready < 0 && errno == EINTR) continue;
      if (ready == 0) {
        // Half a frame would corrupt every later message.
        if (done > 0) broken_ = true;
        return false;
      }
      // POLLERR: the reader is gone; the next write reports EPIPE.
      continue;
    }
    if (n < 0 && errno == EPIPE) block.Raised();
    broken_ = true;
    return false;
  }
  return true;
}

bool DevToolsPipe::ReadSome(Clock::time_point deadline) {
  char chunk[64 * 1024];
  for (;;) {
    const ssize_t n = read(from_browser_, chunk, sizeof chunk);
    if (n > 0) {
      inbox_.append(chunk, static_cast<std::size_t>(n));
      return true;
    }
    if (n == 0) {
      broken_ = true;
      return false;
    }
    if (errno == EINTR) continue;
    if (errno != EAGAIN) {
      broken_ = true;
      return false;
    }
    pollfd p{from_browser_, POLLIN, 0};
    const int ready = poll(&p, 1, MillisUntil(deadline));
    if (ready == 0) return false;
    if (ready < 0 && errno != EINTR) {
      broken_ = true;
      return false;
    }
  }
}

void DevToolsPipe::TakeFrames() {
  std::size_t start = 0;
  for (std::size_t nul = inbox_.find('\0', scanned_); nul != std::string::npos;
       nul = inbox_.find('\0', start)) {
    std::string frame = inbox_.substr(start, nul - start);
    start = nul + 1;
    RepairLoneSurrogates(frame);
    auto message = nlohmann::json::parse(frame, nullptr, false);
    if (!message.is_object()) {
      // Its id cannot be known, so whoever waits for it would wait in vain.
      broken_ = true;
      continue;
    }
    const auto id = message.find("id");
    if (id == message.end() || !id->is_number_integer()) continue;  // an event
    const int key = id->get<int>();
    if (expected_.erase(key) != 0) answered_[key] = std::move(message);
  }
  inbox_.erase(0, start);
  scanned_ = inbox_.size();
}

std::optional<nlohmann::json> DevToolsPipe::Await(int id, Duration timeout) {
  const auto deadline = Clock::now() + timeout;
  for (;;) {
    const auto it = answered_.find(id);
    if (it != answered_.end()) {
      auto message = std::move(it->second);
      answered_.erase(it);
      return message;
    }
    if (broken_ || expected_.count(id) == 0) return std::nullopt;
    if (!ReadSome(deadline)) return std::nullopt;
    TakeFrames();
  }
}

void DevToolsPipe::Forget(int id) {
  expected_.erase(id);
  answered_.erase(id);
}

std::optional<nlohmann::json> DevToolsPipe::Call(const std::string& method,
                                                 const nlohmann::json& params,
                                                 const std::string& session_id, Duration timeout) {
  const int id = Send(method, params, session_id, timeout);
  if (id == 0) return std::nullopt;
  auto response = Await(id, timeout);
  Forget(id);
  return response;
}

}  // namespace browser
