// soapkit: walking the document of a CSoapReader (soapkit/soap_reader.h).
//
// The tree holds elements, their attributes and their text. Attributes come in document order,
// namespace declarations ("xmlns", "xmlns:p") included. White space between elements, comments,
// processing instructions and the DOCTYPE are not nodes; text holding any other character is a
// child node of its element, with the name "". The document element has no siblings.
//
// Handles are opaque: valid while the reader lives and until its next load; NULL for none. Every
// function accepts NULL (or a handle of the wrong kind) for any handle, answering NULL or a non-zero
// status with the text left empty. Texts are delivered in the ANSI code page (Windows-1252):
// characters it lacks become '?' (one per UTF-16 unit, so "??" for one outside the BMP).
// Memory exhaustion raises std::bad_alloc; nothing else is thrown.
#pragma once

#include "soapkit/soap_reader.h"

inline constexpr int XPI_OK = 0;
inline constexpr int XPI_E_HANDLE = 1;  // NULL document or node, or a node without that property
inline constexpr int XPI_E_FLAGS = 2;   // flags other than 0
inline constexpr int XPI_E_TEXT = 3;    // a text too long to convert (2 GiB or more)

// The document element.
SOAPKIT_API void* xpi_get_document_root(void* doc);
// The name without namespace prefix: "Envelope" for "s:Envelope", "Id" for the attribute "wsu:Id",
// "a" for "xmlns:a", "xmlns" for "xmlns"; "" for a text node. `flags` is reserved: pass 0.
SOAPKIT_API int xpi_get_node_name(void* doc, void* node, OsStrMb& name, int flags);
// The namespace prefix of an element or attribute name: "s" for "s:Envelope", "xmlns" for
// "xmlns:a"; "" for an unprefixed name (the declaration "xmlns" among them) and a text node.
SOAPKIT_API int xpi_get_node_prefix(void* doc, void* node, OsStrMb& prefix);
// The first child node of an element (element or text), or NULL.
SOAPKIT_API void* xpi_get_first_child(void* doc, void* node);
// The next sibling node (element or text), or NULL.
SOAPKIT_API void* xpi_get_next_sibling(void* doc, void* node);
// The attribute after `previousAttr` (NULL: the first one) of `element`, or NULL after the last.
SOAPKIT_API void* xpi_get_next_attr(void* doc, void* element, void* previousAttr);
// An attribute's value; a text node's text; an element's text: its direct text and CDATA children
// joined, leaving out the white space that only lays out child elements (when the element has
// element children, pieces that are white space alone are dropped). Text of descendants is not
// included. Character and the five predefined entity references arrive resolved.
SOAPKIT_API int xpi_get_node_text(void* doc, void* node, OsStrMb& text);
