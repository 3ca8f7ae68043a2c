// The header text of a recorded HTTP request: its request line and header lines, as a recorder
// writes them ("Name: value", one a line, CRLF or LF).
#pragma once

#include <string>
#include <string_view>

namespace capture {

// ASCII case folding, as header names and media types compare.
inline char LowerAscii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c | 0x20) : c; }
std::string LowerAscii(std::string_view text);
bool EqualNoCase(std::string_view a, std::string_view b);
bool ContainsNoCase(std::string_view text, std::string_view part);

// The value of the first header line named `name` (any case), blanks around it trimmed; empty when
// there is none.
std::string HeaderValue(std::string_view header, std::string_view name);

// The header text with each header name in its canonical HTTP/1.1 form ("content-type" ->
// "Content-Type", "soapaction" -> "SOAPAction"); everything else as it was.
std::string CanonicalHeaderNames(std::string_view header);

// The header text with every line named `name` (any case), and the folded lines that continue
// it, taken out; ReplaceHeader puts "name: value" where the first of them was, or last when there
// was none. Other lines stay as they are; new line ends are those of the header's first line.
std::string ReplaceHeader(std::string_view header, std::string_view name, std::string_view value);
std::string RemoveHeader(std::string_view header, std::string_view name);

// The parts of the request line "METHOD TARGET VERSION".
struct RequestLine {
  std::string method, target, version;
};
RequestLine ParseRequestLine(std::string_view header);

// The parts of an absolute URL; `port` is always set ("80" for http without one).
struct Url {
  std::string scheme, host, port, path;  // scheme and host in lower case; path without query
};
// false when `text` is no absolute http(s) URL with a host.
bool ParseUrl(std::string_view text, Url& url);
// scheme://host[:port]/path, the port left out when it is the scheme's default.
std::string EndpointOf(const Url& url);

// Where a request was sent: its request line's absolute URL, else its Host header, when the
// scheme is unknown (empty) and so is the port when Host names none; false when neither tells.
bool RequestTarget(std::string_view header, Url& target);

// The absolute URL of a request: its request line's target when that is absolute, else the Host
// header's host with the target's path, taken as http; empty when neither gives a host.
std::string RequestUrl(std::string_view header);

}  // namespace capture
