// Recorded sessions of each form through the readers and the session analysis: which services,
// bindings and entries come out, what is skipped and why, and what is refused as a whole.
#include "session_analysis.h"
#include "service_naming.h"
#include "session_files.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace {

using session_files::BodyForm;
using session_files::HarRequest;
using session_files::Request;
using session_files::Sample;
using testing_support::TempDir;

struct Outcome {
  bool read = false;
  std::string error;
  capture::SessionReport report;
};

Outcome Analyse(const std::string& path) {
  capture::SessionAnalysis analysis(false);
  Outcome outcome;
  outcome.read = capture::ReadSession(path, [&](capture::SessionEntry&& e) { analysis.Add(std::move(e)); },
                                      outcome.error);
  outcome.report = analysis.Finish();
  return outcome;
}

// One line per service and per skipped entry, then the count of other traffic.
std::string Summary(const capture::SessionReport& report) {
  std::string out;
  for (const capture::ServiceBinding& b : report.services) {
    out += b.endpoint + " " + b.port + " " + b.config.messageEncoding + " a=" + b.config.addressingVersion +
           " u=" + b.config.security.username + " p=" + b.config.security.password + " [";
    for (const std::string& entry : b.entries) out += (entry == b.entries.front() ? "" : ",") + entry;
    out += "]\n";
  }
  for (const capture::SkippedRequest& s : report.skipped) out += "skipped " + s.entry + ": " + s.reason + "\n";
  return out + "other=" + std::to_string(report.other);
}

const Request kText = Sample("wcf-soap12-usernametoken.http");
const Request kBinary = Sample("wcf-binary-usernametoken.http");
const Request kDigest = Sample("soap11-wsa2004-digest.http");
const Request kPlain = Sample("soap11-plain.http");

const char kCatalog[] = "https://catalog.example.com/CatalogService.svc";
const char kOrders[] = "http://orders.example.com/OrderService.asmx";

// The text sample with another user name: the same endpoint, another binding.
Request OtherUser() {
  Request other = kText;
  other.body.replace(other.body.find("j.doe"), 5, "m.roe");
  return other;
}

// Bytes as a writer that read them as Latin-1 gives them in UTF-8.
std::string Latin1AsUtf8(const std::string& bytes) {
  std::string text;
  for (unsigned char c : bytes) {
    if (c < 0x80) {
      text += static_cast<char>(c);
    } else {
      text += static_cast<char>(0xC0 | c >> 6);
      text += static_cast<char>(0x80 | (c & 0x3F));
    }
  }
  return text;
}

const std::string kTextLine = std::string(kCatalog) +
                              " CustomBinding_ICatalogService textMessageEncoding a= u=j.doe p=Catal0g!2026";
const std::string kBinaryLine = std::string(kCatalog) +
                                " CustomBinding_ICatalogService binaryMessageEncoding a= u=j.doe p=Catal0g!2026";
const std::string kOrdersLine =
    std::string(kOrders) + " OrderService textMessageEncoding a=WSAddressingAugust2004 u=orders-batch "
                           "p=q8Xn2Vh0oD3yWm1JcT5pLr9KzA4=";

struct Row {
  const char* name;
  std::string file;
  std::string expected;
};

void ExpectRows(const std::vector<Row>& rows, const std::string& fileName) {
  for (const Row& row : rows) {
    TempDir dir;
    const Outcome outcome = Analyse(dir.Write(fileName, row.file));
    EXPECT_TRUE(outcome.read) << row.name << ": " << outcome.error;
    EXPECT_EQ(Summary(outcome.report), row.expected) << row.name;
  }
}

