// The xpi_ functions over the tree of a CSoapReader: pugixml's DOM for text bodies, the binary
// decoder's tree for binary ones. One implementation walks both, through a small view of each.
//
// Node handles are the trees' own node records, attribute handles their attribute records with
// the low bit set: all are pointer-aligned, so a handle tells its kind without any look-up.
#include "soapkit/xml_tree_api.h"

#include "document.h"

#include "win32/strings.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <new>
#include <string>
#include <string_view>

namespace {

using soapkit::Document;
using soapkit::IsBlank;

constexpr std::uintptr_t kAttributeTag = 1;

bool IsAttributeHandle(void* handle) { return (reinterpret_cast<std::uintptr_t>(handle) & kAttributeTag) != 0; }

void* TagAttribute(const void* record) {
  return record ? reinterpret_cast<void*>(reinterpret_cast<std::uintptr_t>(record) | kAttributeTag) : nullptr;
}

// The record an attribute handle stands for; null for node handles.
const void* AttributeRecord(void* handle) {
  if (!IsAttributeHandle(handle)) return nullptr;
  return reinterpret_cast<const void*>(reinterpret_cast<std::uintptr_t>(handle) & ~kAttributeTag);
}

// The part after the prefix (everything up to the first ':').
std::string_view LocalName(const char* qualified) {
  const char* colon = std::strchr(qualified, ':');
  return colon ? colon + 1 : qualified;
}

std::string_view Prefix(const char* qualified) {
  const char* colon = std::strchr(qualified, ':');
  return colon ? std::string_view(qualified, static_cast<std::size_t>(colon - qualified)) : std::string_view();
}

// pugixml's DOM. Comments, PIs and white space between elements may be nodes of it.
struct DomView {
  using Node = pugi::xml_node;
  using Attribute = pugi::xml_attribute;

  static Node Root(const Document& document) { return document.dom.document_element(); }
  static Node NodeOf(void* handle) {
    return IsAttributeHandle(handle) ? Node() : Node(static_cast<pugi::xml_node_struct*>(handle));
  }
  static void* HandleOf(Node node) { return node.internal_object(); }
  static Attribute AttributeOf(void* handle) {
    return Attribute(static_cast<pugi::xml_attribute_struct*>(const_cast<void*>(AttributeRecord(handle))));
  }
  static void* HandleOf(Attribute attribute) { return TagAttribute(attribute.internal_object()); }

  static bool IsElement(Node node) { return node.type() == pugi::node_element; }
  static bool IsText(Node node) { return node.type() == pugi::node_pcdata || node.type() == pugi::node_cdata; }
  static std::string_view Name(Node element) { return LocalName(element.name()); }
  static std::string_view PrefixOf(Node element) { return Prefix(element.name()); }
  static std::string_view Value(Node text) { return text.value(); }
  static Node FirstChild(Node element) { return element.first_child(); }
  static Node Next(Node node) { return node.next_sibling(); }
  // The document element's siblings are not part of the tree.
  static bool HasSiblings(Node node) { return node.parent().type() == pugi::node_element; }

  static Attribute FirstAttribute(Node element) { return element.first_attribute(); }
  static Attribute Next(Attribute attribute) { return attribute.next_attribute(); }
  static std::string_view Name(Attribute attribute) { return LocalName(attribute.name()); }
  static std::string_view PrefixOf(Attribute attribute) { return Prefix(attribute.name()); }
  static std::string_view Value(Attribute attribute) { return attribute.value(); }
};

// The binary decoder's tree. Comments are nodes of it; the document element has comments at
// most beside it, which are no nodes of ours.
struct BinaryView {
  using Node = const soapkit::nbfx::Node*;
  using Attribute = const soapkit::nbfx::Attribute*;

