// HAR 1.2, read as a stream of SAX events: only log.creator.name and each entry's request fields
// are kept, and an entry is handed on (and forgotten) as soon as its object closes.
#include "capture/session_reader.h"

#include "base64.h"
#include "capture/http_header.h"
#include "request_entry.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <fstream>
#include <initializer_list>
#include <utility>
#include <vector>

namespace capture {
namespace {

using Json = nlohmann::json;

const char kReplacementCharacter[] = "\xEF\xBF\xBD";  // U+FFFD in UTF-8

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

  // Empty again, the strings keeping their room for the next entry.
  void Clear() {
    for (std::string* field : {&method, &url, &httpVersion, &mimeType, &text, &encoding}) field->clear();
    headers.clear();
    hasPostData = false;
  }
};

// What a container of the HAR is, as far as the reader cares; what a key inside one names.
enum class Place : unsigned char { kOther, kRoot, kLog, kCreator, kEntries, kEntry, kRequest, kHeaders, kHeader, kPostData };
enum class Field : unsigned char { kNone, kLog, kCreator, kName, kEntries, kRequest, kMethod, kUrl, kHttpVersion,
                                   kHeaders, kValue, kPostData, kText, kMimeType, kEncoding };

// The field `key` names inside a container of kind `place`.
Field FieldOf(Place place, std::string_view key) {
  const auto is = [&](std::string_view name) { return key == name; };
  switch (place) {
    case Place::kRoot: return is("log") ? Field::kLog : Field::kNone;
    case Place::kLog: return is("creator") ? Field::kCreator : is("entries") ? Field::kEntries : Field::kNone;
    case Place::kCreator: return is("name") ? Field::kName : Field::kNone;
    case Place::kEntry: return is("request") ? Field::kRequest : Field::kNone;
    case Place::kRequest:
      return is("method") ? Field::kMethod : is("url") ? Field::kUrl : is("httpVersion") ? Field::kHttpVersion
             : is("headers") ? Field::kHeaders : is("postData") ? Field::kPostData : Field::kNone;
    case Place::kHeader: return is("name") ? Field::kName : is("value") ? Field::kValue : Field::kNone;
    case Place::kPostData:
      return is("text") ? Field::kText : is("mimeType") ? Field::kMimeType
             : is("encoding") || is("_encoding") ? Field::kEncoding : Field::kNone;
    default: return Field::kNone;
  }
}

// The kind of a container opened as `field` of a `parent` (an array's items have no field).
Place PlaceOf(Place parent, Field field) {
  switch (parent) {
    case Place::kRoot: return field == Field::kLog ? Place::kLog : Place::kOther;
    case Place::kLog: return field == Field::kCreator ? Place::kCreator : field == Field::kEntries ? Place::kEntries : Place::kOther;
    case Place::kEntries: return Place::kEntry;
    case Place::kEntry: return field == Field::kRequest ? Place::kRequest : Place::kOther;
    case Place::kRequest:
      return field == Field::kHeaders ? Place::kHeaders : field == Field::kPostData ? Place::kPostData : Place::kOther;
    case Place::kHeaders: return Place::kHeader;
    default: return Place::kOther;
  }
}

class HarHandler {
 public:
  HarHandler(const EntrySink& sink, std::string& error) : sink_(sink), error_(error) {}

  bool null() { return true; }
  bool boolean(bool) { return true; }
  bool number_integer(Json::number_integer_t) { return true; }
  bool number_unsigned(Json::number_unsigned_t) { return true; }
  bool number_float(Json::number_float_t, const Json::string_t&) { return true; }
  bool binary(Json::binary_t&) { return true; }

  // Values are copied, not moved: the parser then keeps its buffer for the next one.
  bool string(Json::string_t& value) {
    if (frames_.empty()) return true;
    const Frame& frame = frames_.back();
    switch (frame.place) {
      case Place::kCreator:
        if (frame.field == Field::kName) creator_.assign(value);
        break;
      case Place::kRequest:
        if (frame.field == Field::kMethod) request_.method.assign(value);
        if (frame.field == Field::kUrl) request_.url.assign(value);
        if (frame.field == Field::kHttpVersion) request_.httpVersion.assign(value);
        break;
      case Place::kHeader:
        if (frame.field == Field::kName) request_.headers.back().first.assign(value);
        if (frame.field == Field::kValue) request_.headers.back().second.assign(value);
        break;
      case Place::kPostData:
        if (frame.field == Field::kText) request_.text.assign(value);
        if (frame.field == Field::kMimeType) request_.mimeType.assign(value);
        if (frame.field == Field::kEncoding) request_.encoding.assign(value);
        break;
      default: break;
    }
    return true;
  }

  bool start_object(std::size_t) {
    const Place place = Open();
    if (place == Place::kLog) sawLog_ = true;
    if (place == Place::kEntry) request_.Clear();
    if (place == Place::kHeader) request_.headers.emplace_back();
    if (place == Place::kPostData) request_.hasPostData = true;
    return true;
  }
  bool end_object() {
    if (frames_.back().place == Place::kEntry) sink_(Entry());
    frames_.pop_back();
    return true;
  }
  bool start_array(std::size_t) {
    Open();
    return true;
  }
  bool end_array() {
    frames_.pop_back();
    return true;
  }
  bool key(Json::string_t& name) {
    Frame& frame = frames_.back();
    frame.field = frame.place == Place::kOther ? Field::kNone : FieldOf(frame.place, name);
    return true;
  }

  bool parse_error(std::size_t position, const std::string&, const nlohmann::detail::exception& e) {
    error_ = "malformed JSON at byte " + std::to_string(position) +
             (InEntry() ? " (in entry " + std::to_string(entries_) + ")" : "") + ": " + e.what();
    return false;
  }

  bool sawLog() const { return sawLog_; }

 private:
  struct Frame {
    Place place;
    Field field;  // what the last key named
  };

  // A container opens: its kind from where it stands. Array items carry no key: an array's own
  // field is cleared so that its items take their kind from the array alone.
  Place Open() {
    const Place place = frames_.empty() ? Place::kRoot : PlaceOf(frames_.back().place, frames_.back().field);
    frames_.push_back(Frame{place, Field::kNone});
    return place;
  }

  bool InEntry() const {
    return std::any_of(frames_.begin(), frames_.end(), [](const Frame& f) { return f.place == Place::kEntry; });
  }

  std::string Header() const {
    std::size_t size = request_.method.size() + request_.url.size() + 16 + request_.httpVersion.size();
    for (const auto& [name, value] : request_.headers) size += name.size() + value.size() + 4;
    std::string header;
    header.reserve(size);
    header.append(request_.method).append(" ").append(request_.url).append(" ");
    header.append(request_.httpVersion.empty() ? "HTTP/1.1" : request_.httpVersion);
    for (const auto& [name, value] : request_.headers) {
      // HTTP/2 pseudo-headers (":authority") are no header lines of the request as sent.
      if (name.empty() || name.front() == ':') continue;
      header.append("\r\n").append(name).append(": ").append(value);
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
