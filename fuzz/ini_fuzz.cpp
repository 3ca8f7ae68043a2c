// Feeds arbitrary bytes to the ini model that the options store and the persist lists share. A
// parsed document written back and parsed again means the same: same sections, same entries, and
// every entry that a reader should see is found.
#include "config/ini_document.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

namespace {

// The sections and their entries; lines that mean nothing are left out of the comparison.
std::vector<std::string> Meaning(const ini::Document& document) {
  std::vector<std::string> meaning;
  for (const ini::Section& section : document.sections()) {
    meaning.push_back("[" + section.name + "]");
    for (const ini::Line& line : section.lines) {
      if (line.kind == ini::Line::Kind::Entry) meaning.push_back(line.key + "=" + line.value);
    }
  }
  return meaning;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const ini::Document parsed = ini::Document::Parse(std::string_view(reinterpret_cast<const char*>(data), size));
  const ini::Document again = ini::Document::Parse(parsed.Serialize());
  if (Meaning(parsed) != Meaning(again)) std::abort();
  // Every entry of the first section of a name can be found (lines before the first header belong
  // to no section, and a repeated section is not read).
  for (std::size_t s = 0; s < parsed.sections().size(); ++s) {
    const ini::Section& section = parsed.sections()[s];
    bool repeated = section.header.empty();
    for (std::size_t earlier = 0; earlier < s && !repeated; ++earlier) {
      repeated = !parsed.sections()[earlier].header.empty() && ini::SameName(parsed.sections()[earlier].name, section.name);
    }
    if (repeated) continue;
    for (const ini::Line& line : section.lines) {
      if (line.kind == ini::Line::Kind::Entry && parsed.Find(section.name, line.key) == nullptr) std::abort();
    }
  }
  return 0;
}
