// The machine's time zone, the one thing the decoder asks of the system.
#pragma once

#include <cstdint>

namespace soapkit::nbfx::detail {

// The UTC offset in seconds of the local time zone at the instant `secondsSince1970` (UTC); 0 when
// the system cannot tell.
long UtcOffsetAt(std::int64_t secondsSince1970);

}  // namespace soapkit::nbfx::detail
