// Text bodies before pugixml sees them: which encoding the bytes are in, whether they hold a NUL
// character that pugixml would silently stop at or a sequence their encoding does not allow, and
// the windows-1252 -> UTF-8 conversion.
#pragma once

#include <cstddef>
#include <string>

namespace soapkit {

enum class BodyEncoding { kUtf8, kWindows1252, kUtf16Le, kUtf16Be, kUtf32Le, kUtf32Be };

// From a byte-order mark; else from the width that a leading '<' shows; else from the encoding
// that an XML declaration names (the windows-1252 labels of the WHATWG encoding standard, which
// include the Latin-1 and ASCII ones); else UTF-8.
BodyEncoding DetectEncoding(const unsigned char* data, std::size_t size);

// Bytes per code unit.
std::size_t UnitSize(BodyEncoding encoding);

// true when a code unit is 0, a character reference names U+0000 ("&#0;", "&#x00;"), or the
// units are not well-formed in their encoding (UTF-8 sequences, UTF-16 surrogate pairs, UTF-32
// code points): pugixml would stop at the first or pass the others on unchecked.
bool HasBadCharacter(const unsigned char* data, std::size_t size, BodyEncoding encoding);

// true when one of the body's last two characters is a '<', which no well-formed body has there.
// pugixml, when it keeps white space at the top level as text, takes such a '<' for the end of the
// body ("<a/> <x" reads as <a/> and " ").
bool EndsNearALessThan(const unsigned char* data, std::size_t size, BodyEncoding encoding);

// `data` (windows-1252) as UTF-8 in `out`. Raises std::bad_alloc when memory runs out.
void Windows1252ToUtf8(const unsigned char* data, std::size_t size, std::string& out);

}  // namespace soapkit
