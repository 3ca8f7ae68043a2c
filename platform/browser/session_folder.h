// The throw-away folder of one browser session.
#pragma once

#include <optional>
#include <string>

namespace browser {

struct Account;

// <root>       this process's: the browser's log, and the one folder below
// <root>/user  the browser's: its profile, scratch files and caches, owned by the account it
//              runs as; this process only ever removes what is in there.
struct SessionFolder {
  std::string root;
  std::string user;
};

// A new folder in the temporary folder, its user part made for `account` (nullptr: for this
// process's own); nullopt with a one-line *error, leaving nothing behind.
std::optional<SessionFolder> MakeSessionFolder(const Account* account, std::string* error);

// Removes `path` and everything in it without following a link out of it, so that whatever the
// browser's account put there cannot turn the removal onto other files. Killed helpers may finish
// one last file operation, so it tries again for a while until the folder is gone.
void RemoveFolder(const std::string& path);

}  // namespace browser
