// The typed text record, if any, that stands for a text exactly: the record whose value the
// decoder prints back as that very text. What no typed record gives back to the letter ("007",
// "1.10", "False", " 1") has none: it stays characters.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace soapkit::nbfx {

// Type byte and payload of the longest typed record (a Decimal, a GUID).
constexpr size_t kMaxTypedRecord = 17;

// Writes the record for `text` into `record` (type byte first, the type without its
// WithEndElement bit) and returns its length; 0 when no typed record prints `text` back.
// Bytes records are not made here: their payload is as long as the text.
size_t TypedRecordFor(std::string_view text, uint8_t record[kMaxTypedRecord]);

// The bytes that the base64 text `text` stands for, in `out` (room for text.size() * 3 / 4), and
// their count; 0 unless `text` is non-empty base64 that prints back to the letter.
size_t Base64Bytes(std::string_view text, uint8_t* out);

}  // namespace soapkit::nbfx
