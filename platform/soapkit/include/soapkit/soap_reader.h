// soapkit: the product's SOAP reader. It parses one recorded request body into a document that the
// xpi_ functions of soapkit/xml_tree_api.h walk.
//
// Which bodies load, told from the bytes alone (never from a Content-Type):
//  - text XML in UTF-8 (with or without byte-order mark), in UTF-16 or UTF-32 (byte-order mark, or
//    a first character '<' that shows the width), or in a single-byte encoding whose XML
//    declaration names windows-1252 or Latin-1 (both read as windows-1252, its superset);
//  - binary bodies (application/soap+msbin1), when the binary decoder is built in.
// Refused (load returns false): an empty body; bytes that are not well-formed at the top level
// (text outside the document element, several document elements, a tag left open); a NUL
// character, as a byte, a code unit or a reference such as "&#0;"; bytes that are not well-formed
// in the body's encoding (invalid UTF-8, unpaired UTF-16 surrogates); no document element at all.
// A DOCTYPE is skipped: declared entities are never expanded and nothing outside the body is read,
// so "&name;" references of a DTD stay in the text as written.
//
// Memory: the body once more (converted to UTF-8) plus the tree: 64 bytes per element or text node
// and 40 per attribute (56 in the tree of a binary body). Parsing and releasing take no stack that
// grows with nesting depth.
#pragma once

#include "hostrt32/hostrt32.h"
#include "soapkit/soapkit_api.h"

#include <memory>

namespace soapkit {
struct Document;
}

class SOAPKIT_API CSoapReader {
 public:
  // `options` is reserved: the product passes 65538 (0x10002), and every value reads bodies the same
  // way. Raises std::bad_alloc when memory runs out.
  explicit CSoapReader(int options);
  // Releases the document; every handle taken from it becomes invalid.
  ~CSoapReader();
  CSoapReader(const CSoapReader&) = delete;
  CSoapReader& operator=(const CSoapReader&) = delete;

  // true when the body was parsed into a document. Each call replaces what an earlier one loaded
  // (its node handles become invalid), also when it fails. The body is only read. Raises
  // std::bad_alloc when memory runs out, and nothing else.
  bool load(OsStrBin& body);
  // The document handle for the xpi_ functions: the same value after every successful load; NULL
  // before the first one and after a failed one.
  void* getXpiDocument();

 private:
  std::unique_ptr<soapkit::Document> mpDocument;
};
