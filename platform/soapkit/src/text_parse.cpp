#include "text_parse.h"

#include "body_text.h"
#include "document.h"

#include <new>

namespace soapkit {
namespace {

pugi::xml_encoding PugiEncoding(BodyEncoding encoding) {
  switch (encoding) {
    case BodyEncoding::kUtf16Le: return pugi::encoding_utf16_le;
    case BodyEncoding::kUtf16Be: return pugi::encoding_utf16_be;
    case BodyEncoding::kUtf32Le: return pugi::encoding_utf32_le;
    case BodyEncoding::kUtf32Be: return pugi::encoding_utf32_be;
    default: return pugi::encoding_utf8;
  }
}

}  // namespace

const char* ParseTextBody(const unsigned char* data, std::size_t size, unsigned options, pugi::xml_document& dom,
                          std::string& converted) {
  const BodyEncoding encoding = DetectEncoding(data, size);
  if (size % UnitSize(encoding) != 0) return "its last character is cut off";
  if (HasBadCharacter(data, size, encoding)) return "it holds a NUL character or bytes that its encoding does not allow";
  if (EndsNearALessThan(data, size, encoding)) return "it ends inside a tag";
  pugi::xml_parse_result result;
  if (encoding == BodyEncoding::kWindows1252) {
    Windows1252ToUtf8(data, size, converted);
    result = dom.load_buffer_inplace(converted.data(), converted.size(), options, pugi::encoding_utf8);
  } else {
    // One copy, which pugixml converts to UTF-8 where needed, and parses in place.
    result = dom.load_buffer(data, size, options, PugiEncoding(encoding));
  }
  if (result.status == pugi::status_out_of_memory) throw std::bad_alloc();
  return result ? nullptr : result.description();
}

bool HasOneDocumentElement(const pugi::xml_document& dom) {
  int elements = 0;
  for (pugi::xml_node child = dom.first_child(); child; child = child.next_sibling()) {
    if (child.type() == pugi::node_element) {
      ++elements;
    } else if (IsTreeNode(child)) {
      return false;
    }
  }
  return elements == 1;
}

}  // namespace soapkit
