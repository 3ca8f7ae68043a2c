// A document's XML in the one form that the binary encoding keeps: CDATA sections as text,
// adjacent texts as one, no text between the top-level nodes; raw, without declaration.
#pragma once

#include <pugixml.hpp>

#include <sstream>
#include <string>

namespace testing_support {

inline std::string CanonicalXml(const pugi::xml_document& document) {
  pugi::xml_document copy;
  copy.reset(document);
  const auto isText = [](pugi::xml_node node) {
    return node.type() == pugi::node_pcdata || node.type() == pugi::node_cdata;
  };
  // Iterative, as documents may nest 1024 deep.
  for (pugi::xml_node node = copy.first_child(); node;) {
    if (isText(node) && node.parent() == copy) {
      const pugi::xml_node next = node.next_sibling();
      copy.remove_child(node);
      node = next;
      continue;
    }
    if (isText(node)) {
      std::string value = node.value();
      while (isText(node.next_sibling())) {
        value += node.next_sibling().value();
        node.parent().remove_child(node.next_sibling());
      }
      pugi::xml_node merged = node.parent().insert_child_before(pugi::node_pcdata, node);
      merged.set_value(value.c_str());
      node.parent().remove_child(node);
      node = merged;
    }
    pugi::xml_node next = node.first_child();
    for (pugi::xml_node up = node; !next && up != copy; up = up.parent()) next = up.next_sibling();
    node = next;
  }
  std::ostringstream out;
  copy.save(out, "", pugi::format_raw | pugi::format_no_declaration | pugi::format_no_empty_element_tags);
  return out.str();
}

}  // namespace testing_support
