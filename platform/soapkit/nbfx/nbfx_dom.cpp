// The decoded tree as a pugixml DOM, for tests, the fuzz target and the command line's decode.
#include "nbfx_decoder.h"
#include "nbfx_internal.h"
#include "nbfx_tree.h"

#include <new>
#include <string>
#include <string_view>
#include <vector>

namespace soapkit::nbfx {
namespace {

void Check(bool ok) {
  if (!ok) throw std::bad_alloc();
}

std::string QualifiedName(std::string_view prefix, std::string_view local) {
  std::string name(prefix);
  if (!prefix.empty()) name += ':';
  return name.append(local);
}

// Iterative: a tree may be 1024 deep.
void CopyToDom(const Tree& tree, pugi::xml_document& dom) {
  struct Level {
    const Node* next;
    pugi::xml_node parent;
  };
  std::vector<Level> levels{{tree.first(), dom}};
  while (!levels.empty()) {
    const Node* node = levels.back().next;
    if (node == nullptr) {
      levels.pop_back();
      continue;
    }
    pugi::xml_node parent = levels.back().parent;
    levels.back().next = node->next;
    if (node->kind != NodeKind::kElement) {
      pugi::xml_node n = parent.append_child(node->kind == NodeKind::kText ? pugi::node_pcdata : pugi::node_comment);
      Check(n && n.set_value(node->text.data(), node->text.size()));
      continue;
    }
    pugi::xml_node element = parent.append_child(pugi::node_element);
    Check(element && element.set_name(QualifiedName(node->prefix, node->text).c_str()));
    for (const Attribute* a = node->first_attribute; a != nullptr; a = a->next) {
      pugi::xml_attribute attribute = element.append_attribute(QualifiedName(a->prefix, a->local).c_str());
      Check(attribute && attribute.set_value(a->value.data(), a->value.size()));
    }
    levels.push_back({node->first_child, element});
  }
}

}  // namespace

namespace detail {

DecodeResult DecodeWith(const unsigned char* data, size_t size, pugi::xml_document& out,
                        DictionaryLookup lookup, void* context, bool fastPaths) {
  out.reset();
  Tree tree;
  DecodeResult result = DecodeWith(data, size, tree, lookup, context, fastPaths);
  if (!result.ok) return result;
  try {
    CopyToDom(tree, out);
  } catch (...) {
    out.reset();
    throw;
  }
  return result;
}

}  // namespace detail

DecodeResult Decode(const unsigned char* data, size_t size, pugi::xml_document& out) {
  return detail::DecodeWith(data, size, out, detail::StaticLookup, nullptr);
}

}  // namespace soapkit::nbfx
