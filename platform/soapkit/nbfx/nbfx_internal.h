// Pieces of the decoder that tests reach into; not part of the module's interface.

#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "nbfx_decoder.h"
#include "nbfx_encoder.h"

namespace soapkit::nbfx::detail {

constexpr uint32_t kStaticDictionarySize = 487;

// The fixed msbin1 string table; entry k is the string of wire id 2k.
extern const std::string_view kStaticDictionary[kStaticDictionarySize];

// Resolves a dictionary id: returns nullptr and sets `out`, or a short reason the id
// names nothing. The string must outlive the decode.
using DictionaryLookup = const char* (*)(void* context, uint32_t id, std::string_view& out);

// msbin1 resolution: even ids index the fixed table; odd ids would need a session table.
const char* StaticLookup(void* context, uint32_t id, std::string_view& out);

// Decode() with another dictionary, e.g. one that answers "strN" for every id N; without
// `fastPaths` every record is read by the general handlers alone (the two must agree).
DecodeResult DecodeWith(const unsigned char* data, size_t size, Tree& out, DictionaryLookup lookup,
                        void* context, bool fastPaths = true);
DecodeResult DecodeWith(const unsigned char* data, size_t size, pugi::xml_document& out,
                        DictionaryLookup lookup, void* context, bool fastPaths = true);

// The encoder's side of a dictionary: the id that stands for a string, or -1.
using DictionaryIdOf = int64_t (*)(void* context, std::string_view s);

// The fixed msbin1 table's ids.
int64_t StaticIdOf(void* context, std::string_view s);

// Encode() with another dictionary, e.g. one that has id N for every "strN".
EncodeResult EncodeWith(const pugi::xml_document& document, std::string& out, DictionaryIdOf idOf, void* context);

}  // namespace soapkit::nbfx::detail
