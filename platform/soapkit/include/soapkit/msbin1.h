// Text SOAP bodies written in the binary encoding (application/soap+msbin1), so that a recorded
// binary request can be edited as XML and sent again.
#pragma once

#include "soapkit/soapkit_api.h"

#include <cstddef>
#include <string>

namespace soapkit {

// Reads `data` as the SOAP reader reads a text body (soap_reader.h: the same encodings, the same
// refusals) but keeps its comments and all of its white space, and writes it in the binary
// encoding into `binary`, which the reader then loads as the same document. The XML declaration
// goes: binary bodies have none.
//
// false, with `binary` empty and `error` saying why in one line, when the body is empty, binary
// already, not one the reader would load, or holds what the binary form cannot carry: a DOCTYPE
// (its entities would be lost), a processing instruction, a comment with "--", or elements nested
// deeper than 1024. Raises std::bad_alloc when memory runs out.
SOAPKIT_API bool EncodeTextBody(const unsigned char* data, std::size_t size, std::string& binary,
                                std::string& error);

}  // namespace soapkit
