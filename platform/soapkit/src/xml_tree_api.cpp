// The xpi_ functions over the pugixml tree of a CSoapReader.
//
// Node handles are pugixml's own node records, attribute handles its attribute records with the
// low bit set: both kinds are pointer-aligned, so a handle tells its kind without any look-up.
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

constexpr std::uintptr_t kAttributeTag = 1;

bool IsAttributeHandle(void* handle) { return (reinterpret_cast<std::uintptr_t>(handle) & kAttributeTag) != 0; }

void* HandleOf(pugi::xml_node node) { return node.internal_object(); }

void* HandleOf(pugi::xml_attribute attribute) {
  pugi::xml_attribute_struct* record = attribute.internal_object();
  return record ? reinterpret_cast<void*>(reinterpret_cast<std::uintptr_t>(record) | kAttributeTag) : nullptr;
}

// The node a handle stands for; an empty node for attribute handles.
pugi::xml_node NodeOf(void* handle) {
  return IsAttributeHandle(handle) ? pugi::xml_node() : pugi::xml_node(static_cast<pugi::xml_node_struct*>(handle));
}

// The attribute a handle stands for; an empty attribute for node handles.
pugi::xml_attribute AttributeOf(void* handle) {
  if (!IsAttributeHandle(handle)) return pugi::xml_attribute();
  const std::uintptr_t record = reinterpret_cast<std::uintptr_t>(handle) & ~kAttributeTag;
  return pugi::xml_attribute(reinterpret_cast<pugi::xml_attribute_struct*>(record));
}

// `node` itself or its first following sibling that is a node of our tree.
pugi::xml_node FirstTreeNodeFrom(pugi::xml_node node) {
  while (node && !soapkit::IsTreeNode(node)) node = node.next_sibling();
  return node;
}

// The part after the prefix (everything up to the first ':').
const char* LocalName(const char* qualified) {
  const char* colon = std::strchr(qualified, ':');
  return colon ? colon + 1 : qualified;
}

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

int DeliverElementText(pugi::xml_node element, OsStrMb& out) {
  bool hasElements = false;
  for (pugi::xml_node child = element.first_child(); child && !hasElements; child = child.next_sibling()) {
    hasElements = child.type() == pugi::node_element;
  }
  const auto kept = [hasElements](pugi::xml_node child) {
    return soapkit::IsText(child) && !(hasElements && soapkit::IsBlank(child.value()));
  };
  pugi::xml_node first = element.first_child();
  while (first && !kept(first)) first = first.next_sibling();
  if (!first) return Deliver({}, out);
  pugi::xml_node second = first.next_sibling();
  while (second && !kept(second)) second = second.next_sibling();
  if (!second) return Deliver(first.value(), out);  // the usual case: one piece, no copy
  std::string text;
  for (pugi::xml_node child = first; child; child = child.next_sibling()) {
    if (kept(child)) text += child.value();
  }
  return Deliver(text, out);
}

}  // namespace

void* xpi_get_document_root(void* doc) {
  const auto* document = static_cast<const Document*>(doc);
  if (document == nullptr || !document->loaded) return nullptr;
  return HandleOf(document->dom.document_element());
}

int xpi_get_node_name(void* doc, void* node, OsStrMb& name, int flags) {
  if (flags != 0) return Fail(name, XPI_E_FLAGS);
  if (doc == nullptr || node == nullptr) return Fail(name, XPI_E_HANDLE);
  if (IsAttributeHandle(node)) return Deliver(LocalName(AttributeOf(node).name()), name);
  const pugi::xml_node element = NodeOf(node);
  return Deliver(element.type() == pugi::node_element ? LocalName(element.name()) : "", name);
}

void* xpi_get_first_child(void* doc, void* node) {
  if (doc == nullptr || node == nullptr) return nullptr;
  const pugi::xml_node element = NodeOf(node);
  if (element.type() != pugi::node_element) return nullptr;
  return HandleOf(FirstTreeNodeFrom(element.first_child()));
}

void* xpi_get_next_sibling(void* doc, void* node) {
  if (doc == nullptr || node == nullptr) return nullptr;
  const pugi::xml_node current = NodeOf(node);
  if (!current || current.parent().type() != pugi::node_element) return nullptr;
  return HandleOf(FirstTreeNodeFrom(current.next_sibling()));
}

void* xpi_get_next_attr(void* doc, void* element, void* previousAttr) {
  if (doc == nullptr || element == nullptr) return nullptr;
  const pugi::xml_node owner = NodeOf(element);
  if (owner.type() != pugi::node_element) return nullptr;
  if (previousAttr == nullptr) return HandleOf(owner.first_attribute());
  return HandleOf(AttributeOf(previousAttr).next_attribute());
}

int xpi_get_node_text(void* doc, void* node, OsStrMb& text) {
  if (doc == nullptr || node == nullptr) return Fail(text, XPI_E_HANDLE);
  if (IsAttributeHandle(node)) return Deliver(AttributeOf(node).value(), text);
  const pugi::xml_node current = NodeOf(node);
  if (soapkit::IsText(current)) return Deliver(current.value(), text);
  if (current.type() == pugi::node_element) return DeliverElementText(current, text);
  return Fail(text, XPI_E_HANDLE);
}
