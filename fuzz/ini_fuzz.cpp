// Feeds arbitrary bytes to the ini model that the options store and the persist lists share. A
// parsed document written back and parsed again means the same: same sections, same entries, and
// every entry that a reader should see is found.
#include "config/ini_document.h"
#include "ini_meaning.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

namespace {

bool None(const ini::Section&) { return false; }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const ini::Document parsed = ini::Document::Parse(std::string_view(reinterpret_cast<const char*>(data), size));
  const ini::Document again = ini::Document::Parse(parsed.Serialize());
  if (Meaning(parsed, None) != Meaning(again, None)) std::abort();
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
