// Windows-style paths on POSIX, whole-file reads and atomic replacement.
#include "hostrt32/os_files.h"

#include "lock_wait.h"

#include "win32/strings.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace hostrt {
namespace {

FileError::Kind KindOf(int error) {
  switch (error) {
    case ENOENT:
    case ENOTDIR: return FileError::Kind::NotFound;
    case EACCES:
    case EPERM:
    case EROFS: return FileError::Kind::Denied;
    case EFBIG: return FileError::Kind::TooLarge;
    default: return FileError::Kind::Io;
  }
}

// The error `errno` tells, for doing `what` to `path`.
FileError ErrnoError(const char* what, const std::string& path, int error = errno) {
  return {KindOf(error), std::string(what) + " '" + path + "': " + std::strerror(error)};
}

bool WriteAll(int fd, const char* data, std::size_t size) {
  while (size > 0) {
    const ssize_t n = ::write(fd, data, size);
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    data += n;
    size -= static_cast<std::size_t>(n);
  }
  return true;
}

std::string FolderOf(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

}  // namespace

std::string NativePath(const std::string& path) {
  std::string native = path;
  for (char& c : native) {
    if (c == '\\') c = '/';
  }
  return native;
}

std::string NativePath(win32::OleStringView path) { return NativePath(win32::Narrow(path, CP_UTF8)); }

std::string JoinPath(const std::string& nativeFolder, const std::string& name) {
  if (nativeFolder.empty() || nativeFolder.back() == '/') return nativeFolder + name;
  return nativeFolder + "/" + name;
}

FileError Examine(const std::string& nativePath, PathInfo& info) {
  info = PathInfo();
  struct stat st {};
  if (::stat(nativePath.c_str(), &st) != 0) {
    if (errno == ENOENT || errno == ENOTDIR) return {};
    return ErrnoError("cannot examine", nativePath);
  }
  info.kind = S_ISREG(st.st_mode)   ? PathInfo::Kind::File
              : S_ISDIR(st.st_mode) ? PathInfo::Kind::Folder
                                    : PathInfo::Kind::Other;
  info.mode = static_cast<unsigned>(st.st_mode) & 07777u;
  info.size = static_cast<std::uint64_t>(st.st_size);
  return {};
}

FileError CanCreateFilesIn(const std::string& nativeFolder) {
  if (::faccessat(AT_FDCWD, nativeFolder.c_str(), W_OK | X_OK, AT_EACCESS) == 0) return {};
  return ErrnoError("cannot create files in", nativeFolder);
}

FileError ReadWholeFile(const std::string& nativePath, std::string& contents, std::size_t maxBytes) {
  contents.clear();
  const int fd = ::open(nativePath.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return ErrnoError("cannot open", nativePath);
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(fd);
    return {FileError::Kind::NotAFile, "not a regular file '" + nativePath + "'"};
  }
  char buffer[65536];
  for (;;) {
    const ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      const FileError error = ErrnoError("cannot read", nativePath);
      ::close(fd);
      contents.clear();
      return error;
    }
    if (n == 0) break;
    if (contents.size() + static_cast<std::size_t>(n) > maxBytes) {
      ::close(fd);
      contents.clear();
      return {FileError::Kind::TooLarge, "file too large '" + nativePath + "'"};
    }
    contents.append(buffer, static_cast<std::size_t>(n));
  }
  ::close(fd);
  return {};
}

namespace {

// A file for the new contents, not yet under any name where the system allows it (O_TMPFILE), so
// that a process killed while writing leaves nothing behind; else a uniquely named one. `named` is
// empty for the first kind.
int OpenTemporary(const std::string& folder, const std::string& nativePath, std::string& named) {
  named.clear();
#if defined(O_TMPFILE)
  // Naming such a file later goes through /proc.
  static const bool canName = ::access("/proc/self/fd", X_OK) == 0;
  if (canName) {
    const int fd = ::open(folder.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0600);
    if (fd >= 0) return fd;
    if (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL) return -1;
  }
#endif
  std::string temp = nativePath + ".tmp-XXXXXX";
  const int made = ::mkstemp(temp.data());
  if (made >= 0) named = temp;
  return made;
}

// Gives an unnamed temporary file the name `temp` next to its target.
bool NameTemporary(int fd, const std::string& nativePath, std::string& temp) {
  const std::string self = "/proc/self/fd/" + std::to_string(fd);
  for (int attempt = 0; attempt < 100; ++attempt) {
    temp = nativePath + ".tmp-" + std::to_string(::getpid()) + "-" + std::to_string(attempt);
    if (::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, temp.c_str(), AT_SYMLINK_FOLLOW) == 0) return true;
    if (errno != EEXIST) return false;
  }
  return false;
}

}  // namespace

FileError ReplaceFileAtomically(const std::string& nativePath, const std::string& contents, unsigned mode) {
  const std::string folder = FolderOf(nativePath);
  std::string temp;
  const int fd = OpenTemporary(folder, nativePath, temp);
  if (fd < 0) return ErrnoError("cannot create a file in", folder);
  const bool written = ::fchmod(fd, mode) == 0 && WriteAll(fd, contents.data(), contents.size()) &&
                       ::fsync(fd) == 0 && (!temp.empty() || NameTemporary(fd, nativePath, temp));
  const int writeErrno = errno;
  const bool closed = ::close(fd) == 0;
  if (!written || !closed) {
    const FileError error = ErrnoError("cannot write", temp.empty() ? nativePath : temp, written ? errno : writeErrno);
    if (!temp.empty()) ::unlink(temp.c_str());
    return error;
  }
  if (::rename(temp.c_str(), nativePath.c_str()) != 0) {
    const FileError error = ErrnoError("cannot replace", nativePath);
    ::unlink(temp.c_str());
    return error;
  }
  // The rename itself must reach the disk before the save counts as done.
  const int dir = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dir >= 0) {
    ::fsync(dir);
    ::close(dir);
  }
  return {};
}

bool StandardOutputIsTerminal() { return ::isatty(STDOUT_FILENO) == 1; }

FileError WriteStandardOutput(const std::string& bytes) {
  if (std::fflush(stdout) != 0 || !WriteAll(STDOUT_FILENO, bytes.data(), bytes.size())) {
    return ErrnoError("cannot write", "standard output");
  }
  return {};
}

FileLock::~FileLock() { Release(); }

void FileLock::Release() noexcept {
  if (handle_ < 0) return;
  // Gone before the lock goes: whoever opens the name next makes a new file, and whoever opened the
  // old one meanwhile sees that it is no longer there and opens again.
  ::unlink(path_.c_str());
  ::close(static_cast<int>(handle_));
  handle_ = -1;
}

FileError FileLock::Acquire(const std::string& nativePath, std::chrono::milliseconds wait) {
  Release();
  path_ = nativePath + ".lock";
  LockWait retry(wait);
  for (;;) {
    const int fd = ::open(path_.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0) return ErrnoError("cannot lock", path_);
    if (::flock(fd, LOCK_EX | LOCK_NB) == 0) {
      struct stat held {}, named {};
      if (::fstat(fd, &held) == 0 && ::stat(path_.c_str(), &named) == 0 && held.st_dev == named.st_dev &&
          held.st_ino == named.st_ino) {
        handle_ = fd;
        return {};
      }
      ::close(fd);  // its holder removed it just now: open the name again
      continue;
    }
    const int error = errno;
    ::close(fd);
    if (error != EWOULDBLOCK && error != EINTR) return ErrnoError("cannot lock", path_, error);
    if (FileError busy = retry.Next(path_)) return busy;
  }
}

}  // namespace hostrt
