// File helpers shared by the product's components: Windows-style paths and atomic replacement.
//
// Native paths are what these helpers take: on POSIX the bytes of the path with '/' separators;
// on Windows UTF-8 (turned into UTF-16 for the system), so that every name can be given.
#pragma once

#include "hostrt32/hostrt32.h"
#include "win32/base.h"

#include <chrono>
#include <cstdint>
#include <string>

namespace hostrt {

// A path in the product's own text (the ANSI code page, '\' separators) in native form: on POSIX
// each '\' becomes '/', so that the Windows texts the product forms ("C:\x\..\dat\f.ini" aside)
// name the same files; on Windows the text becomes UTF-8.
HOSTRT32_API std::string NativePath(const std::string& path);
// The same for a path in UTF-16.
HOSTRT32_API std::string NativePath(win32::OleStringView path);
// `name` inside `nativeFolder`, with one separator between them.
HOSTRT32_API std::string JoinPath(const std::string& nativeFolder, const std::string& name);

// What went wrong with a file, as a value: its kind for the program, its text for a person.
struct FileError {
  enum class Kind { None, NotFound, NotAFile, TooLarge, Denied, Busy, Io };
  Kind kind = Kind::None;
  std::string text;  // one line, naming the path

  explicit operator bool() const noexcept { return kind != Kind::None; }
};

// What a path names.
struct PathInfo {
  enum class Kind { Missing, File, Folder, Other };
  Kind kind = Kind::Missing;
  unsigned mode = 0;       // permission bits (on Windows 0644, or 0444 for a read-only file)
  std::uint64_t size = 0;  // bytes, for a file
};
// An error when the system cannot tell; a path that is not there is Missing, not an error.
HOSTRT32_API FileError Examine(const std::string& nativePath, PathInfo& info);
// Whether this process may create files in the folder (Denied when it may not). On Windows only
// what the folder's attributes say is checked: its access list is tried at write time.
HOSTRT32_API FileError CanCreateFilesIn(const std::string& nativeFolder);

// Reads a whole file; TooLarge when it holds more than `maxBytes`.
HOSTRT32_API FileError ReadWholeFile(const std::string& nativePath, std::string& contents,
                                     std::size_t maxBytes = std::size_t(1) << 30);

// A file that need not be there, as ReadExistingFile found it.
struct ExistingFile {
  bool present = false;
  unsigned mode = 0;       // its permission bits, when present
  std::uint64_t size = 0;  // its size, when present
  std::string text;        // its contents, when present and no larger than asked
};
// Reads the file at `nativePath` when there is one: a missing file (or folder) is no error and
// leaves `file.present` false; a path naming no regular file is NotAFile; a file of more than
// `maxBytes` is TooLarge before anything of it is read.
HOSTRT32_API FileError ReadExistingFile(const std::string& nativePath, std::size_t maxBytes, ExistingFile& file);

// Replaces the file with `contents`: written to a temporary file in the same folder, flushed to
// disk, then renamed over the old one, so a crash at any point leaves either the old or the new
// file whole. Where the system offers unnamed files (O_TMPFILE), a writer killed before the
// rename leaves no temporary file behind either. `mode` is the new file's permission bits; on
// Windows a mode without group and other bits gives the file an access list of its owner alone.
// On failure the old file is untouched.
HOSTRT32_API FileError ReplaceFileAtomically(const std::string& nativePath, const std::string& contents, unsigned mode);

// The standard output, for bytes that are not text: whether it is a terminal (whose screen they
// would garble), and a write of all of them as they are (on Windows no CR is put before an LF).
HOSTRT32_API bool StandardOutputIsTerminal();
HOSTRT32_API FileError WriteStandardOutput(const std::string& bytes);

// An exclusive lock on a file that is replaced by rename, for one read-merge-replace at a time
// between processes (and between the threads of one). The lock is taken on a file beside the
// target, named as the target with ".lock" appended and private to its owner like the target; it
// is there only while the lock is held (a holder killed on POSIX leaves it for the next one). The
// system lets the lock go when its holder ends, however it ends.
class HOSTRT32_API FileLock {
 public:
  FileLock() noexcept = default;
  FileLock(const FileLock&) = delete;
  FileLock& operator=(const FileLock&) = delete;
  ~FileLock();

  // Takes the lock of `nativePath`, waiting at most `wait` for another holder; Busy when that
  // holder kept it longer, another kind when the lock file cannot be had. Unlocks what it held.
  FileError Acquire(const std::string& nativePath, std::chrono::milliseconds wait = std::chrono::seconds(10));
  void Release() noexcept;

 private:
  std::intptr_t handle_ = -1;  // a descriptor on POSIX, a HANDLE on Windows
  std::string path_;           // of the lock file
};

}  // namespace hostrt
