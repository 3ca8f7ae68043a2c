#include "request_entry.h"

#include "capture/http_header.h"
#include "capture/recorded_request.h"

namespace capture {

SessionEntry EntryFromRequest(std::string id, const std::string& bytes, std::string url) {
  RecordedRequest request;
  std::string error;
  const bool read = ParseRecordedRequest(bytes, id, request, error);
  SessionEntry entry;
  entry.id = std::move(id);
  entry.method = ParseRequestLine(request.header).method;
  entry.url = url.empty() ? RequestUrl(request.header) : std::move(url);
  entry.header = std::move(request.header);
  if (read) {
    entry.body = std::move(request.body);
  } else {
    entry.skipReason = std::move(error);
  }
  return entry;
}

SessionEntry SkippedEntry(std::string id, std::string url, std::string reason) {
  SessionEntry entry;
  entry.id = std::move(id);
  entry.url = std::move(url);
  entry.skipReason = std::move(reason);
  return entry;
}

}  // namespace capture
