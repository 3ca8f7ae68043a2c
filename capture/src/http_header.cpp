#include "capture/http_header.h"

#include <algorithm>

namespace capture {
namespace {

std::string_view Trim(std::string_view text) {
  const std::size_t first = text.find_first_not_of(" \t");
  if (first == std::string_view::npos) return {};
  return text.substr(first, text.find_last_not_of(" \t\r") - first + 1);
}

// Calls `line(text, offset)` for each line after the request line, without its line end.
template <typename Line>
void ForEachHeaderLine(std::string_view header, Line line) {
  std::size_t start = header.find('\n');
  while (start != std::string_view::npos) {
    const std::size_t end = header.find('\n', start + 1);
    std::string_view text = header.substr(start + 1, (end == std::string_view::npos ? header.size() : end) - start - 1);
    if (!text.empty() && text.back() == '\r') text.remove_suffix(1);
    if (!line(text, start + 1)) return;
    start = end;
  }
}

// Names whose usual spelling is not one capital letter per word.
constexpr std::string_view kSpelledNames[] = {"SOAPAction", "WWW-Authenticate", "Content-MD5", "ETag", "TE", "DNT"};

std::string Canonical(std::string_view name) {
  for (std::string_view spelled : kSpelledNames) {
    if (EqualNoCase(name, spelled)) return std::string(spelled);
  }
  std::string canonical(name);
  bool wordStart = true;
  for (char& c : canonical) {
    c = wordStart && c >= 'a' && c <= 'z' ? static_cast<char>(c - 0x20) : wordStart ? c : LowerAscii(c);
    wordStart = c == '-';
  }
  return canonical;
}

// The header without the lines named `name`, and with "name: *value" in place of the first of them
// when a value is given.
std::string EditHeader(std::string_view header, std::string_view name, const std::string_view* value) {
  std::string out;
  std::string_view eol = "\r\n";
  bool placed = false, dropping = false;
  for (std::size_t start = 0; start < header.size();) {
    const std::size_t end = std::min(header.find('\n', start), header.size() - 1) + 1;
    const std::string_view line = header.substr(start, end - start);
    const std::size_t ending = line.back() != '\n' ? 0 : line.size() > 1 && line[line.size() - 2] == '\r' ? 2 : 1;
    const std::string_view text = line.substr(0, line.size() - ending);
    if (start == 0) {
      if (ending != 0) eol = line.substr(text.size());
    } else if (text.empty() || (text.front() != ' ' && text.front() != '\t')) {  // not a folded line
      const std::size_t colon = text.find(':');
      dropping = colon != std::string_view::npos && EqualNoCase(Trim(text.substr(0, colon)), name);
      if (dropping && value != nullptr && !placed) {
        out.append(name).append(": ").append(*value).append(line.substr(text.size()));
        placed = true;
      }
    }
    if (start == 0 || !dropping) out.append(line);
    start = end;
  }
  // The header had no line end after its last line, and still has none.
  if (!header.empty() && header.back() != '\n') {
    while (!out.empty() && (out.back() == '\n' || out.back() == '\r')) out.pop_back();
  }
  if (value != nullptr && !placed) {
    const bool ended = !out.empty() && out.back() == '\n';
    out.append(ended ? "" : eol).append(name).append(": ").append(*value).append(ended ? eol : "");
  }
  return out;
}

const char* DefaultPort(std::string_view scheme) { return scheme == "https" ? "443" : "80"; }

}  // namespace

std::string LowerAscii(std::string_view text) {
  std::string lower(text);
  for (char& c : lower) c = LowerAscii(c);
  return lower;
}

bool EqualNoCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() &&
         std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) { return LowerAscii(x) == LowerAscii(y); });
}

bool ContainsNoCase(std::string_view text, std::string_view part) {
  return std::search(text.begin(), text.end(), part.begin(), part.end(),
                     [](char x, char y) { return LowerAscii(x) == LowerAscii(y); }) != text.end();
}

