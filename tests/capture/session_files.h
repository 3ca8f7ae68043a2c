// Recorded sessions made for the tests: HAR files, SAZ archives and Burp exports holding the sample
// requests or hand-written ones.
#pragma once

#include "base64_text.h"
#include "capture/http_header.h"
#include "capture/recorded_request.h"
#include "temp_dir.h"

#include <nlohmann/json.hpp>
#include <zip.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

namespace session_files {

using testing_support::Base64;

// A request as sent: header lines, a blank line, the body.
struct Request {
  std::string header, body;
  std::string Bytes() const { return header + "\r\n\r\n" + body; }
};

inline Request Sample(const std::string& name) {
  const std::string bytes = testing_support::ReadFile(std::string(SAMPLES_DIR) + "/requests/" + name);
  capture::RecordedRequest request;
  std::string error;
  EXPECT_TRUE(capture::ParseRecordedRequest(bytes, name, request, error)) << error;
  return {request.header, request.body};
}

// How a HAR writer puts a request's body.
enum class BodyForm { kText, kBase64, kVendorBase64 };

// A HAR entry's request object for `request`, its header names as given (HTTP/2 writers give them
// in lower case), its URL `url`.
inline nlohmann::json HarRequest(const Request& request, const std::string& url, BodyForm form = BodyForm::kText,
                                 bool lowerCaseNames = false) {
  nlohmann::json headers = nlohmann::json::array();
  std::size_t start = request.header.find('\n');
  while (start != std::string::npos) {
    const std::size_t end = request.header.find('\n', start + 1);
    std::string line = request.header.substr(start + 1, end == std::string::npos ? std::string::npos : end - start - 1);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    const std::size_t colon = line.find(':');
    std::string name = line.substr(0, colon);
    if (lowerCaseNames) {
      for (char& c : name) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    headers.push_back({{"name", name}, {"value", line.substr(line.find_first_not_of(' ', colon + 1))}});
    start = end;
  }
  const capture::RequestLine line = capture::ParseRequestLine(request.header);
  nlohmann::json postData = {{"mimeType", capture::HeaderValue(request.header, "Content-Type")}};
  switch (form) {
    case BodyForm::kText: postData["text"] = request.body; break;
    case BodyForm::kBase64: postData["text"] = Base64(request.body), postData["encoding"] = "base64"; break;
    case BodyForm::kVendorBase64: postData["text"] = Base64(request.body), postData["_encoding"] = "base64"; break;
  }
  return {{"method", line.method}, {"url", url}, {"httpVersion", lowerCaseNames ? "HTTP/2" : "HTTP/1.1"},
          {"headers", headers}, {"postData", postData}};
}

inline std::string Har(const std::vector<nlohmann::json>& requests, const std::string& creator = "tests") {
  nlohmann::json entries = nlohmann::json::array();
  for (const nlohmann::json& request : requests) {
    entries.push_back({{"startedDateTime", "2026-11-30T09:14:02Z"}, {"request", request},
                       {"response", {{"status", 200}, {"content", {{"text", "<ok/>"}}}}}});
  }
  return nlohmann::json{{"log", {{"version", "1.2"}, {"creator", {{"name", creator}}}, {"entries", entries}}}}.dump();
}

// A zip archive of `files` (name, contents), deflated.
inline std::string Zip(const std::vector<std::pair<std::string, std::string>>& files) {
  testing_support::TempDir dir;
  const std::string path = dir.str() + "/a.zip";
  int code = 0;
  zip_t* archive = zip_open(path.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &code);
  for (const auto& [name, contents] : files) {
    zip_source_t* source = zip_source_buffer(archive, contents.data(), contents.size(), 0);
    zip_file_add(archive, name.c_str(), source, ZIP_FL_OVERWRITE);
  }
  EXPECT_EQ(zip_close(archive), 0);
  return testing_support::ReadFile(path);
}

// A Burp export of (url, request) items, the requests in base64.
inline std::string Burp(const std::vector<std::pair<std::string, Request>>& items) {
  std::string xml = "<?xml version=\"1.0\"?>\n<!DOCTYPE items [\n<!ELEMENT items (item*)>\n"
                    "<!ATTLIST items burpVersion CDATA \"\">\n]>\n<items burpVersion=\"2023.1\">\n";
  for (const auto& [url, request] : items) {
    xml += "<item><url><![CDATA[" + url + "]]></url><method><![CDATA[POST]]></method><request base64=\"true\">"
           "<![CDATA[" + Base64(request.Bytes()) + "]]></request><status>200</status></item>\n";
  }
  return xml + "</items>\n";
}

}  // namespace session_files
