// ScopeExit: runs a clean-up on every way out of a scope, exceptions included.
#pragma once

#include <utility>

namespace frame {

template <class CleanUp>
class ScopeExit {
 public:
  explicit ScopeExit(CleanUp cleanUp) noexcept : cleanUp_(std::move(cleanUp)) {}
  ScopeExit(const ScopeExit&) = delete;
  ScopeExit& operator=(const ScopeExit&) = delete;
  ~ScopeExit() { cleanUp_(); }

 private:
  CleanUp cleanUp_;
};

}  // namespace frame
