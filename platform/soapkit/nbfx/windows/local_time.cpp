#include "local_time.h"

#include <ctime>

namespace soapkit::nbfx::detail {

// The C runtime has no tm_gmtoff: the offset is the local wall-clock time read back as if it
// were UTC, less the instant itself.
long UtcOffsetAt(std::int64_t secondsSince1970) {
  const __time64_t instant = secondsSince1970;
  std::tm parts{};
  if (_localtime64_s(&parts, &instant) != 0) return 0;
  const __time64_t wall = _mkgmtime64(&parts);
  return wall == -1 ? 0 : static_cast<long>(wall - instant);
}

}  // namespace soapkit::nbfx::detail