TEST(CaptureHar, Sessions) {
  std::string mangled;  // what a writer that read the bytes as UTF-8 gives
  for (unsigned char c : kBinary.body) mangled += c < 0x80 ? std::string(1, static_cast<char>(c)) : "\xEF\xBF\xBD";
  Request json{"POST /api/orders HTTP/1.1\r\nContent-Type: application/json", "{\"a\":1}"};
  Request page{"GET /index.html HTTP/1.1\r\nAccept: text/html", ""};
  Request wsdl{"GET /CatalogService.svc?wsdl HTTP/1.1", ""};
  Request notEnvelope{"POST /x.svc HTTP/1.1\r\nContent-Type: text/xml", "<Ping/>"};
  nlohmann::json lossyRequest = HarRequest(kBinary, kCatalog);
  lossyRequest["postData"]["text"] = mangled;
  nlohmann::json badBase64 = HarRequest(kBinary, kCatalog, BodyForm::kBase64);
  badBase64["postData"]["text"] = "not base64!";
  nlohmann::json latin1 = HarRequest(kBinary, kCatalog);
  latin1["postData"]["text"] = Latin1AsUtf8(kBinary.body);

  ExpectRows(
      {
          {"the samples, binary in base64",
           session_files::Har({HarRequest(kText, kCatalog), HarRequest(kBinary, kCatalog, BodyForm::kBase64),
                               HarRequest(kDigest, kOrders), HarRequest(kPlain, "http://weather.example.com/WeatherService.asmx?x=1")}),
           kTextLine + " [0]\n" + kBinaryLine + " [1]\n" + kOrdersLine + " [2]\n" +
               "http://weather.example.com/WeatherService.asmx WeatherService textMessageEncoding a=None u= p= [3]\n"
               "other=0"},
          {"HTTP/2 names in lower case",
           session_files::Har({HarRequest(kBinary, kCatalog, BodyForm::kBase64, true),
                               HarRequest(kDigest, kOrders, BodyForm::kText, true)}),
           kBinaryLine + " [0]\n" + kOrdersLine + " [1]\nother=0"},
          {"a vendor's base64 field", session_files::Har({HarRequest(kBinary, kCatalog, BodyForm::kVendorBase64)}),
           kBinaryLine + " [0]\nother=0"},
          {"binary body as text, bytes lost", session_files::Har({lossyRequest, HarRequest(kText, kCatalog)}),
           kTextLine + " [1]\nskipped 0: binary body exported as text with bytes lost (U+FFFD); it cannot be "
                       "recovered\nother=0"},
          {"a Latin-1 reading put back byte for byte", session_files::Har({latin1}, "mitmproxy har_dump"),
           kBinaryLine + " [0]\nother=0"},
          {"the same Latin-1 reading from another writer", session_files::Har({latin1}),
           "skipped 0: the body is no SOAP envelope (not loadable XML, or another root)\n"
                                      "other=0"},
          {"repeats of one endpoint",
           session_files::Har({HarRequest(kText, kCatalog), HarRequest(kText, kCatalog), HarRequest(kText, kCatalog)}),
           kTextLine + " [0,1,2]\nother=0"},
          {"an endpoint whose requests disagree",
           session_files::Har({HarRequest(kText, kCatalog), HarRequest(OtherUser(), kCatalog),
                               HarRequest(kText, kCatalog)}),
           kTextLine + " [0,2]\n" + std::string(kCatalog) +
               " CustomBinding_ICatalogService textMessageEncoding a= u=m.roe p=Catal0g!2026 [1]\nother=0"},
          {"other traffic",
           session_files::Har({HarRequest(page, "https://catalog.example.com/index.html"),
                               HarRequest(json, "https://catalog.example.com/api/orders"),
                               HarRequest(wsdl, "https://catalog.example.com/CatalogService.svc?wsdl"),
                               HarRequest(kText, kCatalog)}),
           kTextLine + " [3]\nother=3"},
          {"bad base64 and a body that is no envelope",
           session_files::Har({badBase64, HarRequest(notEnvelope, "http://h/x.svc")}),
           "skipped 0: postData.text is not valid base64\n"
           "skipped 1: the body is no SOAP envelope (not loadable XML, or another root)\nother=0"},
      },
      "session.har");
}

TEST(CaptureHar, DisagreementIsWarned) {
  TempDir dir;
  const Outcome outcome = Analyse(dir.Write(
      "s.har", session_files::Har({HarRequest(kText, kCatalog), HarRequest(OtherUser(), kCatalog),
                                   HarRequest(kDigest, kOrders)})));
  ASSERT_EQ(outcome.report.warnings.size(), 1u);
  EXPECT_EQ(outcome.report.warnings[0].rfind(kCatalog, 0), 0u) << outcome.report.warnings[0];
  std::vector<std::string> warnings;
  const auto stored = capture::BindingsToStore(outcome.report, warnings);
  ASSERT_EQ(stored.size(), 2u) << "one per service and port";
  EXPECT_EQ(warnings.size(), 1u);
}

std::string Raw(const Request& request) { return request.Bytes(); }

