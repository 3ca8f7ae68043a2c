#include "browser/sandbox_settings.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <vector>

#include <pwd.h>
#include <unistd.h>

namespace browser {

bool SandboxTurnedOff() {
  const char* setting = std::getenv("PALISADE_BROWSER_SANDBOX");
  return setting && std::strcmp(setting, "off") == 0;
}

std::optional<Account> BrowserAccount(std::string* error) {
  const char* chosen = std::getenv("PALISADE_BROWSER_USER");
  const std::string name = chosen && *chosen ? chosen : "nobody";
  long size = sysconf(_SC_GETPW_R_SIZE_MAX);
  std::vector<char> buffer(size > 0 ? static_cast<std::size_t>(size) : 4096);
  passwd entry{};
  passwd* found = nullptr;
  int rc;
  while ((rc = getpwnam_r(name.c_str(), &entry, buffer.data(), buffer.size(), &found)) == ERANGE &&
         buffer.size() < (1u << 20)) {
    buffer.resize(buffer.size() * 2);
  }
  if (rc != 0 || found == nullptr) {
    *error = "there is no account " + name + (rc != 0 ? std::string(": ") + std::strerror(rc) : std::string());
    return std::nullopt;
  }
  if (entry.pw_uid == 0) {
    *error = "the account " + name + " is root";
    return std::nullopt;
  }
  return Account{entry.pw_uid, entry.pw_gid, name};
}

}  // namespace browser
