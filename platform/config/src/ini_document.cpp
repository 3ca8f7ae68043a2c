#include "config/ini_document.h"

#include "win32/kernel.h"

namespace ini {
namespace {

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

std::string_view Trim(std::string_view s) {
  while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
  while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
  return s;
}

std::string Unquote(std::string_view value) {
  if (value.size() >= 2 && value.front() == '"' && value.back() == '"') value = value.substr(1, value.size() - 2);
  return std::string(value);
}

Line Classify(std::string_view raw) {
  Line line;
  line.raw = std::string(raw);
  const std::string_view text = Trim(raw);
  if (text.empty()) {
    line.kind = Line::Kind::Blank;
  } else if (text.front() == ';' || text.front() == '#') {
    line.kind = Line::Kind::Comment;
  } else if (const std::size_t eq = text.find('='); eq != std::string_view::npos && eq > 0) {
    line.kind = Line::Kind::Entry;
    line.key = std::string(Trim(text.substr(0, eq)));
    line.value = Unquote(Trim(text.substr(eq + 1)));
  }
  return line;
}

// The section name of a header line "[name]", or false when the line is no header.
bool ParseHeader(std::string_view raw, std::string& name) {
  const std::string_view text = Trim(raw);
  if (text.size() < 2 || text.front() != '[') return false;
  const std::size_t close = text.find(']');
  if (close == std::string_view::npos) return false;
  name = std::string(Trim(text.substr(1, close - 1)));
  return true;
}

}  // namespace

bool SameName(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  // lstrcmpiA stops at a NUL; names with NULs in them compare byte for byte after it.
  if (a.find('\0') != std::string_view::npos || b.find('\0') != std::string_view::npos) return a == b;
  return lstrcmpiA(std::string(a).c_str(), std::string(b).c_str()) == 0;
}

Document Document::Parse(std::string_view text) {
  Document doc;
  // Remembered, so that a text whose first line begins with further mark bytes reads the same
  // once written back.
  doc.byteOrderMark_ = text.substr(0, kByteOrderMark.size()) == kByteOrderMark;
  if (doc.byteOrderMark_) text.remove_prefix(kByteOrderMark.size());
  bool firstEnd = true;
  std::size_t pos = 0;
  while (pos < text.size()) {
    std::size_t end = pos;
    while (end < text.size() && text[end] != '\n' && text[end] != '\r') ++end;
    const std::string_view raw = text.substr(pos, end - pos);
    std::size_t next = end;
    if (next < text.size()) {
      const bool crlf = text[next] == '\r' && next + 1 < text.size() && text[next + 1] == '\n';
      if (firstEnd) {
        doc.lineEnd_ = crlf ? "\r\n" : std::string(1, text[next]);
        firstEnd = false;
      }
      next += crlf ? 2 : 1;
    }
    std::string name;
    if (ParseHeader(raw, name)) {
      doc.sections_.push_back(Section{std::move(name), std::string(raw), {}});
    } else {
      doc.sections_.back().lines.push_back(Classify(raw));
    }
    pos = next;
  }
  return doc;
}

std::string Document::Serialize() const {
  std::string out(byteOrderMark_ ? kByteOrderMark : std::string_view());
  for (const Section& section : sections_) {
    if (!section.header.empty()) out.append(section.header).append(lineEnd_);
    for (const Line& line : section.lines) out.append(line.raw).append(lineEnd_);
  }
  return out;
}

const std::string* Document::Find(std::string_view section, std::string_view key) const {
  for (std::size_t i = 1; i < sections_.size(); ++i) {
    if (!SameName(sections_[i].name, section)) continue;
    for (const Line& line : sections_[i].lines) {
      if (line.kind == Line::Kind::Entry && SameName(line.key, key)) return &line.value;
    }
    return nullptr;  // only the first section of a name is read
  }
  return nullptr;
}

Section& Document::AppendSection(std::string name) {
  Section section;
  section.header = "[" + name + "]";
  section.name = std::move(name);
  sections_.push_back(std::move(section));
  return sections_.back();
}

Line Document::MakeEntry(std::string key, std::string value) {
  Line line;
  line.kind = Line::Kind::Entry;
  line.raw = key + "=" + value;
  line.key = std::move(key);
  line.value = std::move(value);
  return line;
}

}  // namespace ini
