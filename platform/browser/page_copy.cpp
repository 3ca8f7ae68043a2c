#include "browser/page_copy.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cerrno>
#include <string_view>

namespace browser {
namespace {

constexpr off_t kMaxPageBytes = off_t{64} << 20;

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

bool EqualsNoCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
         });
}

// Whether Chromium shows a file of this name as HTML (it goes by the extension), where a base
// element may stand before the document's own content; XHTML is XML, where it may not.
bool IsHtmlName(const std::string& path) {
  const std::size_t dot = path.rfind('.');
  if (dot == std::string::npos || path.find('/', dot) != std::string::npos) return false;
  const std::string_view extension = std::string_view(path).substr(dot + 1);
  return EqualsNoCase(extension, "html") || EqualsNoCase(extension, "htm") || EqualsNoCase(extension, "shtml");
}

// Whether the page names a base address of its own ("<base" then a blank, '/' or '>').
bool HasBase(std::string_view page) {
  for (std::size_t at = page.find('<'); at != std::string_view::npos; at = page.find('<', at + 1)) {
    if (at + 5 < page.size() && EqualsNoCase(page.substr(at + 1, 4), "base")) {
      const char next = page[at + 5];
      if (next == '>' || next == '/' || std::isspace(static_cast<unsigned char>(next))) return true;
    }
  }
  return false;
}

// Where the base element goes: after a byte-order mark and a doctype, which must come first.
std::size_t BasePlace(std::string_view page) {
  std::size_t at = page.substr(0, 3) == "\xEF\xBB\xBF" ? 3 : 0;
  while (at < page.size() && std::isspace(static_cast<unsigned char>(page[at]))) ++at;
  if (page.size() - at >= 9 && EqualsNoCase(page.substr(at, 9), "<!doctype")) {
    const std::size_t end = page.find('>', at);
    if (end != std::string_view::npos) return end + 1;
  }
  return at;
}

std::string AttributeText(const std::string& text) {
  std::string out;
  for (const char c : text) {
    switch (c) {
      case '&': out += "&amp;"; break;
      case '"': out += "&quot;"; break;
      case '<': out += "&lt;"; break;
      default: out += c;
    }
  }
  return out;
}

bool ReadPage(const std::string& path, std::string& page) {
  const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  struct stat st {};
  bool ok = fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_size <= kMaxPageBytes;
  if (ok) {
    page.resize(static_cast<std::size_t>(st.st_size));
    std::size_t done = 0;
    while (ok && done < page.size()) {
      const ssize_t n = read(fd, page.data() + done, page.size() - done);
      if (n < 0 && errno == EINTR) continue;
      ok = n > 0;
      if (ok) done += static_cast<std::size_t>(n);
    }
  }
  close(fd);
  return ok;
}

bool WritePage(const std::string& path, const std::string& page) {
  // Made new, never through a link: nothing the browser's account could have put there is written to.
  const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
  if (fd < 0) return false;
  bool ok = fchmod(fd, 0644) == 0;
  for (std::size_t done = 0; ok && done < page.size();) {
    const ssize_t n = write(fd, page.data() + done, page.size() - done);
    if (n < 0 && errno == EINTR) continue;
    ok = n > 0;
    if (ok) done += static_cast<std::size_t>(n);
  }
  if (close(fd) != 0) ok = false;
  if (!ok) unlink(path.c_str());
  return ok;
}

}  // namespace

std::string LocalPathOf(const std::string& url) {
  constexpr std::string_view kScheme = "file://";
  if (url.size() <= kScheme.size() || !EqualsNoCase(std::string_view(url).substr(0, kScheme.size()), kScheme) ||
      url[kScheme.size()] != '/') {
    return {};
  }
  std::string path;
  for (std::size_t i = kScheme.size(); i < url.size(); ++i) {
    const char c = url[i];
    if (c == '?' || c == '#') break;
    if (c != '%') {
      path += c;
      continue;
    }
    const int high = i + 2 < url.size() ? HexValue(url[i + 1]) : -1;
    const int low = high >= 0 ? HexValue(url[i + 2]) : -1;
    if (low < 0 || (high == 0 && low == 0)) return {};
    path += static_cast<char>(high << 4 | low);
    i += 2;
  }
  return path;
}

std::string CopyLocalPage(const std::string& url, const std::string& folder) {
  const std::string path = LocalPathOf(url);
  std::string page;
  if (path.empty() || !ReadPage(path, page)) return {};
  if (mkdir(folder.c_str(), 0711) != 0 && errno != EEXIST) return {};
  if (IsHtmlName(path) && !HasBase(page)) {
    page.insert(BasePlace(page), "<base href=\"" + AttributeText(url) + "\">");
  }
  static std::atomic<unsigned> serial{0};
  const std::size_t slash = path.rfind('/');
  const std::string name = path.substr(slash + 1);
  const std::size_t dot = name.rfind('.');
  const std::string copy =
      folder + "/page-" + std::to_string(++serial) + (dot == std::string::npos ? "" : name.substr(dot));
  if (!WritePage(copy, page)) return {};
  std::string copyUrl = "file://";
  for (const unsigned char c : copy) {
    static const char kHex[] = "0123456789ABCDEF";
    if (std::isalnum(c) || std::string_view("/-._~").find(static_cast<char>(c)) != std::string_view::npos) {
      copyUrl += static_cast<char>(c);
    } else {
      copyUrl += {'%', kHex[c >> 4], kHex[c & 0xF]};
    }
  }
  return copyUrl;
}

}  // namespace browser
