// How FileLock::Acquire waits for a lock that another holder has: tries 1 ms apart at first, the
// pause doubling up to 50 ms, until the time allowed has passed.
#pragma once

#include "hostrt32/os_files.h"

#include <algorithm>
#include <chrono>
#include <string>
#include <thread>

namespace hostrt {

class LockWait {
 public:
  explicit LockWait(std::chrono::milliseconds wait) : wait_(wait), deadline_(std::chrono::steady_clock::now() + wait) {}

  // Sleeps until the next try; Busy, naming the lock file, once the time allowed is over.
  FileError Next(const std::string& lockPath) {
    if (std::chrono::steady_clock::now() >= deadline_) {
      return {FileError::Kind::Busy,
              "another process held '" + lockPath + "' for more than " + std::to_string(wait_.count()) + " ms"};
    }
    std::this_thread::sleep_for(pause_);
    pause_ = std::min(pause_ * 2, std::chrono::milliseconds(50));
    return {};
  }

 private:
  std::chrono::milliseconds wait_;
  std::chrono::steady_clock::time_point deadline_;
  std::chrono::milliseconds pause_{1};
};

}  // namespace hostrt