std::string HeaderValue(std::string_view header, std::string_view name) {
  std::string value;
  ForEachHeaderLine(header, [&](std::string_view line, std::size_t) {
    const std::size_t colon = line.find(':');
    if (colon == std::string_view::npos || !EqualNoCase(Trim(line.substr(0, colon)), name)) return true;
    value = std::string(Trim(line.substr(colon + 1)));
    return false;
  });
  return value;
}

std::string ReplaceHeader(std::string_view header, std::string_view name, std::string_view value) {
  return EditHeader(header, name, &value);
}

std::string RemoveHeader(std::string_view header, std::string_view name) { return EditHeader(header, name, nullptr); }

std::string CanonicalHeaderNames(std::string_view header) {
  std::string out(header);
  ForEachHeaderLine(header, [&](std::string_view line, std::size_t offset) {
    const std::size_t colon = line.find(':');
    // Folded lines go on the value above them.
    if (colon == std::string_view::npos || line.front() == ' ' || line.front() == '\t') return true;
    out.replace(offset, colon, Canonical(line.substr(0, colon)));
    return true;
  });
  return out;
}

RequestLine ParseRequestLine(std::string_view header) {
  std::string_view line = header.substr(0, header.find('\n'));
  if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
  RequestLine parts;
  std::string* fields[] = {&parts.method, &parts.target, &parts.version};
  std::size_t at = 0;
  for (std::string* field : fields) {
    at = line.find_first_not_of(' ', at);
    if (at == std::string_view::npos) break;
    const std::size_t end = line.find(' ', at);
    *field = std::string(line.substr(at, end == std::string_view::npos ? std::string_view::npos : end - at));
    at = end;
  }
  return parts;
}

bool ParseUrl(std::string_view text, Url& url) {
  const std::size_t schemeEnd = text.find("://");
  if (schemeEnd == std::string_view::npos) return false;
  url.scheme = LowerAscii(text.substr(0, schemeEnd));
  if (url.scheme != "http" && url.scheme != "https") return false;
  std::string_view rest = text.substr(schemeEnd + 3);
  const std::size_t pathStart = rest.find_first_of("/?#");
  std::string_view authority = rest.substr(0, pathStart);
  authority = authority.substr(authority.rfind('@') == std::string_view::npos ? 0 : authority.rfind('@') + 1);
  // A port follows the last ':' unless that stands inside an IPv6 literal's brackets.
  const std::size_t colon = authority.rfind(':');
  const bool hasPort = colon != std::string_view::npos && authority.find(']', colon) == std::string_view::npos;
  url.host = LowerAscii(authority.substr(0, hasPort ? colon : std::string_view::npos));
  url.port = hasPort && colon + 1 < authority.size() ? std::string(authority.substr(colon + 1)) : DefaultPort(url.scheme);
  if (url.host.empty() || url.port.find_first_not_of("0123456789") != std::string::npos) return false;
  std::string_view path = pathStart == std::string_view::npos ? std::string_view() : rest.substr(pathStart);
  path = path.substr(0, path.find_first_of("?#"));
  url.path = path.empty() ? "/" : std::string(path);
  return true;
}

std::string EndpointOf(const Url& url) {
  const bool defaultPort = url.port == DefaultPort(url.scheme);
  return url.scheme + "://" + url.host + (defaultPort ? "" : ":" + url.port) + url.path;
}

bool RequestTarget(std::string_view header, Url& target) {
  if (ParseUrl(ParseRequestLine(header).target, target)) return true;
  const std::string host = HeaderValue(header, "Host");
  if (host.empty() || !ParseUrl("http://" + host, target)) return false;
  target.scheme.clear();
  if (host.rfind(':') == std::string::npos || host.back() == ']') target.port.clear();
  return true;
}

std::string RequestUrl(std::string_view header) {
  const RequestLine line = ParseRequestLine(header);
  if (line.target.find("://") != std::string::npos) return line.target;
  const std::string host = HeaderValue(header, "Host");
  if (host.empty() || line.target.empty() || line.target.front() != '/') return {};
  return "http://" + host + line.target;
}

}  // namespace capture
