#include "soapkit/msbin1.h"

#include "text_parse.h"

#include "nbfx/nbfx_decoder.h"
#include "nbfx/nbfx_encoder.h"

namespace soapkit {
namespace {

// What the encoder must see to write the body exactly, or to refuse it: comments, white space
// between elements, PIs and the DOCTYPE; text beside the document element (parse_fragment), which
// the reader refuses too. An element's first text is kept as its value (parse_embed_pcdata), which
// saves a node for every element that holds only text.
constexpr unsigned kEncodeOptions = pugi::parse_default | pugi::parse_fragment | pugi::parse_comments |
                                    pugi::parse_ws_pcdata | pugi::parse_pi | pugi::parse_doctype |
                                    pugi::parse_embed_pcdata;

}  // namespace

bool EncodeTextBody(const unsigned char* data, std::size_t size, std::string& binary, std::string& error) {
  binary.clear();
  if (size == 0) {
    error = "the body is empty";
    return false;
  }
  if (nbfx::LooksBinary(data, size)) {
    error = "the body is binary already";
    return false;
  }
  pugi::xml_document dom;
  std::string converted;
  if (const char* why = ParseTextBody(data, size, kEncodeOptions, dom, converted)) {
    // PIs and DOCTYPEs that are read are held to stricter rules than skipped ones; a body that
    // parses with them skipped is one the reader loads.
    constexpr unsigned kSkipping = kEncodeOptions & ~(pugi::parse_pi | pugi::parse_doctype);
    const bool loads = ParseTextBody(data, size, kSkipping, dom, converted) == nullptr && HasOneDocumentElement(dom);
    error = loads ? "the body cannot be written in the binary encoding: it holds a processing instruction or a "
                  "DOCTYPE, which have no place in a binary body"
                : std::string("the body is not well-formed XML: ") + why;
    return false;
  }
  if (!HasOneDocumentElement(dom)) {
    error = "the body is not well-formed XML: it needs exactly one document element and no text beside it";
    return false;
  }
  binary.reserve(size);  // binary bodies come out smaller than their text, so this seldom grows
  const nbfx::EncodeResult encoded = nbfx::Encode(dom, binary);
  if (!encoded.ok) error = "the body cannot be written in the binary encoding: " + encoded.error;
  return encoded.ok;
}

}  // namespace soapkit
