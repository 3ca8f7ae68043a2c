// A recorded HTTP request as a recording proxy saves it: request line and header lines, a blank
// line, then the body bytes as sent.
#pragma once

#include <string>

namespace capture {

struct RecordedRequest {
  std::string header;  // request line and header lines, as recorded
  std::string body;    // the bytes after the blank line, NULs included
};

// Splits a recorded request, undoing a chunked transfer encoding; false with `error` set (naming
// `name`) when it has no blank line after its header, its chunks are malformed, or its body is
// compressed (a content encoding).
bool ParseRecordedRequest(const std::string& contents, const std::string& name, RecordedRequest& request,
                          std::string& error);
// Reads a request file and splits it so.
bool LoadRecordedRequest(const std::string& path, RecordedRequest& request, std::string& error);
// Reads a header and a body from two files.
bool LoadRequestParts(const std::string& headerPath, const std::string& bodyPath, RecordedRequest& request,
                      std::string& error);

}  // namespace capture
