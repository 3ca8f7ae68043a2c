// The readers' one way from the bytes of a request as sent to a session entry.
#pragma once

#include "capture/session_reader.h"

namespace capture {

// The entry of `bytes`, a whole request (capture/recorded_request.h); `url` when the session
// names it, else the request's own (its request line, or Host and path). An unreadable request
// gives an entry with its reason.
SessionEntry EntryFromRequest(std::string id, const std::string& bytes, std::string url);
// An entry that could not be read at all.
SessionEntry SkippedEntry(std::string id, std::string url, std::string reason);

}  // namespace capture
