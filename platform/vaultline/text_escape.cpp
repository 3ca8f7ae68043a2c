#include "text_escape.h"

namespace vaultline {
namespace {

constexpr char kHexDigits[] = "0123456789ABCDEF";

void AppendHex(std::string& out, unsigned char byte) {
  out += "\\x";
  out += kHexDigits[byte >> 4];
  out += kHexDigits[byte & 0x0F];
}

void AppendEscaped(std::string& out, std::string_view text, bool sectionName) {
  for (std::size_t i = 0; i < text.size(); ++i) {
    const auto c = static_cast<unsigned char>(text[i]);
    const bool atEdge = i == 0 || i + 1 == text.size();
    switch (c) {
      case '\\': out += "\\\\"; continue;
      case '\r': out += "\\r"; continue;
      case '\n': out += "\\n"; continue;
      case '\t': out += "\\t"; continue;
      case '"': out += "\\\""; continue;
      default: break;
    }
    if (c < 0x20 || c == 0x7F || (c == ' ' && atEdge) || (sectionName && (c == '[' || c == ']'))) {
      AppendHex(out, c);
    } else {
      out += static_cast<char>(c);
    }
  }
}

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

}  // namespace

void AppendEscapedValue(std::string& out, std::string_view text) { AppendEscaped(out, text, false); }

std::string EscapeValue(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  AppendEscaped(out, text, false);
  return out;
}

std::string EscapeSectionText(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  AppendEscaped(out, text, true);
  return out;
}

std::string Unescape(std::string_view escaped) {
  std::string out;
  out.reserve(escaped.size());
  for (std::size_t i = 0; i < escaped.size(); ++i) {
    const char c = escaped[i];
    if (c != '\\' || i + 1 == escaped.size()) {
      out += c;
      continue;
    }
    const char next = escaped[i + 1];
    char decoded = 0;
    std::size_t length = 2;
    switch (next) {
      case '\\': decoded = '\\'; break;
      case 'r': decoded = '\r'; break;
      case 'n': decoded = '\n'; break;
      case 't': decoded = '\t'; break;
      case '"': decoded = '"'; break;
      case 'x': {
        const int high = i + 2 < escaped.size() ? HexValue(escaped[i + 2]) : -1;
        const int low = i + 3 < escaped.size() ? HexValue(escaped[i + 3]) : -1;
        if (high < 0 || low < 0) {
          length = 0;
        } else {
          decoded = static_cast<char>(high * 16 + low);
          length = 4;
        }
        break;
      }
      default: length = 0; break;
    }
    if (length == 0) {
      out += c;  // not an escape: the backslash stands for itself
      continue;
    }
    out += decoded;
    i += length - 1;
  }
  return out;
}

}  // namespace vaultline
