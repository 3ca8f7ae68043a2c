// File helpers shared by the product's components: Windows-style paths and atomic replacement.
#pragma once

#include "hostrt32/hostrt32.h"

#include <string>

namespace hostrt {

// The same path in the platform's own form: on POSIX each '\' becomes '/', so that the Windows
// texts the product forms ("C:\x\..\dat\f.ini" aside) name the same files.
HOSTRT32_API std::string NativePath(const std::string& path);

// Reads a whole file. false (and `error` set) when it cannot be opened or is larger than `maxBytes`.
HOSTRT32_API bool ReadWholeFile(const std::string& nativePath, std::string& contents, std::string& error,
                                std::size_t maxBytes = std::size_t(1) << 30);

// Replaces the file with `contents`: written to a temporary file in the same folder, flushed to
// disk, then renamed over the old one, so a crash at any point leaves either the old or the new
// file whole. Where the system offers unnamed files (O_TMPFILE), a writer killed before the
// rename leaves no temporary file behind either. `mode` is the new file's permission bits. false
// (and `error` set) on failure, in which case the old file is untouched.
HOSTRT32_API bool ReplaceFileAtomically(const std::string& nativePath, const std::string& contents, unsigned mode,
                                        std::string& error);

}  // namespace hostrt
