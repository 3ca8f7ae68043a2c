// ReadExistingFile: the same on every system, over Examine and ReadWholeFile.
#include "hostrt32/os_files.h"

namespace hostrt {

FileError ReadExistingFile(const std::string& nativePath, std::size_t maxBytes, ExistingFile& file) {
  file = ExistingFile();
  PathInfo info;
  if (FileError error = Examine(nativePath, info)) return error;
  if (info.kind == PathInfo::Kind::Missing) return {};
  if (info.kind != PathInfo::Kind::File) {
    return {FileError::Kind::NotAFile, "not a regular file '" + nativePath + "'"};
  }
  file.present = true;
  file.mode = info.mode;
  file.size = info.size;
  if (info.size > maxBytes) return {FileError::Kind::TooLarge, "file too large '" + nativePath + "'"};
  return ReadWholeFile(nativePath, file.text, maxBytes);
}

}  // namespace hostrt
