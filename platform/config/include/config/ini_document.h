// An ini file as lines, with the syntax people know from Windows profile files.
//
// - Section and key names compare without case (ASCII and Windows-1252 letters, lstrcmpiA).
// - Blanks and tabs around names and values are trimmed; the key ends at the first '='.
// - Lines whose first non-blank character is ';' or '#' are comments; a ';' later in a line is
//   part of the value (no inline comments). One pair of double quotes around a value is removed.
// - CRLF, LF and a lone CR end lines; a UTF-8 byte-order mark at the start is skipped.
// - Lines of any length are read whole; a line that is neither a section, an entry nor a
//   comment is kept as it is and means nothing.
// - Duplicates: the first section of a name is the one that is read, and within it the first
//   entry of a key, as Windows' profile functions do.
//
// Every line is kept with its raw text, so a document that is changed in a few sections writes
// the rest of the file back as it was, comments included.
//
// Why not a parser library: Debian's inih is built with 200-byte lines (a longer line is cut and
// its tail read as further lines, which invents keys), inline ';' comments and indented
// continuation lines, none of which a profile file has; and it cannot write a file back.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace ini {

struct Line {
  enum class Kind { Blank, Comment, Entry, Other };
  Kind kind = Kind::Other;
  std::string raw;    // the line as it stood, without its line end
  std::string key;    // for entries: trimmed name
  std::string value;  // for entries: trimmed value, quotes removed
};

struct Section {
  std::string name;  // trimmed; empty for the lines before the first section header
  std::string header;  // the raw header line; empty for the lines before the first header
  std::vector<Line> lines;
};

// Case-insensitive comparison of names, as the profile functions make it.
bool SameName(std::string_view a, std::string_view b);

class Document {
 public:
  // Never fails: whatever cannot be understood is kept as text without meaning.
  static Document Parse(std::string_view text);
  // The document as text; lines end as the first line of the parsed text did (CRLF by default),
  // and a byte-order mark the parsed text began with begins it again.
  std::string Serialize() const;
  // The line end the document writes.
  const std::string& lineEnd() const { return lineEnd_; }

  // The value of the first `key` in the first section named `section`; NULL when absent.
  const std::string* Find(std::string_view section, std::string_view key) const;

  // sections()[0] holds the lines before the first header (often none).
  const std::vector<Section>& sections() const { return sections_; }
  std::vector<Section>& sections() { return sections_; }

  // A new section at the end, holding `entries` in order as "key=value" lines.
  Section& AppendSection(std::string name);
  static Line MakeEntry(std::string key, std::string value);

 private:
  std::vector<Section> sections_{Section{}};
  std::string lineEnd_ = "\r\n";
  bool byteOrderMark_ = false;
};

}  // namespace ini
