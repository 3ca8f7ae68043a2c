#include "capture/session_reader.h"

#include "hostrt32/os_files.h"

#include <cstdio>
#include <memory>

namespace capture {
namespace {

// The first byte that is not white space or a UTF-8 byte-order mark; 0 for none.
int FirstSignificantByte(const unsigned char* bytes, std::size_t size) {
  std::size_t at = size >= 3 && bytes[0] == 0xEF && bytes[1] == 0xBB && bytes[2] == 0xBF ? 3 : 0;
  while (at < size && (bytes[at] == ' ' || bytes[at] == '\t' || bytes[at] == '\r' || bytes[at] == '\n')) ++at;
  return at < size ? bytes[at] : 0;
}

}  // namespace

bool ReadSession(const std::string& path, const EntrySink& sink, std::string& error) {
  hostrt::PathInfo info;
  if (const hostrt::FileError examined = hostrt::Examine(path, info)) {
    error = examined.text;
    return false;
  }
  if (info.kind == hostrt::PathInfo::Kind::Folder) return ReadRequestFolder(path, sink, error);
  if (info.kind != hostrt::PathInfo::Kind::File) {
    error = "'" + path + "' is not a file or a folder";
    return false;
  }
  unsigned char start[512];
  std::size_t size = 0;
  {
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(path.c_str(), "rb"), std::fclose);
    if (!file) {
      error = "cannot open '" + path + "'";
      return false;
    }
    size = std::fread(start, 1, sizeof start, file.get());
  }
  if (size >= 4 && start[0] == 'P' && start[1] == 'K' && (start[2] == 3 || start[2] == 5)) {
    return ReadSaz(path, sink, error);
  }
  switch (FirstSignificantByte(start, size)) {
    case '{': return ReadHar(path, sink, error);
    case '<': return ReadBurp(path, sink, error);
    default:
      error = "'" + path + "' is not a HAR file, a SAZ archive, a Burp XML export or a folder of requests";
      return false;
  }
}

}  // namespace capture
