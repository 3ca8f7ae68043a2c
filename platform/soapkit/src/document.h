// What a CSoapReader holds and the xpi_ functions read, and which pugixml nodes are nodes of our tree.
#pragma once

#include <pugixml.hpp>

#include <string>
#include <string_view>

#include "nbfx/nbfx_tree.h"

namespace soapkit {

// A text body's tree is pugixml's DOM; a binary body's is the decoder's own tree, which costs a
// fraction of a parse to build. The xpi_ functions walk either the same way.
struct Document {
  pugi::xml_document dom;
  std::string converted;  // the UTF-8 form of a windows-1252 body; the DOM's strings point into it
  nbfx::Tree tree;
  bool loaded = false;
  bool binary = false;  // the tree, not the DOM, holds the body
};

// White space as XML counts it (and as pugixml drops it between elements).
inline bool IsBlank(std::string_view text) {
  for (char c : text) {
    if (c != ' ' && c != '\t' && c != '\r' && c != '\n') return false;
  }
  return true;
}

inline bool IsText(pugi::xml_node node) {
  return node.type() == pugi::node_pcdata || node.type() == pugi::node_cdata;
}

// Elements and text with a character other than white space.
inline bool IsTreeNode(pugi::xml_node node) {
  return node.type() == pugi::node_element || (IsText(node) && !IsBlank(node.value()));
}

}  // namespace soapkit
