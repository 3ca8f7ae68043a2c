// Requests an attacker or a broken recorder would produce, through the whole analysis: each gives
// the binding of a body that does not load (or, where the body is well-formed, what it really
// says), reads no file, and stays within a bound of memory stated per case.
#include "serviceconfig/soap_analysis.h"
#include "serviceconfig/soap_header.h"

#include "child_process.h"
#include "msbin1_writer.h"
#include "temp_dir.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>

namespace {

using hostile::BaselineKib;
using hostile::RunInChild;

const char kSecext[] = "http://docs.oasis-open.org/wss/2004/01/oasis-200401-wss-wssecurity-secext-1.0.xsd";

// Exit codes of a child: 0 when the binding was the expected one.
int Expect(const ConfigurationTypes& got, const std::string& addressing, const std::string& mode) {
  return got.addressingVersion == addressing && got.security.authenticationMode == mode ? 0 : 1;
}

struct Case {
  const char* name;
  std::function<std::string()> body;  // built in the child, so that only the child pays for it
  const char* addressing;             // expected
  const char* mode;
  long boundMib;                      // peak memory above the test program's own
};

std::string Nested(int depth) {
  std::string body = "<s:Envelope xmlns:s='http://www.w3.org/2003/05/soap-envelope'><s:Body>";
  body.reserve(body.size() + 7 * static_cast<std::size_t>(depth) + 64);
  for (int i = 0; i < depth; ++i) body += "<a>";
  for (int i = 0; i < depth; ++i) body += "</a>";
  return body + "</s:Body></s:Envelope>";
}

std::string Laughs() {
  std::string body = "<?xml version='1.0'?><!DOCTYPE s:Envelope [<!ENTITY l0 'lol'>";
  for (int i = 1; i <= 9; ++i) {
    body += "<!ENTITY l" + std::to_string(i) + " '";
    for (int k = 0; k < 10; ++k) body += "&l" + std::to_string(i - 1) + ";";
    body += "'>";
  }
  return body + "]><s:Envelope xmlns:s='http://www.w3.org/2003/05/soap-envelope' x='&l9;'/>";
}

// `bytes` of `piece` repeated inside the Body.
std::string Large(std::size_t bytes, const std::string& piece) {
  std::string body = "<s:Envelope xmlns:s='http://www.w3.org/2003/05/soap-envelope'><s:Body><Data>";
  body.reserve(bytes + 64);
  while (body.size() < bytes) body += piece;
  return body + "</Data></s:Body></s:Envelope>";
}

const char kRow[] = "<Row id='1'>some text &amp; more</Row>";
const char kBase64[] = "TWFueSBoYW5kcyBtYWtlIGxpZ2h0IHdvcmsu";

TEST(HostileSoap, BadBodiesGiveTheBindingOfNoEnvelope) {
  // A file whose content would be recognised as the WS-Security namespace if it were ever read.
  testing_support::TempDir dir;
  const std::string secret = dir.Write("ns.txt", kSecext);
  const std::string external =
      "<!DOCTYPE s:Envelope [<!ENTITY ns SYSTEM 'file://" + secret + "'>]>"
      "<s:Envelope xmlns:s='http://www.w3.org/2003/05/soap-envelope'><s:Header>"
      "<o:Security xmlns:o='&ns;'><o:UsernameToken><o:Username>u</o:Username></o:UsernameToken></o:Security>"
      "</s:Header></s:Envelope>";
  const std::string attribute = "<s:Envelope xmlns:s='http://www.w3.org/2003/05/soap-envelope' v='";
  constexpr std::size_t kMib = std::size_t(1) << 20;

  // Bounds: a large body is held three times at most (the caller's, the analysis's own copy and the
  // parser's), plus a tree of about 170 bytes for each small element with its text.
  const Case cases[] = {
      // Well-formed: the DTD is skipped, the entity never expanded, the file never read.
      {"external entity", [&] { return external; }, "None", "", 16},
      {"billion laughs", Laughs, "None", "", 16},
      {"a million elements deep", [] { return Nested(1000000); }, "None", "", 160},
      {"an attribute of 16 MiB", [&] { return attribute + std::string(16 * kMib, 'v') + "'/>"; }, "None", "", 96},
      {"200 MiB of base64", [&] { return Large(200 * kMib, kBase64); }, "None", "", 700},
      {"16 MiB of small elements", [&] { return Large(16 * kMib, kRow); }, "None", "", 160},
      // Not loadable.
      {"UTF-16 with a lone surrogate", [] { return std::string("\xFF\xFE<\0a\0>\0\x00\xD8<\0/\0a\0>\0", 18); },
       "", "", 16},
      {"invalid UTF-8", [] { return std::string("<s:Envelope xmlns:s='x'>\xC3\x28\xFF</s:Envelope>"); }, "", "", 16},
      {"overlong UTF-8", [] { return std::string("<s:Envelope xmlns:s='x'>\xC0\xBC</s:Envelope>"); }, "", "", 16},
      {"NUL bytes", [] { return std::string("<s:Envelope xmlns:s='x'>\0</s:Envelope>", 39); }, "", "", 16},
      {"binary garbage", [] { return std::string("\x56\x02\x0b\x01\x73\x04\xff\xff\xff\xff\x7f", 11); }, "", "", 16},
      {"a 2 GiB length in 100 bytes",
       [] { return std::string("\x40\x01" "a\x9c\xff\xff\xff\x7f", 8) + std::string(92, 'x'); }, "", "", 16},
      {"cut off", [&] { return Large(kMib, kRow).substr(0, 700000); }, "", "", 16},
      {"empty", [] { return std::string(); }, "", "", 16},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const hostile::ChildOutcome outcome = RunInChild([&] {
      std::string bytes = c.body();
      OsStrBin body;
      xfvOsStrConstructFromBytes(&body, bytes.data(), bytes.size());
      std::string().swap(bytes);  // the caller holds the body once
      return Expect(analysis::DeriveConfiguration("Content-Type: application/soap+xml", body), c.addressing, c.mode);
    });
    EXPECT_FALSE(outcome.timedOut);
    EXPECT_EQ(outcome.signal, 0);
    EXPECT_EQ(outcome.exitCode, 0) << "a different binding, or something escaped";
    const long usedMib = (outcome.peakKib - BaselineKib()) / 1024;
    if (!hostile::kUnderSanitizer) {
      EXPECT_LE(usedMib, c.boundMib) << "peak " << outcome.peakKib << " KiB, baseline " << BaselineKib() << " KiB";
    }
  }
}

TEST(HostileSoap, ABinaryBodyCannotSmuggleWhatItsTextCouldNot) {
  // The same external-entity trick is impossible in binary form: there is no DTD record at all.
  const std::string text = "<s:Envelope xmlns:s='http://www.w3.org/2003/05/soap-envelope'><s:Header>"
                           "<o:Security xmlns:o='" + std::string(kSecext) + "'><o:UsernameToken><o:Username>"
                           "u\xE2\x80\x8Ex</o:Username></o:UsernameToken></o:Security></s:Header></s:Envelope>";
  const std::string binary = testing_support::BinaryTwin(text);
  OsStrBin body;
  xfvOsStrConstructFromBytes(&body, binary.data(), binary.size());
  const ConfigurationTypes got = analysis::DeriveConfiguration("Content-Type: application/soap+msbin1", body);
  EXPECT_EQ(got.security.authenticationMode, "UserNameOverTransport");
  EXPECT_EQ(got.security.username, "u?x") << "a character outside the code page arrives as '?'";
}

// The replay-hazard walk reads the Header to any depth: it stays within the bounds of the analysis
// that loads the body, whose walk goes one level deep.
TEST(HostileSoap, HeadersTheHazardWalkGoesThrough) {
  const std::string start = "<s:Envelope xmlns:s='http://www.w3.org/2003/05/soap-envelope' "
                            "xmlns:a='http://www.w3.org/2005/08/addressing'><s:Header>";
  const std::string end = "</s:Header><s:Body/></s:Envelope>";
  const struct {
    const char* name;
    std::function<std::string()> body;
    const char* mode;
    std::size_t hazards;
    long boundMib;
  } cases[] = {
      {"100,000 Security children",
       [&] {
         std::string body = start;
         for (int i = 0; i < 100000; ++i) {
           body += "<o:Security xmlns:o='" + std::string(kSecext) + "'><o:UsernameToken><o:Username>u</o:Username>"
                   "<o:Nonce>n</o:Nonce></o:UsernameToken></o:Security>";
         }
         return body + end;
       },
       "UserNameOverTransport", 100000, 160},
      {"a Header a million elements deep",
       [&] {
         std::string body = start;
         for (int i = 0; i < 1000000; ++i) body += "<x>";
         body += "<a:MessageID>m</a:MessageID>";
         for (int i = 0; i < 1000000; ++i) body += "</x>";
         return body + end;
       },
       "", 1, 160},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const hostile::ChildOutcome outcome = RunInChild([&] {
      const analysis::Envelope envelope(c.body());
      void* passwordElement = nullptr;
      const ConfigurationTypes config = analysis::DeriveConfiguration("", envelope, &passwordElement);
      const analysis::SoapHeaderFacts facts = analysis::ReadSoapHeader(envelope, nullptr);
      return config.security.authenticationMode == c.mode && facts.hazards.size() == c.hazards &&
                     analysis::PasswordType(envelope, passwordElement).empty()
                 ? 0
                 : 1;
    });
    EXPECT_FALSE(outcome.timedOut);
    EXPECT_EQ(outcome.signal, 0);
    EXPECT_EQ(outcome.exitCode, 0);
    const long usedMib = (outcome.peakKib - BaselineKib()) / 1024;
    if (!hostile::kUnderSanitizer) {
      EXPECT_LE(usedMib, c.boundMib) << "peak " << outcome.peakKib << " KiB, baseline " << BaselineKib() << " KiB";
    }
  }
}

}  // namespace
