// Runs a piece of a test in a child process of its own, so that its peak memory is its own (the
// kernel's accounting of the child, not an allocator hook) and a crash or a hang is a result, not
// the end of the test program.
#pragma once

#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <functional>
#include <thread>

namespace hostile {

// Sanitizers keep shadow memory and quarantines and slow everything down: peak-memory bounds and
// timings that hold for the product do not hold under them.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
inline constexpr bool kUnderSanitizer = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer) || __has_feature(memory_sanitizer)
inline constexpr bool kUnderSanitizer = true;
#else
inline constexpr bool kUnderSanitizer = false;
#endif
#else
inline constexpr bool kUnderSanitizer = false;
#endif

struct ChildOutcome {
  int exitCode = -1;  // -1 when it did not exit by itself
  int signal = 0;     // the signal that ended it, if one did
  long peakKib = 0;   // its peak resident memory
  bool timedOut = false;

  bool Succeeded() const { return exitCode == 0; }
};

// Runs `body` in a forked child; its return value is the child's exit code. A child still running
// after `limit` is killed: no input may hang an operation, whatever it costs.
inline ChildOutcome RunInChild(const std::function<int()>& body,
                               std::chrono::seconds limit = std::chrono::seconds(120)) {
  std::fflush(nullptr);
  const pid_t pid = fork();
  if (pid == 0) {
    int code = 99;
    try {
      code = body();
    } catch (...) {
      code = 98;  // nothing may escape an operation
    }
    std::fflush(nullptr);
    _exit(code);
  }
  ChildOutcome outcome;
  if (pid < 0) {
    ADD_FAILURE() << "fork failed";
    return outcome;
  }
  const auto deadline = std::chrono::steady_clock::now() + limit;
  int status = 0;
  rusage usage{};
  for (;;) {
    const pid_t done = wait4(pid, &status, WNOHANG, &usage);
    if (done == pid) break;
    if (std::chrono::steady_clock::now() > deadline) {
      outcome.timedOut = true;
      kill(pid, SIGKILL);
      wait4(pid, &status, 0, &usage);
      break;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  if (WIFEXITED(status)) outcome.exitCode = WEXITSTATUS(status);
  if (WIFSIGNALED(status)) outcome.signal = WTERMSIG(status);
  outcome.peakKib = usage.ru_maxrss;
  return outcome;
}

// The peak resident memory of a child that does nothing: what the test program itself weighs.
inline long BaselineKib() {
  static const long baseline = RunInChild([] { return 0; }).peakKib;
  return baseline;
}

}  // namespace hostile
