// Decoder for binary SOAP bodies (application/soap+msbin1).
//
// A body decodes into a Tree (nbfx_tree.h), which the SOAP reader walks directly: building it
// costs about half of parsing the body's text twin, as the names and text the body holds are
// used where they lie, in one copy of the body, and nothing is scanned for markup. Decode() into
// a pugixml DOM builds the same tree and copies it; the tests and the command line see the
// decoder that way.
//
// The DOM is what pugixml builds from the body's text twin with parse_comments and
// parse_ws_pcdata: qualified names ("s:Envelope"), namespace declarations as plain
// "xmlns" / "xmlns:p" attributes, attributes in wire order, consecutive text records merged
// into one pcdata node, comments as comment nodes. Characters are kept exactly as sent (no
// line-end or attribute-whitespace folding): the binary form carries exact values, where the
// text twin would need character references for them. The tree holds the same, with names
// split into prefix and local part.
//
// Text rendering of typed records, where published sources disagree:
//  - UnicodeChars32Text carries a 4-byte little-endian length (the worked examples and
//    the common readers), not a MultiByteInt31.
//  - QNameDictionaryText names are MultiByteInt31 dictionary ids.
//  - DateTimeText keeps its time-zone kind in the top two bits; midnight still prints
//    "T00:00:00"; kind 2 (local) appends this machine's UTC offset for that instant.
//  - TimeSpanText prints as xsd:duration ("-PT5M44S", "PT0S"), not "[-][d.]hh:mm:ss".
//  - Float/Double use the fewest digits that round-trip; exponent form ("1E+15",
//    "1E-05", at least two exponent digits) only when the decimal exponent is below -4 or
//    at least max(digits, 15) (7 for Float), which is how the usual peers print them.
//  - DecimalText drops trailing fractional zeros ("5.10" prints "5.1"); zero prints "0".
//
// Rejected although a lax reader might pass them: invalid UTF-8 or UTF-16, U+0000 anywhere
// (a DOM string cannot carry it), names that are not XML names (ASCII rules; non-ASCII
// letters are accepted as-is), comments containing "--" or ending in '-', text outside any
// element, odd dictionary ids (msbin1 has no session table) and ids past the fixed table.
//
// Bounds (hostile input is expected):
//  - No length is trusted: every length and array count is checked against the bytes left
//    before anything is allocated for it.
//  - Strings stored in the DOM (names, values, text, comments) total at most
//    16 x input + 64 KiB bytes. A Bool array item stores its element name plus up to five
//    characters per wire byte (<boolean>false</boolean> is 12 bytes from 1), and scalar
//    records stay below 6x; the slack covers SOAP headers, where a 2-3 byte dictionary
//    reference can stand for a string of up to 103 characters.
//  - DOM nodes (elements, attributes, text, comments) number at most 3 x input + 65536;
//    array items are the only records that make more than one node per wire byte.
//  - The tree holds a copy of the body, its nodes (64 bytes each, attributes 56) and the
//    strings the body does not hold as they are (typed values, joined text).
//  - Elements nest at most 1024 deep. The decoder is iterative, but DOM consumers often
//    recurse; real peers default to a depth quota of 32.
//  Together: memory stays within roughly 200 bytes per input byte; time is linear.

#pragma once

#include <cstddef>
#include <string>

#include <pugixml.hpp>

#include "nbfx_tree.h"

namespace soapkit::nbfx {

struct DecodeResult {
  bool ok;
  std::string error;  // one line, why it failed; empty when ok
};

// Decodes a whole msbin1 body into `out` (cleared first; left empty on failure). The tree keeps
// its own copy of the body. Raises std::bad_alloc when memory runs out.
DecodeResult Decode(const unsigned char* data, size_t size, Tree& out);

// The same into a pugixml DOM (reset first; left empty on failure).
DecodeResult Decode(const unsigned char* data, size_t size, pugi::xml_document& out);

// True when the bytes start like a binary body (the first byte is an element record type),
// false for text XML (starts with '<', XML white space, or a UTF-8/UTF-16 byte-order mark)
// and for anything else.
bool LooksBinary(const unsigned char* data, size_t size);

}  // namespace soapkit::nbfx