  static Node Root(const Document& document) {
    Node node = document.tree.first();
    while (node != nullptr && !IsElement(node)) node = node->next;
    return node;
  }
  static Node NodeOf(void* handle) { return IsAttributeHandle(handle) ? nullptr : static_cast<Node>(handle); }
  static void* HandleOf(Node node) { return const_cast<soapkit::nbfx::Node*>(node); }
  static Attribute AttributeOf(void* handle) { return static_cast<Attribute>(AttributeRecord(handle)); }
  static void* HandleOf(Attribute attribute) { return TagAttribute(attribute); }

  static bool IsElement(Node node) { return node != nullptr && node->kind == soapkit::nbfx::NodeKind::kElement; }
  static bool IsText(Node node) { return node != nullptr && node->kind == soapkit::nbfx::NodeKind::kText; }
  static std::string_view Name(Node element) { return element->text; }
  static std::string_view PrefixOf(Node element) { return element->prefix; }
  static std::string_view Value(Node text) { return text->text; }
  static Node FirstChild(Node element) { return element->first_child; }
  static Node Next(Node node) { return node->next; }
  static bool HasSiblings(Node node) { return node != nullptr; }

  static Attribute FirstAttribute(Node element) { return element->first_attribute; }
  static Attribute Next(Attribute attribute) { return attribute ? attribute->next : nullptr; }
  static std::string_view Name(Attribute attribute) { return attribute->local; }
  static std::string_view PrefixOf(Attribute attribute) { return attribute->prefix; }
  static std::string_view Value(Attribute attribute) { return attribute->value; }
};

int Fail(OsStrMb& out, int status) {
  xfvOsStrDestruct(&out);
  return status;
}

// Fills `out` with the windows-1252 form of UTF-8 `text`.
int Deliver(std::string_view text, OsStrMb& out) {
  // ASCII is the same in both, and is what names and most values are.
  if (std::all_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; })) {
    xfvOsStrConstructFromBytes(&out, text.data(), text.size());
    return XPI_OK;
  }
  std::string ansi;
  try {
    ansi = win32::Narrow(win32::Widen(text, CP_UTF8), CP_ACP);
  } catch (const _com_error& error) {
    if (error.Error() == E_OUTOFMEMORY) throw std::bad_alloc();
    return Fail(out, XPI_E_TEXT);
  }
  xfvOsStrConstructFromBytes(&out, ansi.data(), ansi.size());
  return XPI_OK;
}

template <typename View>
struct Walk {
  using Node = typename View::Node;

  // Elements and text with a character other than white space.
  static bool IsTreeNode(Node node) {
    return View::IsElement(node) || (View::IsText(node) && !IsBlank(View::Value(node)));
  }

  // `node` itself or its first following sibling that is a node of our tree.
  static Node FirstTreeNodeFrom(Node node) {
    while (node && !IsTreeNode(node)) node = View::Next(node);
    return node;
  }

  static void* Root(const Document& document) { return View::HandleOf(View::Root(document)); }

  static int NodeName(void* node, OsStrMb& name) {
    return NamePart(node, name, [](auto named) { return View::Name(named); });
  }

  static int NodePrefix(void* node, OsStrMb& prefix) {
    return NamePart(node, prefix, [](auto named) { return View::PrefixOf(named); });
  }

  // `part` of an attribute's or an element's name; "" for a text node.
  template <typename Part>
  static int NamePart(void* node, OsStrMb& out, Part part) {
    if (IsAttributeHandle(node)) {
      const auto attribute = View::AttributeOf(node);
      return attribute ? Deliver(part(attribute), out) : Fail(out, XPI_E_HANDLE);
    }
    const Node current = View::NodeOf(node);
    return Deliver(View::IsElement(current) ? part(current) : std::string_view(), out);
  }

  static void* FirstChild(void* node) {
    const Node element = View::NodeOf(node);
    if (!View::IsElement(element)) return nullptr;
    return View::HandleOf(FirstTreeNodeFrom(View::FirstChild(element)));
  }

  static void* NextSibling(void* node) {
    const Node current = View::NodeOf(node);
    if (!current || !View::HasSiblings(current)) return nullptr;
    return View::HandleOf(FirstTreeNodeFrom(View::Next(current)));
  }