TEST(CaptureSaz, Sessions) {
  Request absolute = kDigest;
  absolute.header.replace(absolute.header.find("/OrderService.asmx"), 0, "http://orders.example.com");
  Request chunked = kText;
  chunked.header += "\r\nTransfer-Encoding: chunked";
  chunked.body = "10\r\n" + kText.body.substr(0, 16) + "\r\n" +
                 [&] { char size[16]; std::snprintf(size, sizeof size, "%zx", kText.body.size() - 16); return std::string(size); }() +
                 "\r\n" + kText.body.substr(16) + "\r\n0\r\n\r\n";
  Request gzip = kText;
  gzip.header += "\r\nContent-Encoding: gzip";
  const std::string catalog = "http://catalog.example.com/CatalogService.svc";
  ExpectRows(
      {
          {"the samples, in the order of their numbers, other entries passed over",
           session_files::Zip({{"raw/10_c.txt", Raw(kPlain)}, {"raw/9_c.txt", Raw(kBinary)},
                               {"raw/9_s.txt", "HTTP/1.1 200 OK\r\n\r\n"}, {"raw/9_m.xml", "<Session/>"},
                               {"[Content_Types].xml", "<Types/>"}, {"raw/1_c.txt", Raw(kText)}}),
           catalog + " CustomBinding_ICatalogService textMessageEncoding a= u=j.doe p=Catal0g!2026 [raw/1_c.txt]\n" +
               catalog + " CustomBinding_ICatalogService binaryMessageEncoding a= u=j.doe p=Catal0g!2026 [raw/9_c.txt]\n"
               "http://weather.example.com/WeatherService.asmx WeatherService textMessageEncoding a=None u= p= "
               "[raw/10_c.txt]\nother=0"},
          {"an absolute URL in the request line", session_files::Zip({{"raw/1_c.txt", Raw(absolute)}}),
           kOrdersLine + " [raw/1_c.txt]\nother=0"},
          {"chunked, and compressed", session_files::Zip({{"raw/1_c.txt", Raw(chunked)}, {"raw/2_c.txt", Raw(gzip)}}),
           catalog + " CustomBinding_ICatalogService textMessageEncoding a= u=j.doe p=Catal0g!2026 [raw/1_c.txt]\n"
                     "skipped raw/2_c.txt: the body of 'raw/2_c.txt' is compressed (Content-Encoding: gzip); "
                     "decompress it first\nother=0"},
          {"no blank line", session_files::Zip({{"raw/1_c.txt", "POST /x HTTP/1.1\r\nHost: h"}}),
           "skipped raw/1_c.txt: no blank line after the header in 'raw/1_c.txt'\nother=0"},
      },
      "session.saz");
}

TEST(CaptureBurp, Sessions) {
  std::string plainItem = session_files::Burp({{kOrders, kDigest}});
  const std::string base64Request = "<request base64=\"true\"><![CDATA[" + session_files::Base64(kDigest.Bytes()) + "]]>";
  plainItem.replace(plainItem.find(base64Request), base64Request.size(),
                    "<request base64=\"false\"><![CDATA[" + kDigest.Bytes() + "]]>");
  // An export writes a "]]>" inside the request as two CDATA sections.
  std::string splitItem = plainItem;
  splitItem.insert(splitItem.find("<![CDATA[", splitItem.find("<request")) + 9 + kDigest.Bytes().size() / 2,
                   "]]><![CDATA[");
  std::string entity = session_files::Burp({{"&u;", kDigest}});
  entity.replace(entity.find("]>"), 0, "<!ENTITY u \"http://elsewhere.example/\">\n");
  ExpectRows(
      {
          {"the samples",
           session_files::Burp({{kCatalog, kText}, {kCatalog, kBinary}, {kOrders, kDigest}}),
           kTextLine + " [0]\n" + kBinaryLine + " [1]\n" + kOrdersLine + " [2]\nother=0"},
          {"a request not in base64", plainItem, kOrdersLine + " [0]\nother=0"},
          {"a request in two CDATA sections", splitItem, kOrdersLine + " [0]\nother=0"},
          // Expanded, the entity would have made an absolute URL.
          {"an entity of the DTD is never expanded", entity,
           "skipped 0: no absolute http(s) URL for the request\nother=0"},
      },
      "session.xml");
}

TEST(CaptureFolder, Sessions) {
  TempDir dir;
  dir.Write("a.http", Raw(kText));
  dir.Write("b.http", Raw(kDigest));
  dir.Write("c.http", "not a request");
  dir.Write(".hidden", Raw(kPlain));
  dir.Write("d.http", "GET / HTTP/1.1\r\nHost: h\r\n\r\n");
  const Outcome outcome = Analyse(dir.str());
  EXPECT_TRUE(outcome.read) << outcome.error;
  EXPECT_EQ(Summary(outcome.report),
            "http://catalog.example.com/CatalogService.svc CustomBinding_ICatalogService textMessageEncoding a= "
            "u=j.doe p=Catal0g!2026 [a.http]\n" +
                kOrdersLine + " [b.http]\nskipped c.http: no blank line after the header in 'c.http'\nother=1");
}

