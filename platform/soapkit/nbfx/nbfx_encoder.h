// Encoder of binary SOAP bodies (application/soap+msbin1): an XML document in, the bytes the
// decoder (nbfx_decoder.h) reads back as the same document out.
//
// The document is pugixml's DOM of the XML, as the decoder builds it (parse_comments and
// parse_ws_pcdata): elements with their attributes (namespace declarations among them) in
// document order, their text and comments. What is written:
//  - Names: a name or namespace found in the fixed string table as a dictionary record, else the
//    plain record; a prefix of one lower-case letter through the short Prefix* records.
//  - Texts and attribute values: a typed record (Zero/One/True/False, Int8..Int64, UInt64, Float,
//    Double, Decimal, DateTime without zone or in UTC, TimeSpan, Uuid, UniqueId, Bytes) only when
//    the decoder prints that record's value back as exactly the same text; "" as EmptyText; a
//    string of the fixed table as a dictionary record; anything else as characters. "007", "1.10",
//    "False" and " 1" stay characters.
//  - A text that is its element's last child closes the element in the same record.
//  - White space is kept wherever it stands inside the document element, so that a round trip is
//    exact; outside it (between the top-level nodes) it is not part of the document and goes.
//  - Comments are kept; the XML declaration goes (binary bodies have none).
//
// Refused, so that everything written is read back: processing instructions and a DOCTYPE (the
// format has no record for them), text outside every element, names that are not XML names (the
// decoder's rules) and a declaration of the prefix xmlns, comments holding "--" or ending in '-',
// text that is not well-formed UTF-8 or holds U+0000, elements nested deeper than the decoder's
// 1024, and a document with nothing to write (the format has no empty body).
//
// The fixed table's long strings stand for up to 103 characters in two bytes, more than the
// decoder's string budget (16 x the input) allows for a body made of them alone; such a body is
// written with plain records instead, which that budget always holds.

#pragma once

#include <string>

#include <pugixml.hpp>

namespace soapkit::nbfx {

struct EncodeResult {
  bool ok;
  std::string error;  // one line, why it failed; empty when ok
};

// Encodes `document` into `out` (cleared first; left empty on failure). Raises std::bad_alloc when
// memory runs out.
EncodeResult Encode(const pugi::xml_document& document, std::string& out);

}  // namespace soapkit::nbfx
