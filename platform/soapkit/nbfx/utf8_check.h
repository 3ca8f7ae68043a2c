// UTF-8 well-formedness, shared by the binary decoder (whose text records carry raw UTF-8) and the
// reader of text bodies (whose parser does not check it).
#pragma once

#include <cstddef>
#include <cstdint>

namespace soapkit::nbfx {

// The length of the well-formed UTF-8 sequence that starts with the non-ASCII byte at `p`, or 0
// with `why` set (overlong forms, surrogates and code points past U+10FFFF are not well-formed).
size_t Utf8Sequence(const uint8_t* p, const uint8_t* end, const char*& why);
// nullptr when the bytes are well-formed UTF-8 without U+0000, else why not.
const char* CheckUtf8(const uint8_t* p, size_t n);

}  // namespace soapkit::nbfx
