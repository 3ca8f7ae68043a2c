// A recorded session read into its requests, one at a time and in the session's order, whatever
// the session's form: a HAR 1.2 file, a SAZ archive, a Burp XML export, or a folder of recorded
// request files (capture/recorded_request.h). The form is told from the content, not the name.
//
// Bounds: a HAR file is read as a stream (memory holds one entry at a time); a Burp export is
// parsed whole (about twice its size); no SAZ entry is inflated past kMaxEntryBytes; no name from
// an archive is ever used as a path.
#pragma once

#include <cstddef>
#include <functional>
#include <string>

namespace capture {

// The most bytes one request (SAZ entry, request file, Burp item) may have once read or inflated.
inline constexpr std::size_t kMaxEntryBytes = std::size_t(256) << 20;

enum class SessionFormat { kHar, kSaz, kBurp, kFolder };

// One recorded request.
struct SessionEntry {
  std::string id;      // HAR and Burp: the index in the file, from 0; SAZ: the entry name; folder: the file name
  std::string method;  // as recorded
  std::string url;     // absolute where the session tells one; may be empty
  std::string header;  // request line and header lines, as recorded (a HAR entry's made from its fields)
  std::string body;
  std::string skipReason;  // not empty when the request could not be read whole; then the body is empty
};

using EntrySink = std::function<void(SessionEntry&& entry)>;

// Calls `sink` for each request of the session at `path`. false with `error` set to one line naming
// the entry or byte offset when the session itself cannot be read (missing, not one of the forms,
// malformed or cut off); the requests delivered before then are not a whole session.
bool ReadSession(const std::string& path, const EntrySink& sink, std::string& error);

// The readers of each form.
bool ReadHar(const std::string& path, const EntrySink& sink, std::string& error);
bool ReadSaz(const std::string& path, const EntrySink& sink, std::string& error);
bool ReadBurp(const std::string& path, const EntrySink& sink, std::string& error);
bool ReadRequestFolder(const std::string& path, const EntrySink& sink, std::string& error);

}  // namespace capture
