// What a CSoapReader holds and the xpi_ functions read, and which pugixml nodes are nodes of our tree.
#pragma once

#include <pugixml.hpp>

#include <string>

namespace soapkit {

struct Document {
  pugi::xml_document dom;
  std::string converted;  // the UTF-8 form of a windows-1252 body; the tree's strings point into it
  bool loaded = false;
};

// White space as XML counts it (and as pugixml drops it between elements).
inline bool IsBlank(const char* text) {
  for (; *text != 0; ++text) {
    if (*text != ' ' && *text != '\t' && *text != '\r' && *text != '\n') return false;
  }
  return true;
}

inline bool IsText(pugi::xml_node node) {
  return node.type() == pugi::node_pcdata || node.type() == pugi::node_cdata;
}

// Elements and text with a character other than white space. The binary decoder keeps comments and
// layout white space in its DOM, so this is decided here rather than left to the parse options.
inline bool IsTreeNode(pugi::xml_node node) {
  return node.type() == pugi::node_element || (IsText(node) && !IsBlank(node.value()));
}

}  // namespace soapkit
