// Writes a text SOAP body in the binary message encoding (application/soap+msbin1), the way a
// rich client would: names, namespaces and attribute values that the static dictionary holds go
// as dictionary references, one-letter prefixes use the compact record forms, everything else is
// literal. Tests and benchmarks use it to make binary twins of text bodies; it covers elements,
// attributes, namespace declarations and text, which is all a SOAP envelope needs.
#pragma once

#include "nbfx_internal.h"

#include <pugixml.hpp>

#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>
#include <unordered_map>

namespace testing_support {

class Msbin1Writer {
 public:
  // The body of `xml` (UTF-8 text XML) in the binary encoding; throws std::runtime_error when it
  // does not parse. White space that only lays out elements is dropped, as binary writers do.
  static std::string FromXml(std::string_view xml) {
    pugi::xml_document document;
    if (!document.load_buffer(xml.data(), xml.size(), pugi::parse_default)) {
      throw std::runtime_error("not well-formed XML");
    }
    Msbin1Writer writer;
    for (pugi::xml_node node : document.children()) {
      if (node.type() == pugi::node_element) writer.Element(node);
    }
    return std::move(writer.out_);
  }

 private:
  Msbin1Writer() {
    namespace detail = soapkit::nbfx::detail;
    for (uint32_t k = 0; k < detail::kStaticDictionarySize; ++k) {
      ids_.emplace(detail::kStaticDictionary[k], 2 * k);
    }
  }

  // Elements nest only as deep as a test makes them, so recursion is fine here.
  void Element(pugi::xml_node element) {
    const auto [prefix, local] = Split(element.name());
    const auto id = Lookup(local);
    if (IsLetter(prefix)) {
      Byte((id ? 0x44 : 0x5E) + (prefix[0] - 'a'));
    } else if (prefix.empty()) {
      Byte(id ? 0x42 : 0x40);
    } else {
      Byte(id ? 0x43 : 0x41);
      String(prefix);
    }
    id ? Int31(*id) : String(local);
    for (pugi::xml_attribute attribute : element.attributes()) Attribute(attribute);

    bool ended = false;
    for (pugi::xml_node child : element.children()) {
      if (child.type() == pugi::node_element) {
        Element(child);
      } else if (child.type() == pugi::node_pcdata || child.type() == pugi::node_cdata) {
        // A lone text child closes its element in the same record, as writers do.
        const bool last = !child.next_sibling() && child == element.first_child();
        Text(child.value(), last);
        ended = last;
      }
    }
    if (!ended) Byte(0x01);
  }

  void Attribute(pugi::xml_attribute attribute) {
    const std::string_view name = attribute.name();
    const std::string_view value = attribute.value();
    if (name == "xmlns" || name.substr(0, 6) == "xmlns:") {
      const std::string_view prefix = name.size() > 5 ? name.substr(6) : std::string_view();
      const auto id = Lookup(value);
      if (prefix.empty()) {
        Byte(id ? 0x0A : 0x08);
      } else {
        Byte(id ? 0x0B : 0x09);
        String(prefix);
      }
      id ? Int31(*id) : String(value);
      return;
    }
    const auto [prefix, local] = Split(name);
    const auto id = Lookup(local);
    if (IsLetter(prefix)) {
      Byte((id ? 0x0C : 0x26) + (prefix[0] - 'a'));
    } else if (prefix.empty()) {
      Byte(id ? 0x06 : 0x04);
    } else {
      Byte(id ? 0x07 : 0x05);
      String(prefix);
    }
    id ? Int31(*id) : String(local);
    Text(value, false);
  }

  // One text record; `withEnd` picks the form that also closes the element.
  void Text(std::string_view text, bool withEnd) {
    const int end = withEnd ? 1 : 0;
    if (text == "0" || text == "1") {
      Byte((text == "0" ? 0x80 : 0x82) + end);
    } else if (const auto id = Lookup(text); id && !text.empty()) {
      Byte(0xAA + end);
      Int31(*id);
    } else if (text.empty()) {
      Byte(0xA8 + end);
    } else if (text.size() <= 0xFF) {
      Byte(0x98 + end);
      Byte(static_cast<uint8_t>(text.size()));
      out_.append(text);
    } else if (text.size() <= 0xFFFF) {
      Byte(0x9A + end);
      Byte(text.size() & 0xFF);
      Byte(text.size() >> 8);
      out_.append(text);
    } else {
      Byte(0x9C + end);
      for (int shift = 0; shift < 32; shift += 8) Byte((text.size() >> shift) & 0xFF);
      out_.append(text);
    }
  }

  static std::pair<std::string_view, std::string_view> Split(std::string_view name) {
    const std::size_t colon = name.find(':');
    if (colon == std::string_view::npos) return {{}, name};
    return {name.substr(0, colon), name.substr(colon + 1)};
  }
  static bool IsLetter(std::string_view prefix) { return prefix.size() == 1 && prefix[0] >= 'a' && prefix[0] <= 'z'; }

  const uint32_t* Lookup(std::string_view text) const {
    const auto it = ids_.find(text);
    return it == ids_.end() ? nullptr : &it->second;
  }

  void Byte(int value) { out_.push_back(static_cast<char>(value)); }
  void Int31(uint32_t value) {
    while (value >= 0x80) {
      Byte(static_cast<int>((value & 0x7F) | 0x80));
      value >>= 7;
    }
    Byte(static_cast<int>(value));
  }
  void String(std::string_view text) {
    Int31(static_cast<uint32_t>(text.size()));
    out_.append(text);
  }

  std::unordered_map<std::string_view, uint32_t> ids_;
  std::string out_;
};

}  // namespace testing_support
