// Base64 (RFC 4648, the standard alphabet) as session files carry binary bodies and requests.
#pragma once

#include <string>
#include <string_view>

namespace capture {

// Decodes `text` into `bytes`; line breaks and blanks between groups are passed over, padding is
// optional. false for any other character or a cut-off group.
bool DecodeBase64(std::string_view text, std::string& bytes);

}  // namespace capture
