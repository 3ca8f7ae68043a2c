// A folder of recorded request files, read in the order of their names; hidden files and folders
// inside it are passed over.
#include "capture/session_reader.h"

#include "hostrt32/os_files.h"
#include "request_entry.h"

#include <algorithm>
#include <filesystem>
#include <system_error>
#include <vector>

namespace capture {

bool ReadRequestFolder(const std::string& path, const EntrySink& sink, std::string& error) {
  std::vector<std::string> names;
  std::error_code ec;
  for (std::filesystem::directory_iterator it(path, ec), end; !ec && it != end; it.increment(ec)) {
    const std::string name = it->path().filename().string();
    if (!name.empty() && name.front() != '.' && it->is_regular_file(ec)) names.push_back(name);
  }
  if (ec) {
    error = "cannot list '" + path + "': " + ec.message();
    return false;
  }
  std::sort(names.begin(), names.end());
  for (const std::string& name : names) {
    std::string bytes;
    if (const hostrt::FileError read = hostrt::ReadWholeFile(hostrt::JoinPath(path, name), bytes, kMaxEntryBytes)) {
      sink(SkippedEntry(name, "", read.text));
    } else {
      sink(EntryFromRequest(name, bytes, ""));
    }
  }
  return true;
}

}  // namespace capture
