// SAZ: a zip archive whose raw/NNN_c.txt entries are the requests as sent. Entries are read into
// memory only, never past kMaxEntryBytes however large the archive says they are.
#include "capture/session_reader.h"

#include "request_entry.h"

#include <zip.h>

#include <algorithm>
#include <memory>
#include <vector>

namespace capture {
namespace {

using Archive = std::unique_ptr<zip_t, decltype(&zip_discard)>;

// The number NNN of a name "raw/NNN_c.txt"; false for any other name.
bool RequestNumber(const std::string& name, unsigned long& number) {
  const std::string prefix = "raw/", suffix = "_c.txt";
  if (name.size() <= prefix.size() + suffix.size() || name.compare(0, prefix.size(), prefix) != 0 ||
      name.compare(name.size() - suffix.size(), suffix.size(), suffix) != 0) {
    return false;
  }
  const std::string digits = name.substr(prefix.size(), name.size() - prefix.size() - suffix.size());
  if (digits.size() > 9 || digits.find_first_not_of("0123456789") != std::string::npos) return false;
  number = std::stoul(digits);
  return true;
}

// The entry's bytes, or the reason they cannot be had.
bool ReadEntry(zip_t* archive, zip_uint64_t index, std::string& bytes, std::string& reason) {
  zip_stat_t stat;
  zip_stat_init(&stat);
  if (zip_stat_index(archive, index, 0, &stat) != 0) {
    reason = zip_strerror(archive);
    return false;
  }
  if ((stat.valid & ZIP_STAT_ENCRYPTION_METHOD) && stat.encryption_method != ZIP_EM_NONE) {
    reason = "the entry is encrypted";
    return false;
  }
  const std::string tooLarge = "the entry inflates to more than " + std::to_string(kMaxEntryBytes >> 20) + " MiB";
  if ((stat.valid & ZIP_STAT_SIZE) && stat.size > kMaxEntryBytes) {
    reason = tooLarge;
    return false;
  }
  std::unique_ptr<zip_file_t, decltype(&zip_fclose)> file(zip_fopen_index(archive, index, 0), zip_fclose);
  if (!file) {
    reason = zip_strerror(archive);
    return false;
  }
  // The size stated in the archive is only a hint: what counts is what inflating gives.
  bytes.clear();
  char chunk[64 * 1024];
  for (;;) {
    const zip_int64_t n = zip_fread(file.get(), chunk, sizeof chunk);
    if (n < 0) {
      reason = zip_file_strerror(file.get());
      return false;
    }
    if (n == 0) return true;
    if (bytes.size() + static_cast<std::size_t>(n) > kMaxEntryBytes) {
      reason = tooLarge;
      return false;
    }
    bytes.append(chunk, static_cast<std::size_t>(n));
  }
}

}  // namespace

bool ReadSaz(const std::string& path, const EntrySink& sink, std::string& error) {
  int code = 0;
  Archive archive(zip_open(path.c_str(), ZIP_RDONLY | ZIP_CHECKCONS, &code), zip_discard);
  if (!archive) {
    zip_error_t reason;
    zip_error_init_with_code(&reason, code);
    error = "'" + path + "' is not a readable zip archive: " + zip_error_strerror(&reason);
    zip_error_fini(&reason);
    return false;
  }
  struct Request {
    unsigned long number;
    zip_uint64_t index;
    std::string name;
  };
  std::vector<Request> requests;
  const zip_int64_t count = zip_get_num_entries(archive.get(), 0);
  for (zip_int64_t i = 0; i < count; ++i) {
    const char* name = zip_get_name(archive.get(), static_cast<zip_uint64_t>(i), ZIP_FL_ENC_RAW);
    unsigned long number = 0;
    if (name != nullptr && RequestNumber(name, number)) {
      requests.push_back({number, static_cast<zip_uint64_t>(i), name});
    }
  }
  if (requests.empty()) {
    error = "'" + path + "' is a zip archive without raw/NNN_c.txt requests: not a SAZ session";
    return false;
  }
  std::stable_sort(requests.begin(), requests.end(),
                   [](const Request& a, const Request& b) { return a.number < b.number; });
  for (const Request& request : requests) {
    std::string bytes, reason;
    if (ReadEntry(archive.get(), request.index, bytes, reason)) {
      sink(EntryFromRequest(request.name, bytes, ""));
    } else {
      sink(SkippedEntry(request.name, "", reason));
    }
  }
  return true;
}

}  // namespace capture
