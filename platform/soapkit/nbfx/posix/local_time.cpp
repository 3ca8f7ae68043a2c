#include "local_time.h"

#include <ctime>

namespace soapkit::nbfx::detail {

long UtcOffsetAt(std::int64_t secondsSince1970) {
  const time_t instant = static_cast<time_t>(secondsSince1970);
  std::tm parts{};
  return localtime_r(&instant, &parts) ? parts.tm_gmtoff : 0;
}

}  // namespace soapkit::nbfx::detail
