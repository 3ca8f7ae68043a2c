// HAR 1.2, read as a stream of SAX events: only log.creator.name and each entry's request fields
// are kept, and an entry is handed on (and forgotten) as soon as its object closes.
#include "capture/session_reader.h"

#include "base64.h"
#include "capture/http_header.h"
#include "request_entry.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cctype>
#include <fstream>
#include <initializer_list>
#include <utility>
#include <vector>

namespace capture {
namespace {

using Json = nlohmann::json;

const char kReplacementCharacter[] = "\xEF\xBF\xBD";  // U+FFFD in UTF-8

bool ContainsNoCase(std::string_view text, std::string_view part) {
  return std::search(text.begin(), text.end(), part.begin(), part.end(), [](unsigned char a, unsigned char b) {
           return std::tolower(a) == std::tolower(b);
         }) != text.end();
}

// The code points of UTF-8 `text` as bytes; false when one is past U+00FF (so the text was never
// a Latin-1 reading of bytes).
bool Latin1Bytes(std::string_view text, std::string& bytes) {
  bytes.clear();
  bytes.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    const auto c = static_cast<unsigned char>(text[i]);
    if (c < 0x80) {
      bytes.push_back(static_cast<char>(c));
    } else if ((c == 0xC2 || c == 0xC3) && i + 1 < text.size()) {
      bytes.push_back(static_cast<char>(((c & 0x03) << 6) | (static_cast<unsigned char>(text[++i]) & 0x3F)));
    } else {
      return false;
    }
  }
  return true;
}

struct HarRequest {
  std::string method, url, httpVersion;
  std::vector<std::pair<std::string, std::string>> headers;
  std::string mimeType, text, encoding;
  bool hasPostData = false;
};

class HarHandler {
 public:
  HarHandler(const EntrySink& sink, std::string& error) : sink_(sink), error_(error) {}

  bool null() { return true; }
  bool boolean(bool) { return true; }
  bool number_integer(Json::number_integer_t) { return true; }
  bool number_unsigned(Json::number_unsigned_t) { return true; }
  bool number_float(Json::number_float_t, const Json::string_t&) { return true; }
  bool binary(Json::binary_t&) { return true; }

  bool string(Json::string_t& value) {
    if (ValueAt({"log", "creator", "name"})) {
      creator_ = value;
    } else if (InRequest({"method"})) {
      request_.method = std::move(value);
    } else if (InRequest({"url"})) {
      request_.url = std::move(value);
    } else if (InRequest({"httpVersion"})) {
      request_.httpVersion = std::move(value);
    } else if (InRequest({"headers", "[]", "name"})) {
      request_.headers.back().first = std::move(value);
    } else if (InRequest({"headers", "[]", "value"})) {
      request_.headers.back().second = std::move(value);
    } else if (InRequest({"postData", "text"})) {
      request_.text = std::move(value);
    } else if (InRequest({"postData", "mimeType"})) {
      request_.mimeType = std::move(value);
    } else if (InRequest({"postData", "encoding"}) || InRequest({"postData", "_encoding"})) {
      request_.encoding = std::move(value);
    }
    return true;
  }

  bool start_object(std::size_t) {
    Push(false);
    if (ContainerAt({"log"})) sawLog_ = true;
    if (ContainerAt({"log", "entries", "[]"})) request_ = HarRequest();
    if (InRequest({"headers", "[]"}, true)) request_.headers.emplace_back();
    if (InRequest({"postData"}, true)) request_.hasPostData = true;
    return true;
  }
  bool end_object() {
    if (ContainerAt({"log", "entries", "[]"})) sink_(Entry());
    frames_.pop_back();
    return true;
  }
  bool start_array(std::size_t) {
    Push(true);
    return true;
  }
  bool end_array() {
    frames_.pop_back();
    return true;
  }
  bool key(Json::string_t& name) {
    frames_.back().key = std::move(name);
    return true;
  }

  bool parse_error(std::size_t position, const std::string&, const nlohmann::detail::exception& e) {
    error_ = "malformed JSON at byte " + std::to_string(position) +
             (InEntry() ? " (in entry " + std::to_string(entries_) + ")" : "") +
             ": " + e.what();
    return false;
  }