TEST(CaptureBadInput, OneLineNamingWhereAndNothingElse) {
  const std::string har = session_files::Har({HarRequest(kText, kCatalog), HarRequest(kDigest, kOrders)});
  const std::string saz = session_files::Zip({{"raw/1_c.txt", Raw(kText)}});
  std::string brokenEntry = har;
  brokenEntry.insert(brokenEntry.rfind("\"request\""), ",");
  const struct {
    const char* name;
    std::string file;
    const char* says;
  } cases[] = {
      {"HAR cut off", har.substr(0, har.size() / 2), "malformed JSON at byte"},
      {"HAR malformed in its second entry", brokenEntry, "(in entry 1)"},
      {"JSON that is no HAR", "{\"logs\": []}", "no log object"},
      {"zip cut off", saz.substr(0, saz.size() - 30), "not a readable zip archive"},
      {"zip without requests", session_files::Zip({{"readme.txt", "hi"}}), "not a SAZ session"},
      {"XML malformed", "<items><item><url>x</url></items>", "malformed XML in"},
      {"XML that is no export", "<s:Envelope xmlns:s='x'/>", "not a Burp export"},
      {"neither", "hello", "is not a HAR file"},
      {"empty", "", "is not a HAR file"},
  };
  for (const auto& c : cases) {
    TempDir dir;
    const Outcome outcome = Analyse(dir.Write("session", c.file));
    EXPECT_FALSE(outcome.read) << c.name;
    EXPECT_NE(outcome.error.find(c.says), std::string::npos) << c.name << ": " << outcome.error;
    EXPECT_EQ(outcome.error.find('\n'), std::string::npos) << c.name << ": " << outcome.error;
  }
  TempDir dir;
  const Outcome missing = Analyse(dir.str() + "/missing.har");
  EXPECT_FALSE(missing.read);
  EXPECT_FALSE(missing.error.empty());
}

TEST(CaptureNames, ServicePortAndHeaderNames) {
  const struct {
    const char* url;
    const char* action;
    const char* service;
    const char* port;
  } cases[] = {
      {"http://h/CatalogService.svc", "http://tempuri.org/ICatalogService/GetProducts", "CatalogService",
       "CustomBinding_ICatalogService"},
      {"http://h/a/Orders.asmx/", "http://orders.example.com/SubmitOrder", "Orders", "Orders"},
      {"https://h:8443/api/v1.2/Relay", "urn:relay/IRelay/Send", "Relay", "CustomBinding_IRelay"},
      {"http://H.Example.com/", "", "h.example.com", "h.example.com"},
  };
  for (const auto& c : cases) {
    capture::Url url;
    ASSERT_TRUE(capture::ParseUrl(c.url, url)) << c.url;
    const std::string service = capture::ServiceName(url);
    EXPECT_EQ(service, c.service) << c.url;
    EXPECT_EQ(capture::PortName(c.action, service), c.port) << c.action;
  }
  EXPECT_EQ(capture::CanonicalHeaderNames("POST /x HTTP/2\r\ncontent-type: a\r\nsoapaction: \"b\"\r\nx-MS-id:c\r\n fold"),
            "POST /x HTTP/2\r\nContent-Type: a\r\nSOAPAction: \"b\"\r\nX-Ms-Id:c\r\n fold");
}

// Header edits keep every other line and its line end as it was, and never leave a blank line.
TEST(CaptureNames, HeaderEdits) {
  const struct {
    const char* header;
    const char* replaced;  // Content-Type: b
    const char* removed;   // no Transfer-Encoding
  } cases[] = {
      {"POST / HTTP/1.1\r\ncontent-type: a\r\nHost: h", "POST / HTTP/1.1\r\nContent-Type: b\r\nHost: h",
       "POST / HTTP/1.1\r\ncontent-type: a\r\nHost: h"},
      {"POST / HTTP/1.1\nHost: h\nTransfer-Encoding: chunked", "POST / HTTP/1.1\nHost: h\nTransfer-Encoding: chunked\nContent-Type: b",
       "POST / HTTP/1.1\nHost: h"},
      {"POST / HTTP/1.1\r\nTRANSFER-ENCODING : chunked\r\n  folded\r\nContent-Type: a\r\nContent-Type: c",
       "POST / HTTP/1.1\r\nTRANSFER-ENCODING : chunked\r\n  folded\r\nContent-Type: b",
       "POST / HTTP/1.1\r\nContent-Type: a\r\nContent-Type: c"},
      {"POST / HTTP/1.1", "POST / HTTP/1.1\r\nContent-Type: b", "POST / HTTP/1.1"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(capture::ReplaceHeader(c.header, "Content-Type", "b"), c.replaced) << c.header;
    EXPECT_EQ(capture::RemoveHeader(c.header, "Transfer-Encoding"), c.removed) << c.header;
  }
}

}  // namespace
