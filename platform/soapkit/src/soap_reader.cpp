// CSoapReader: telling a body's form from its bytes and parsing it into the tree.
#include "soapkit/soap_reader.h"

#include "document.h"
#include "text_parse.h"

#include "nbfx/nbfx_decoder.h"

#include <new>

namespace {

using soapkit::Document;

// pugixml's defaults (CDATA; the five entities and character references; line ends and attribute
// white space normalised as XML requires; comments, PIs and the DOCTYPE skipped, never interpreted),
// and two more:
//  - parse_fragment keeps text beside the document element, which the default silently drops, so
//    that such a body can be refused as not well-formed;
//  - parse_ws_pcdata_single keeps the text of an element that holds only white space.
constexpr unsigned kParseOptions = pugi::parse_default | pugi::parse_fragment | pugi::parse_ws_pcdata_single;

// Binary bodies hold elements and comments at the top, never text.
bool HasOneDocumentElement(const soapkit::nbfx::Tree& tree) {
  int elements = 0;
  for (const soapkit::nbfx::Node* node = tree.first(); node != nullptr; node = node->next) {
    elements += node->kind == soapkit::nbfx::NodeKind::kElement;
  }
  return elements == 1;
}

bool ParseText(const unsigned char* data, std::size_t size, Document& document) {
  return soapkit::ParseTextBody(data, size, kParseOptions, document.dom, document.converted) == nullptr &&
         soapkit::HasOneDocumentElement(document.dom);
}

bool Parse(const unsigned char* data, std::size_t size, Document& document) {
  if (soapkit::nbfx::LooksBinary(data, size)) {
    document.binary = true;
    return soapkit::nbfx::Decode(data, size, document.tree).ok && HasOneDocumentElement(document.tree);
  }
  return ParseText(data, size, document);
}

void Clear(Document& document) noexcept {
  document.loaded = false;
  document.binary = false;
  document.dom.reset();
  std::string().swap(document.converted);
  document.tree.clear();
}

}  // namespace

CSoapReader::CSoapReader(int options) : mpDocument(std::make_unique<Document>()) { (void)options; }

CSoapReader::~CSoapReader() = default;

bool CSoapReader::load(OsStrBin& body) {
  Document& document = *mpDocument;
  Clear(document);
  const auto* data = reinterpret_cast<const unsigned char*>(body.GetData());
  const std::size_t size = body.GetLength();
  if (size == 0) return false;
  try {
    document.loaded = Parse(data, size, document);
  } catch (const std::bad_alloc&) {
    Clear(document);
    throw;
  } catch (...) {
    // Neither pugixml, the decoder nor the code-page conversion raises anything else on purpose;
    // should one, the body simply did not load.
    document.loaded = false;
  }
  if (!document.loaded) Clear(document);
  return document.loaded;
}

void* CSoapReader::getXpiDocument() { return mpDocument->loaded ? mpDocument.get() : nullptr; }