  bool sawLog() const { return sawLog_; }

 private:
  struct Frame {
    bool array;
    std::string key;
  };

  void Push(bool array) { frames_.push_back(Frame{array, {}}); }

  // The containers from the root down hold `path` from `depth` on ("[]" for an array's item).
  bool Matches(std::initializer_list<const char*> path, std::size_t depth) const {
    for (const char* part : path) {
      const Frame& frame = frames_[depth++];
      if (frame.array ? std::string_view(part) != "[]" : frame.key != part) return false;
    }
    return true;
  }
  // A value at `path`; a container (just opened or about to close) at `path`.
  bool ValueAt(std::initializer_list<const char*> path) const {
    return frames_.size() == path.size() && Matches(path, 0);
  }
  bool ContainerAt(std::initializer_list<const char*> path) const {
    return frames_.size() == path.size() + 1 && Matches(path, 0);
  }
  // The same below log.entries[].request.
  bool InRequest(std::initializer_list<const char*> path, bool container = false) const {
    return frames_.size() == kRequestPath.size() + path.size() + (container ? 1 : 0) && Matches(kRequestPath, 0) &&
           Matches(path, kRequestPath.size());
  }
  bool InEntry() const { return frames_.size() > 3 && Matches({"log", "entries", "[]"}, 0); }

  static constexpr std::initializer_list<const char*> kRequestPath = {"log", "entries", "[]", "request"};

  std::string Header() const {
    std::string header = request_.method + " " + request_.url + " " +
                         (request_.httpVersion.empty() ? "HTTP/1.1" : request_.httpVersion);
    for (const auto& [name, value] : request_.headers) {
      // HTTP/2 pseudo-headers (":authority") are no header lines of the request as sent.
      if (name.empty() || name.front() == ':') continue;
      header += "\r\n" + name + ": " + value;
    }
    return header;
  }

  // The body's bytes, or the reason there are none to trust.
  bool Body(const std::string& contentType, std::string& body, std::string& reason) const {
    if (request_.encoding == "base64") {
      if (DecodeBase64(request_.text, body)) return true;
      reason = "postData.text is not valid base64";
      return false;
    }
    // A writer that could not tell the charset read the bytes as Latin-1: each character is one byte.
    if (ContainsNoCase(creator_, "mitmproxy") && !ContainsNoCase(contentType, "charset") &&
        Latin1Bytes(request_.text, body)) {
      return true;
    }
    if (ContainsNoCase(contentType, "msbin1") && request_.text.find(kReplacementCharacter) != std::string::npos) {
      reason = "binary body exported as text with bytes lost (U+FFFD); it cannot be recovered";
      return false;
    }
    body = request_.text;
    return true;
  }

  SessionEntry Entry() {
    SessionEntry entry;
    entry.id = std::to_string(entries_++);
    entry.method = request_.method;
    entry.url = request_.url;
    entry.header = Header();
    std::string contentType = HeaderValue(entry.header, "Content-Type");
    if (contentType.empty()) contentType = request_.mimeType;
    if (request_.hasPostData && !Body(contentType, entry.body, entry.skipReason)) entry.body.clear();
    return entry;
  }

  const EntrySink& sink_;
  std::string& error_;
  std::vector<Frame> frames_;
  std::string creator_;
  HarRequest request_;
  std::size_t entries_ = 0;
  bool sawLog_ = false;
};

}  // namespace

bool ReadHar(const std::string& path, const EntrySink& sink, std::string& error) {
  std::ifstream in;
  std::vector<char> buffer(std::size_t(1) << 20);
  in.rdbuf()->pubsetbuf(buffer.data(), static_cast<std::streamsize>(buffer.size()));
  in.open(path, std::ios::binary);
  if (!in) {
    error = "cannot open '" + path + "'";
    return false;
  }
  HarHandler handler(sink, error);
  if (!Json::sax_parse(in, &handler)) return false;
  if (!handler.sawLog()) {
    error = "'" + path + "' is JSON but not a HAR file (no log object)";
    return false;
  }
  return true;
}

}  // namespace capture
