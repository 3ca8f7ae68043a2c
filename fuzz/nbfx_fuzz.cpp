// Feeds arbitrary bytes to the msbin1 decoder; a decoded DOM is also serialised so that
// every string the decoder stored gets read back.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include <pugixml.hpp>

#include "nbfx_decoder.h"

namespace {

struct NullWriter : pugi::xml_writer {
  size_t bytes = 0;
  void write(const void*, size_t size) override { bytes += size; }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  soapkit::nbfx::LooksBinary(data, size);
  pugi::xml_document doc;
  const soapkit::nbfx::DecodeResult r = soapkit::nbfx::Decode(data, size, doc);
  if (r.ok != r.error.empty()) std::abort();
  if (!r.ok) {
    if (doc.first_child() || r.error.find('\n') != std::string::npos) std::abort();
    return 0;
  }
  NullWriter out;
  doc.save(out, "", pugi::format_raw | pugi::format_no_declaration | pugi::format_no_empty_element_tags);
  return 0;
}
