#include "browser/address.h"

#include <cctype>
#include <filesystem>
#include <string_view>

namespace browser {
namespace {

namespace fs = std::filesystem;

// scheme = ALPHA *( ALPHA / DIGIT / "+" / "-" / "." ) ":". A single letter is a drive, not a scheme,
// and "host:8080/path" names a port.
bool HasScheme(const std::string& address) {
  const std::size_t colon = address.find(':');
  if (colon == std::string::npos || colon < 2 || !std::isalpha(static_cast<unsigned char>(address[0]))) return false;
  for (std::size_t i = 1; i < colon; ++i) {
    const unsigned char c = static_cast<unsigned char>(address[i]);
    if (!std::isalnum(c) && c != '+' && c != '-' && c != '.') return false;
  }
  const std::size_t portEnd = address.find_first_not_of("0123456789", colon + 1);
  const bool port = portEnd != colon + 1 && (portEnd == std::string::npos || address[portEnd] == '/');
  return !port;
}

// '%', '#' and '?' would otherwise read as an escape, a fragment and a query.
std::string FileUrl(const fs::path& path) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string url = "file://";
  for (const unsigned char c : path.string()) {
    if (std::isalnum(c) || std::string_view("/-._~!$&'()*+,;=:@").find(static_cast<char>(c)) != std::string_view::npos) {
      url.push_back(static_cast<char>(c));
    } else {
      url += {'%', kHex[c >> 4], kHex[c & 0xF]};
    }
  }
  return url;
}

}  // namespace

std::string CompleteAddress(const std::string& address) {
  if (address.empty() || HasScheme(address)) return address;
  std::error_code ec;
  const fs::path path(address);
  if (path.is_absolute() || fs::exists(path, ec)) {
    const fs::path absolute = fs::absolute(path, ec);
    return FileUrl((ec ? path : absolute).lexically_normal());
  }
  return "http://" + address;
}

}  // namespace browser
