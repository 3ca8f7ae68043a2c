// Feeds arbitrary bytes to the text-to-binary encoder as a text body. Whatever it encodes, the SOAP
// reader loads, from the text and from the binary alike; what it refuses as no text body the reader
// refuses too, and what it cannot write the reader loads. Where the bytes are plain UTF-8 the binary decodes to the very document the
// text parses to, white space and comments included.
#include "soapkit/msbin1.h"
#include "soapkit/soap_reader.h"

#include "canonical_xml.h"
#include "nbfx_decoder.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

namespace {

bool Loads(const void* data, size_t size) {
  OsStrBin body;
  xfvOsStrConstructFromBytes(&body, data, size);
  CSoapReader reader(65538);
  return reader.load(body);
}

// No byte-order mark, declaration or UTF-16/32 '<': the reader takes the bytes as UTF-8.
bool PlainUtf8(const uint8_t* data, size_t size) {
  if (size < 2 || data[0] == 0 || data[1] == 0 || data[0] >= 0xEF) return false;
  return std::string(reinterpret_cast<const char*>(data), std::min<size_t>(size, 5)) != "<?xml";
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string binary, error;
  const bool encoded = soapkit::EncodeTextBody(data, size, binary, error);
  const bool loads = Loads(data, size);
  if (!encoded) {
    if (error.empty() || !binary.empty() || error.find('\n') != std::string::npos) std::abort();
    const auto says = [&error](const char* why) { return error.rfind(why, 0) == 0; };
    if (says("the body is binary already")) return 0;
    const bool refusedAsText = says("the body is not well-formed") || says("the body is empty");
    if (refusedAsText == loads) std::abort();
    return 0;
  }
  if (!loads || !Loads(binary.data(), binary.size())) std::abort();
  if (PlainUtf8(data, size)) {
    pugi::xml_document text, decoded;
    if (!text.load_buffer(data, size, pugi::parse_default | pugi::parse_comments | pugi::parse_ws_pcdata,
                          pugi::encoding_utf8)) {
      std::abort();
    }
    if (!soapkit::nbfx::Decode(reinterpret_cast<const unsigned char*>(binary.data()), binary.size(), decoded).ok ||
        testing_support::CanonicalXml(decoded) != testing_support::CanonicalXml(text)) {
      std::abort();
    }
  }
  return 0;
}
