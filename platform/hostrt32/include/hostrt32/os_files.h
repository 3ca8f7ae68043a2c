// File helpers shared by the product's components: Windows-style paths and atomic replacement.
//
// Native paths are what these helpers take: on POSIX the bytes of the path with '/' separators;
// on Windows UTF-8 (turned into UTF-16 for the system), so that every name can be given.
#pragma once

#include "hostrt32/hostrt32.h"
#include "win32/base.h"

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

// What a path names.
struct PathInfo {
  enum class Kind { Missing, File, Folder, Other };
  Kind kind = Kind::Missing;
  unsigned mode = 0;       // permission bits (on Windows 0644, or 0444 for a read-only file)
  std::uint64_t size = 0;  // bytes, for a file
};
// false (and `error` set) when the system cannot tell; a path that is not there is Missing.
HOSTRT32_API bool Examine(const std::string& nativePath, PathInfo& info, std::string& error);
// Whether this process may create files in the folder; false with `error` when it may not. On
// Windows only what the folder's attributes say is checked: its access list is tried at write time.
HOSTRT32_API bool CanCreateFilesIn(const std::string& nativeFolder, std::string& error);

// Reads a whole file. false (and `error` set) when it cannot be opened or is larger than `maxBytes`.
HOSTRT32_API bool ReadWholeFile(const std::string& nativePath, std::string& contents, std::string& error,
                                std::size_t maxBytes = std::size_t(1) << 30);

// Replaces the file with `contents`: written to a temporary file in the same folder, flushed to
// disk, then renamed over the old one, so a crash at any point leaves either the old or the new
// file whole. Where the system offers unnamed files (O_TMPFILE), a writer killed before the
// rename leaves no temporary file behind either. `mode` is the new file's permission bits; on
// Windows a mode without group and other bits gives the file an access list of its owner alone.
// false (and `error` set) on failure, in which case the old file is untouched.
HOSTRT32_API bool ReplaceFileAtomically(const std::string& nativePath, const std::string& contents, unsigned mode,
                                        std::string& error);

}  // namespace hostrt
