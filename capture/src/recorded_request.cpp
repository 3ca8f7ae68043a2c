#include "capture/recorded_request.h"

#include "capture/http_header.h"
#include "hostrt32/os_files.h"

#include <algorithm>
#include <cctype>
#include <string_view>

namespace capture {
namespace {

constexpr std::size_t kMaxRequestBytes = std::size_t(1) << 30;

// The data of a chunked body: each chunk's size in hex (extensions after ';' ignored), its line
// end, the data and another line end, up to the chunk of size 0. False when it is malformed.
bool Dechunk(const std::string& body, std::string& data) {
  data.clear();
  std::size_t at = 0;
  for (;;) {
    const std::size_t lineEnd = body.find('\n', at);
    if (lineEnd == std::string::npos) return false;
    std::size_t size = 0, digits = 0;
    for (std::size_t i = at; i < lineEnd && std::isxdigit(static_cast<unsigned char>(body[i])); ++i, ++digits) {
      if (digits == 15) return false;  // more than any body could hold
      const char c = body[i];
      size = size * 16 + static_cast<std::size_t>(c <= '9' ? c - '0' : (c | 0x20) - 'a' + 10);
    }
    if (digits == 0) return false;
    at = lineEnd + 1;
    if (size == 0) return true;  // trailers, if any, are not the body's
    if (body.size() - at < size) return false;
    data.append(body, at, size);
    at += size;
    if (body.compare(at, 2, "\r\n") == 0) {
      at += 2;
    } else if (body.compare(at, 1, "\n") == 0) {
      at += 1;
    } else {
      return false;
    }
  }
}

// Undoes a chunked transfer encoding; refuses a body in a content or transfer coding that
// compresses it, which the analysis would only take for a malformed document.
bool DecodeBody(RecordedRequest& request, const std::string& name, std::string& error) {
  const std::string coding = LowerAscii(HeaderValue(request.header, "Content-Encoding"));
  if (!coding.empty() && coding != "identity") {
    error = "the body of '" + name + "' is compressed (Content-Encoding: " + coding + "); decompress it first";
    return false;
  }
  const std::string transfer = LowerAscii(HeaderValue(request.header, "Transfer-Encoding"));
  bool chunked = false;
  for (std::string_view codings = transfer; !codings.empty();) {
    const std::size_t comma = std::min(codings.find(','), codings.size());
    std::string_view token = codings.substr(0, comma);
    codings.remove_prefix(std::min(comma + 1, codings.size()));
    while (!token.empty() && (token.front() == ' ' || token.front() == '\t')) token.remove_prefix(1);
    while (!token.empty() && (token.back() == ' ' || token.back() == '\t')) token.remove_suffix(1);
    if (token == "chunked") {
      chunked = true;
    } else if (!token.empty() && token != "identity") {
      error = "the body of '" + name + "' is compressed (Transfer-Encoding: " + transfer + "); decompress it first";
      return false;
    }
  }
  if (!chunked) return true;
  std::string data;
  if (!Dechunk(request.body, data)) {
    error = "the chunked body of '" + name + "' is malformed or cut off";
    return false;
  }
  request.body = std::move(data);
  return true;
}

}  // namespace

bool LoadRecordedRequest(const std::string& path, RecordedRequest& request, std::string& error) {
  std::string contents;
  if (const hostrt::FileError read = hostrt::ReadWholeFile(path, contents, kMaxRequestBytes)) {
    error = read.text;
    return false;
  }
  return ParseRecordedRequest(contents, path, request, error);
}

bool ParseRecordedRequest(const std::string& contents, const std::string& name, RecordedRequest& request,
                          std::string& error) {
  // The first blank line ends the header, whichever line ends the recorder (or an editor) used.
  std::size_t split = std::string::npos, bodyStart = 0;
  for (std::size_t lf = contents.find('\n'); lf != std::string::npos; lf = contents.find('\n', lf + 1)) {
    const std::size_t next = lf + 1 + (contents.compare(lf + 1, 1, "\r") == 0);
    if (contents.compare(next, 1, "\n") != 0) continue;
    split = lf - (lf > 0 && contents[lf - 1] == '\r');
    bodyStart = next + 1;
    break;
  }
  if (split == std::string::npos) {
    error = "no blank line after the header in '" + name + "'";
    return false;
  }
  request.header = contents.substr(0, split);
  request.body = contents.substr(bodyStart);
  return DecodeBody(request, name, error);
}

bool LoadRequestParts(const std::string& headerPath, const std::string& bodyPath, RecordedRequest& request,
                      std::string& error) {
  hostrt::FileError read = hostrt::ReadWholeFile(headerPath, request.header, kMaxRequestBytes);
  if (!read) read = hostrt::ReadWholeFile(bodyPath, request.body, kMaxRequestBytes);
  error = read.text;
  return !read;
}

}  // namespace capture
