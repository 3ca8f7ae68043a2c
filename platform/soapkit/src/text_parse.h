// A text body into pugixml's DOM, with the checks pugixml itself does not make. The SOAP reader and
// the binary encoder read text bodies alike and differ only in which nodes they keep.
#pragma once

#include <pugixml.hpp>

#include <cstddef>
#include <string>

namespace soapkit {

// Parses `data` (any encoding DetectEncoding tells) into `dom` with pugixml `options`. `converted`
// holds the UTF-8 form of a windows-1252 body, which the DOM then points into. nullptr on success,
// else why not, in one line. Raises std::bad_alloc when memory runs out.
const char* ParseTextBody(const unsigned char* data, std::size_t size, unsigned options, pugi::xml_document& dom,
                          std::string& converted);

// Exactly one element at the top, and no text beside it.
bool HasOneDocumentElement(const pugi::xml_document& dom);

}  // namespace soapkit
