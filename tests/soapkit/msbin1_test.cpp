// Text bodies written in the binary encoding: every sample body comes back as the same document.
#include "soapkit/msbin1.h"

#include "canonical_xml.h"
#include "nbfx_decoder.h"
#include "temp_dir.h"

#include <gtest/gtest.h>
#include <pugixml.hpp>

#include <filesystem>

namespace {

namespace fs = std::filesystem;

std::string EncodeOrFail(const std::string& text) {
  std::string binary, error;
  EXPECT_TRUE(soapkit::EncodeTextBody(reinterpret_cast<const unsigned char*>(text.data()), text.size(), binary, error))
      << error;
  return binary;
}

std::string DecodedXml(const std::string& binary) {
  pugi::xml_document doc;
  const auto r = soapkit::nbfx::Decode(reinterpret_cast<const unsigned char*>(binary.data()), binary.size(), doc);
  EXPECT_TRUE(r.ok) << r.error;
  return testing_support::CanonicalXml(doc);
}

TEST(EncodeTextBody, SampleBodiesComeBackAsTheSameDocument) {
  int samples = 0;
  for (const auto& entry : fs::directory_iterator(fs::path(SAMPLES_DIR) / "requests")) {
    SCOPED_TRACE(entry.path().filename().string());
    const std::string request = testing_support::ReadFile(entry.path());
    const size_t split = request.find("\r\n\r\n");
    ASSERT_NE(split, std::string::npos);
    std::string body = request.substr(split + 4);
    if (soapkit::nbfx::LooksBinary(reinterpret_cast<const unsigned char*>(body.data()), body.size())) {
      // Edited as its decoded text, then written again.
      const std::string xml = DecodedXml(body);
      EXPECT_EQ(DecodedXml(EncodeOrFail(xml)), xml);
    } else {
      pugi::xml_document text;
      ASSERT_TRUE(text.load_string(body.c_str(), pugi::parse_default | pugi::parse_comments | pugi::parse_ws_pcdata));
      EXPECT_EQ(DecodedXml(EncodeOrFail(body)), testing_support::CanonicalXml(text));
    }
    ++samples;
  }
  EXPECT_GE(samples, 4);
}

TEST(EncodeTextBody, RefusesWhatTheBinaryFormCannotCarry) {
  const struct {
    const char* body;
    const char* why;
  } cases[] = {
      {"", "empty"},
      {"\x56\x02\x0b\x01s\x04", "binary already"},
      {"<a><b></a>", "not well-formed"},
      {"<a/><b/>", "exactly one document element"},
      {"<!DOCTYPE a [<!ENTITY x 'y'>]><a>&x;</a>", "DOCTYPE"},
      {"<a><?pi x?></a>", "processing instruction"},
      {"<a><!-- a--b --></a>", "\"--\""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.body);
    std::string binary = "stale", error;
    EXPECT_FALSE(soapkit::EncodeTextBody(reinterpret_cast<const unsigned char*>(c.body), strlen(c.body), binary, error));
    EXPECT_NE(error.find(c.why), std::string::npos) << error;
    EXPECT_TRUE(binary.empty());
  }
}

// The declaration goes and white space between elements stays, so a round trip is exact.
TEST(EncodeTextBody, KeepsWhiteSpaceAndComments) {
  EXPECT_EQ(DecodedXml(EncodeOrFail("<?xml version='1.0'?>\n<a>\n  <b>1</b><!-- c -->\n</a>\n")),
            "<a>\n  <b>1</b><!-- c -->\n</a>");
}

}  // namespace
