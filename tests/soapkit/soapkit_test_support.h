// Helpers of the soapkit tests: bodies as OsStrBin, texts as std::string, and an outline of the
// tree exactly as the xpi_ functions present it, so that whole trees compare in one assertion.
#pragma once

#include "soapkit/soap_reader.h"
#include "soapkit/xml_tree_api.h"

#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace soapkit_test {

// What the product passes.
inline constexpr int kOptions = 65538;

inline OsStrBin Body(std::string_view bytes) {
  OsStrBin body;
  xfvOsStrConstructFromBytes(&body, bytes.data(), bytes.size());
  return body;
}

inline bool Load(CSoapReader& reader, std::string_view bytes) {
  OsStrBin body = Body(bytes);
  return reader.load(body);
}

inline std::string Str(const OsStr& text) { return std::string(text.GetData(), text.GetLength()); }

inline std::string Name(void* doc, void* node) {
  OsStrMb name;
  xpi_get_node_name(doc, node, name, 0);
  return Str(name);
}

inline std::string Text(void* doc, void* node) {
  OsStrMb text;
  xpi_get_node_text(doc, node, text);
  return Str(text);
}

inline std::vector<std::pair<std::string, std::string>> Attributes(void* doc, void* element) {
  std::vector<std::pair<std::string, std::string>> attributes;
  for (void* a = xpi_get_next_attr(doc, element, nullptr); a; a = xpi_get_next_attr(doc, element, a)) {
    attributes.emplace_back(Name(doc, a), Text(doc, a));
  }
  return attributes;
}

// name{attr=value ...}(children), a text node as "text"; recursive, so for small trees only.
inline std::string Outline(void* doc, void* node) {
  std::string out = Name(doc, node);
  if (out.empty()) return '"' + Text(doc, node) + '"';
  const char* separator = "{";
  for (const auto& [name, value] : Attributes(doc, node)) {
    out += separator + name + '=' + value;
    separator = " ";
  }
  if (*separator == ' ') out += '}';
  separator = "(";
  for (void* child = xpi_get_first_child(doc, node); child; child = xpi_get_next_sibling(doc, child)) {
    out += separator + Outline(doc, child);
    separator = " ";
  }
  if (*separator == ' ') out += ')';
  return out;
}

// The outline of a body's document; "(not loaded)" when it does not load.
inline std::string OutlineOf(std::string_view bytes) {
  CSoapReader reader(kOptions);
  if (!Load(reader, bytes)) return "(not loaded)";
  void* doc = reader.getXpiDocument();
  return Outline(doc, xpi_get_document_root(doc));
}

// Every element's text (xpi_get_node_text), in document order: "name=text;".
inline void ElementTexts(void* doc, void* node, std::string& out) {
  const std::string name = Name(doc, node);
  if (name.empty()) return;
  out += name + '=' + Text(doc, node) + ';';
  for (void* child = xpi_get_first_child(doc, node); child; child = xpi_get_next_sibling(doc, child)) {
    ElementTexts(doc, child, out);
  }
}

inline std::string ElementTextsOf(std::string_view bytes) {
  CSoapReader reader(kOptions);
  if (!Load(reader, bytes)) return "(not loaded)";
  std::string out;
  void* doc = reader.getXpiDocument();
  ElementTexts(doc, xpi_get_document_root(doc), out);
  return out;
}

}  // namespace soapkit_test
