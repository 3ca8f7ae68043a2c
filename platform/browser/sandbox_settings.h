// Whether the browser may use its sandbox, and whom it runs as when the library runs as root.
#pragma once

#include <optional>
#include <string>

#include <sys/types.h>

namespace browser {

// An unprivileged account, looked up before any process is started.
struct Account {
  uid_t uid = 0;
  gid_t gid = 0;
  std::string name;
};

// PALISADE_BROWSER_SANDBOX=off: the caller wants the browser started without its sandbox.
bool SandboxTurnedOff();

// The account PALISADE_BROWSER_USER names, else nobody; nullopt, with a one-line *error, when it
// does not exist or is root.
std::optional<Account> BrowserAccount(std::string* error);

}  // namespace browser
