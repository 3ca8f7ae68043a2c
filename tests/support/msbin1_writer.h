// Binary twins of text SOAP bodies (application/soap+msbin1), for tests and benchmarks: the body
// parsed as binary writers see it, white space that only lays out elements dropped, and written by
// the encoder. Each twin is decoded again and must give the same document, so every body a test
// twins is a round trip of the encoder too.
#pragma once

#include "canonical_xml.h"
#include "nbfx_decoder.h"
#include "nbfx_encoder.h"

#include <pugixml.hpp>

#include <stdexcept>
#include <string>
#include <string_view>

namespace testing_support {

// The body of `xml` (UTF-8 text XML) in the binary encoding; throws std::runtime_error when it
// does not parse, cannot be encoded, or does not decode to the same document.
inline std::string BinaryTwin(std::string_view xml) {
  pugi::xml_document document;
  if (!document.load_buffer(xml.data(), xml.size(), pugi::parse_default | pugi::parse_comments)) {
    throw std::runtime_error("not well-formed XML");
  }
  std::string binary;
  const soapkit::nbfx::EncodeResult result = soapkit::nbfx::Encode(document, binary);
  if (!result.ok) throw std::runtime_error(result.error);
  pugi::xml_document decoded;
  if (!soapkit::nbfx::Decode(reinterpret_cast<const unsigned char*>(binary.data()), binary.size(), decoded).ok ||
      CanonicalXml(decoded) != CanonicalXml(document)) {
    throw std::runtime_error("the binary twin does not decode to the same document");
  }
  return binary;
}

}  // namespace testing_support
