// Feeds arbitrary bytes to the msbin1 decoder, both ways the product uses it: into the tree the
// SOAP reader walks, every string of which is read back, and into a pugixml DOM, which is
// serialised. The two must agree on success and on the reason for a failure, and so must a decode
// without the fast paths, record by record through the general handlers. Every document that
// decodes is encoded again and must decode to itself.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include <pugixml.hpp>

#include "nbfx_decoder.h"
#include "nbfx_encoder.h"
#include "nbfx_internal.h"

namespace {

struct TextWriter : pugi::xml_writer {
  std::string text;
  void write(const void* data, size_t size) override { text.append(static_cast<const char*>(data), size); }
};

std::string Serialise(const pugi::xml_document& doc) {
  TextWriter out;
  doc.save(out, "", pugi::format_raw | pugi::format_no_declaration | pugi::format_no_empty_element_tags);
  return out.text;
}

// Reads every byte the tree's strings hold; iterative, as a tree may be 1024 deep.
size_t Walk(const soapkit::nbfx::Tree& tree) {
  size_t sum = 0;
  auto touch = [&sum](std::string_view s) {
    for (char c : s) sum += static_cast<unsigned char>(c);
  };
  std::vector<const soapkit::nbfx::Node*> pending = {tree.first()};
  while (!pending.empty()) {
    const soapkit::nbfx::Node* node = pending.back();
    pending.pop_back();
    if (node == nullptr) continue;
    pending.push_back(node->next);
    touch(node->prefix);
    touch(node->text);
    for (const soapkit::nbfx::Attribute* a = node->first_attribute; a != nullptr; a = a->next) {
      touch(a->prefix);
      touch(a->local);
      touch(a->value);
    }
    pending.push_back(node->first_child);
  }
  return sum;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  soapkit::nbfx::LooksBinary(data, size);

  soapkit::nbfx::Tree tree;
  const soapkit::nbfx::DecodeResult t = soapkit::nbfx::Decode(data, size, tree);
  if (t.ok != t.error.empty() || (!t.ok && tree.first() != nullptr)) std::abort();
  volatile size_t sink = Walk(tree);
  (void)sink;

  pugi::xml_document doc, general;
  const soapkit::nbfx::DecodeResult r = soapkit::nbfx::Decode(data, size, doc);
  if (r.ok != t.ok || r.error != t.error) std::abort();
  const soapkit::nbfx::DecodeResult g = soapkit::nbfx::detail::DecodeWith(
      data, size, general, soapkit::nbfx::detail::StaticLookup, nullptr, /*fastPaths=*/false);
  if (g.ok != r.ok || g.error != r.error) std::abort();
  if (!r.ok) {
    if (doc.first_child() || general.first_child() || r.error.find('\n') != std::string::npos) std::abort();
    return 0;
  }
  const std::string xml = Serialise(doc);
  if (xml != Serialise(general)) std::abort();

  // Whatever decodes encodes, and reads back as the same document.
  std::string encoded;
  if (!soapkit::nbfx::Encode(doc, encoded).ok) std::abort();
  pugi::xml_document again;
  if (!soapkit::nbfx::Decode(reinterpret_cast<const unsigned char*>(encoded.data()), encoded.size(), again).ok ||
      Serialise(again) != xml) {
    std::abort();
  }
  return 0;
}
