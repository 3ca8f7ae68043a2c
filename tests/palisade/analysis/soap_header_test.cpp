// What the SOAP Header says beyond the binding: the replay hazards by namespace and local name in
// document order, and the password's type; each body also as its binary twin, which must read the same.
#include "serviceconfig/soap_header.h"

#include "msbin1_writer.h"

#include <gtest/gtest.h>

#include <string>

namespace {

const char kEnvelopeStart[] =
    "<s:Envelope xmlns:s=\"http://www.w3.org/2003/05/soap-envelope\" xmlns:a=\"http://www.w3.org/2005/08/addressing\""
    " xmlns:u=\"http://docs.oasis-open.org/wss/2004/01/oasis-200401-wss-wssecurity-utility-1.0.xsd\""
    " xmlns:o=\"http://docs.oasis-open.org/wss/2004/01/oasis-200401-wss-wssecurity-secext-1.0.xsd\">";
const char kProfile[] = "http://docs.oasis-open.org/wss/2004/01/oasis-200401-wss-username-token-profile-1.0";

std::string Envelope(const std::string& header, const std::string& body = "<Ping xmlns=\"http://tempuri.org/\"/>") {
  return kEnvelopeStart + std::string("<s:Header>") + header + "</s:Header><s:Body>" + body + "</s:Body></s:Envelope>";
}

std::string Security(const std::string& content) { return "<o:Security>" + content + "</o:Security>"; }

std::string Password(const std::string& type) {
  return "<o:UsernameToken><o:Username>u</o:Username><o:Password" +
         (type.empty() ? std::string() : " Type=\"" + std::string(kProfile) + "#" + type + "\"") +
         ">p</o:Password></o:UsernameToken>";
}

// "kind detail" lines of the hazards.
std::string Lines(const analysis::SoapHeaderFacts& facts) {
  std::string lines;
  for (const analysis::Hazard& hazard : facts.hazards) lines += hazard.kind + " " + hazard.detail + "\n";
  return lines;
}

TEST(ReplayHazards, ByNamespaceAndLocalNameInDocumentOrder) {
  const std::string stamp =
      "<u:Timestamp u:Id=\"_0\"><u:Created>2026-11-30T09:14:02.117Z</u:Created>"
      "<u:Expires>2026-11-30T09:19:02.617Z</u:Expires></u:Timestamp>";
  const std::string lookAlike = "<w:Timestamp xmlns:w=\"https://docs.oasis-open.org/wss/2004/01/"
                                "oasis-200401-wss-wssecurity-utility-1.0.xsd\"><w:Created>x</w:Created></w:Timestamp>";
  const std::string signature = "<ds:Signature xmlns:ds=\"http://www.w3.org/2000/09/xmldsig#\"><ds:SignedInfo/>"
                                "</ds:Signature>";
  const struct {
    const char* name;
    std::string body;
    std::string expected;
  } cases[] = {
      {"none", Envelope("<a:Action>http://tempuri.org/I/Op</a:Action>"), ""},
      {"timestamp", Envelope(Security(stamp)),
       "timestamp created=2026-11-30T09:14:02.117Z expires=2026-11-30T09:19:02.617Z window=300.5s\n"},
      {"timestamp with offsets, one part missing",
       Envelope("<u:Timestamp><u:Expires>2026-11-30T10:00:00+01:00</u:Expires></u:Timestamp>"),
       "timestamp created= expires=2026-11-30T10:00:00+01:00\n"},
      {"an https:// look-alike of the utility namespace", Envelope(Security(lookAlike)), ""},
      {"nonce, deep in a token", Envelope(Security("<o:UsernameToken><o:Nonce>bm9uY2U=</o:Nonce></o:UsernameToken>")),
       "nonce bm9uY2U=\n"},
      {"nonce in the wrong namespace", Envelope(Security("<u:Nonce>n</u:Nonce>")), ""},
      {"digest", Envelope(Security(Password("PasswordDigest"))), "digest clear password needed\n"},
      {"a text password is no hazard", Envelope(Security(Password("PasswordText"))), ""},
      {"signature, anywhere in the Header", Envelope(Security("<o:X>" + signature + "</o:X>")),
       "signature signed parts cannot be edited\n"},
      {"message-id of the 2004 namespace, declared on itself, default namespace",
       Envelope("<MessageID xmlns=\"http://schemas.xmlsoap.org/ws/2004/08/addressing\">urn:uuid:1</MessageID>"),
       "message-id urn:uuid:1\n"},
      {"a prefix declared again for another namespace",
       Envelope("<a:Wrap xmlns:a=\"urn:other\"><a:MessageID>m</a:MessageID></a:Wrap><a:MessageID>n</a:MessageID>"),
       "message-id n\n"},
      {"to naming the target", Envelope("<a:To>http://catalog.example.com/CatalogService.svc</a:To>"), ""},
      {"to naming another host", Envelope("<a:To>http://other.example.com/CatalogService.svc</a:To>"),
       "to-mismatch to=http://other.example.com/CatalogService.svc target=http://catalog.example.com:80\n"},
      {"to naming another scheme and port", Envelope("<a:To>https://catalog.example.com/CatalogService.svc</a:To>"),
       "to-mismatch to=https://catalog.example.com/CatalogService.svc target=http://catalog.example.com:80\n"},
      {"outside the Header: not hazards",
       Envelope("", "<a:MessageID>m</a:MessageID>" + stamp + "<o:Nonce>n</o:Nonce>" + signature), ""},
      {"several at once, in document order",
       Envelope("<a:MessageID>urn:uuid:2</a:MessageID>" +
                Security(stamp + Password("PasswordDigest") + "<o:Nonce>n</o:Nonce>" + signature) +
                "<a:To>http://other.example.com/</a:To>"),
       "message-id urn:uuid:2\n"
       "timestamp created=2026-11-30T09:14:02.117Z expires=2026-11-30T09:19:02.617Z window=300.5s\n"
       "digest clear password needed\nnonce n\nsignature signed parts cannot be edited\n"
       "to-mismatch to=http://other.example.com/ target=http://catalog.example.com:80\n"},
      {"no Header", kEnvelopeStart + std::string("<s:Body/></s:Envelope>"), ""},
      {"not XML", "<s:Envelope", ""},
  };
  capture::Url target;
  ASSERT_TRUE(capture::ParseUrl("http://catalog.example.com/CatalogService.svc", target));
  for (const auto& c : cases) {
    const analysis::SoapHeaderFacts text = analysis::ReadSoapHeader(analysis::Envelope(c.body), &target);
    EXPECT_EQ(Lines(text), c.expected) << c.name;
    if (c.body.back() != '>') continue;
    const std::string binary = testing_support::BinaryTwin(c.body);
    EXPECT_EQ(Lines(analysis::ReadSoapHeader(analysis::Envelope(binary), &target)), c.expected)
        << c.name << " (binary twin)";
  }
  const analysis::SoapHeaderFacts unknown =
      analysis::ReadSoapHeader(analysis::Envelope(Envelope("<a:To>http://other.example.com/</a:To>")), nullptr);
  EXPECT_TRUE(unknown.hazards.empty()) << "no target, no mismatch";
}

TEST(ReplayHazards, PasswordTypeOfThePasswordTheAnalysisFound) {
  const struct {
    const char* name;
    std::string security;
    const char* expected;
  } cases[] = {
      {"text", Password("PasswordText"), "PasswordText"},
      {"digest", Password("PasswordDigest"), "PasswordDigest"},
      {"no Type", Password(""), "PasswordText"},
      {"the last password wins", Password("PasswordText") + Password("PasswordDigest"), "PasswordDigest"},
      {"no password", "<o:UsernameToken><o:Username>u</o:Username></o:UsernameToken>", ""},
  };
  for (const auto& c : cases) {
    // The analysis recognises a Security header by the declaration on itself.
    std::string body = Envelope(Security(c.security));
    body.replace(body.find("<o:Security>"), 12,
                 "<o:Security xmlns:o=\"http://docs.oasis-open.org/wss/2004/01/oasis-200401-wss-wssecurity-secext-1.0.xsd\">");
    for (const std::string& bytes : {body, testing_support::BinaryTwin(body)}) {
      const analysis::Envelope envelope(bytes);
      void* passwordElement = nullptr;
      analysis::DeriveConfiguration("", envelope, &passwordElement);
      EXPECT_EQ(analysis::PasswordType(envelope, passwordElement), c.expected) << c.name;
    }
  }
}

}  // namespace
