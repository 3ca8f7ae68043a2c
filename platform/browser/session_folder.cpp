#include "browser/session_folder.h"

#include "browser/sandbox_settings.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <thread>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace browser {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

// The browser's own folders are a few levels deep; anything far deeper is given up on rather than
// followed down with one open descriptor per level.
constexpr int kMaxDepth = 64;

std::string Why(const std::string& what) { return what + ": " + std::strerror(errno); }

// Removes what the open folder `dir` holds; false when something is left.
bool RemoveEntries(int dir, int depth) {
  const int listed = fcntl(dir, F_DUPFD_CLOEXEC, 0);
  DIR* listing = listed >= 0 ? fdopendir(listed) : nullptr;
  if (!listing) {
    if (listed >= 0) close(listed);
    return false;
  }
  bool emptied = true;
  while (const dirent* entry = readdir(listing)) {
    const char* name = entry->d_name;
    if (std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0) continue;
    if (unlinkat(dir, name, 0) == 0 || errno == ENOENT) continue;
    if (errno != EISDIR && errno != EPERM) {
      emptied = false;
      continue;
    }
    // O_NOFOLLOW: a folder swapped for a link meanwhile is not entered.
    const int sub = openat(dir, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    const bool inner = sub >= 0 && depth < kMaxDepth && RemoveEntries(sub, depth + 1);
    if (sub >= 0) close(sub);
    if (!inner || (unlinkat(dir, name, AT_REMOVEDIR) != 0 && errno != ENOENT)) emptied = false;
  }
  closedir(listing);
  return emptied;
}

bool RemoveOnce(const std::string& path) {
  const int dir = open(path.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  if (dir < 0) return errno == ENOENT;
  const bool emptied = RemoveEntries(dir, 0);
  close(dir);
  return emptied && (rmdir(path.c_str()) == 0 || errno == ENOENT);
}

bool GiveTo(const std::string& path, const Account& account, std::string* error) {
  if (lchown(path.c_str(), account.uid, account.gid) == 0) return true;
  *error = Why("cannot hand " + path + " to " + account.name);
  return false;
}

}  // namespace

std::optional<SessionFolder> MakeSessionFolder(const Account* account, std::string* error) {
  std::error_code ec;
  fs::path tmp = fs::temp_directory_path(ec);
  if (ec) tmp = "/tmp";
  std::string root = (tmp / "palisade-browser-XXXXXX").string();
  if (!mkdtemp(root.data())) {
    *error = Why("cannot create a profile folder in " + tmp.string());
    return std::nullopt;
  }
  SessionFolder folder{root, root + "/user"};
  const std::string scratch = folder.user + "/tmp";
  bool made = mkdir(folder.user.c_str(), 0700) == 0 && mkdir(scratch.c_str(), 0700) == 0;
  if (!made) *error = Why("cannot create " + scratch);
  // Handed over only once complete, and the root stays this process's: nothing the account does
  // reaches the log or the folder's name.
  if (made && account) {
    made = GiveTo(scratch, *account, error) && GiveTo(folder.user, *account, error);
    if (made && chmod(root.c_str(), 0711) != 0) {
      *error = Why("cannot open " + root + " to " + account->name);
      made = false;
    }
  }
  if (!made) {
    RemoveFolder(root);
    return std::nullopt;
  }
  return folder;
}

void RemoveFolder(const std::string& path) {
  for (int attempt = 0; attempt < 50; ++attempt) {
    if (RemoveOnce(path)) return;
    std::this_thread::sleep_for(20ms);
  }
}

}  // namespace browser
