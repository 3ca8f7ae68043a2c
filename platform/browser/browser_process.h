// Starting the browser's process: its descriptors, signals and process group, and the switch to
// another account, all between fork and exec.
#pragma once

#include <string>
#include <vector>

#include <sys/types.h>

namespace browser {

struct Account;

// Descriptors handed to the process must sit at or above this, so that placing them on 0 to 4
// cannot overwrite one with another.
inline constexpr int kFirstFreeFd = 5;

struct BrowserLaunch {
  std::vector<std::string> argv;  // the executable first
  std::vector<std::string> env;
  int null_fd = -1;      // becomes 0 and 1
  int log_fd = -1;       // becomes 2
  int commands_fd = -1;  // becomes 3
  int replies_fd = -1;   // becomes 4
  // Run as this account, not as this process's; nullptr keeps this process's.
  const Account* account = nullptr;
  // A folder the process must be able to write, checked as the account it runs as.
  std::string writable;
};

// The new process's id, which is also the id of its own process group; -1 with a one-line
// *error when it could not be started or could not become the account. Nothing of it is left
// running then.
pid_t StartBrowserProcess(const BrowserLaunch& launch, std::string* error);

// Whether `account` may read the file at `path`, asked of the system by a child process that
// becomes that account.
bool AccountCanRead(const Account& account, const std::string& path);

}  // namespace browser