  static void* NextAttribute(void* element, void* previous) {
    const Node owner = View::NodeOf(element);
    if (!View::IsElement(owner)) return nullptr;
    if (previous == nullptr) return View::HandleOf(View::FirstAttribute(owner));
    const auto attribute = View::AttributeOf(previous);
    return attribute ? View::HandleOf(View::Next(attribute)) : nullptr;
  }

  // An element's direct text, without the white space that only lays out element children.
  static int ElementText(Node element, OsStrMb& out) {
    bool hasElements = false;
    for (Node child = View::FirstChild(element); child && !hasElements; child = View::Next(child)) {
      hasElements = View::IsElement(child);
    }
    const auto kept = [hasElements](Node child) {
      return View::IsText(child) && !(hasElements && IsBlank(View::Value(child)));
    };
    Node first = View::FirstChild(element);
    while (first && !kept(first)) first = View::Next(first);
    if (!first) return Deliver({}, out);
    Node second = View::Next(first);
    while (second && !kept(second)) second = View::Next(second);
    if (!second) return Deliver(View::Value(first), out);  // the usual case: one piece, no copy
    std::string text;
    for (Node child = first; child; child = View::Next(child)) {
      if (kept(child)) text += View::Value(child);
    }
    return Deliver(text, out);
  }

  static int NodeText(void* node, OsStrMb& text) {
    if (IsAttributeHandle(node)) {
      const auto attribute = View::AttributeOf(node);
      return attribute ? Deliver(View::Value(attribute), text) : Fail(text, XPI_E_HANDLE);
    }
    const Node current = View::NodeOf(node);
    if (View::IsText(current)) return Deliver(View::Value(current), text);
    if (View::IsElement(current)) return ElementText(current, text);
    return Fail(text, XPI_E_HANDLE);
  }
};

// Calls `call` with the Walk of the document's kind of tree.
template <typename Call>
auto Dispatch(void* doc, Call call) {
  if (static_cast<const Document*>(doc)->binary) return call(Walk<BinaryView>());
  return call(Walk<DomView>());
}

}  // namespace

void* xpi_get_document_root(void* doc) {
  const auto* document = static_cast<const Document*>(doc);
  if (document == nullptr || !document->loaded) return nullptr;
  return Dispatch(doc, [document](auto walk) { return walk.Root(*document); });
}

int xpi_get_node_name(void* doc, void* node, OsStrMb& name, int flags) {
  if (flags != 0) return Fail(name, XPI_E_FLAGS);
  if (doc == nullptr || node == nullptr) return Fail(name, XPI_E_HANDLE);
  return Dispatch(doc, [&](auto walk) { return walk.NodeName(node, name); });
}

int xpi_get_node_prefix(void* doc, void* node, OsStrMb& prefix) {
  if (doc == nullptr || node == nullptr) return Fail(prefix, XPI_E_HANDLE);
  return Dispatch(doc, [&](auto walk) { return walk.NodePrefix(node, prefix); });
}

void* xpi_get_first_child(void* doc, void* node) {
  if (doc == nullptr || node == nullptr) return nullptr;
  return Dispatch(doc, [&](auto walk) { return walk.FirstChild(node); });
}

void* xpi_get_next_sibling(void* doc, void* node) {
  if (doc == nullptr || node == nullptr) return nullptr;
  return Dispatch(doc, [&](auto walk) { return walk.NextSibling(node); });
}

void* xpi_get_next_attr(void* doc, void* element, void* previousAttr) {
  if (doc == nullptr || element == nullptr) return nullptr;
  return Dispatch(doc, [&](auto walk) { return walk.NextAttribute(element, previousAttr); });
}

int xpi_get_node_text(void* doc, void* node, OsStrMb& text) {
  if (doc == nullptr || node == nullptr) return Fail(text, XPI_E_HANDLE);
  return Dispatch(doc, [&](auto walk) { return walk.NodeText(node, text); });
}
