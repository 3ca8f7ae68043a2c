#include "nbfx_encoder.h"

#include "nbfx_internal.h"
#include "tree_builder.h"
#include "typed_record.h"

#include <cstring>
#include <unordered_map>
#include <vector>

namespace soapkit::nbfx {
namespace {

// The wire id of each string of the fixed table; the empty string is no name and "" is written as
// EmptyText, so it is left out.
const std::unordered_map<std::string_view, uint32_t>& StaticIds() {
  static const auto ids = [] {
    std::unordered_map<std::string_view, uint32_t> map;
    map.reserve(detail::kStaticDictionarySize);
    for (uint32_t k = 0; k < detail::kStaticDictionarySize; ++k) {
      if (!detail::kStaticDictionary[k].empty()) map.emplace(detail::kStaticDictionary[k], 2 * k);
    }
    return map;
  }();
  return ids;
}

struct Failed {
  std::string why;
};

// The pieces of a qualified name.
struct QName {
  std::string_view prefix, local;
};

QName Split(std::string_view name) {
  const size_t colon = name.find(':');
  if (colon == std::string_view::npos) return {{}, name};
  return {name.substr(0, colon), name.substr(colon + 1)};
}

bool IsLetterPrefix(std::string_view prefix) { return prefix.size() == 1 && prefix[0] >= 'a' && prefix[0] <= 'z'; }

class Writer {
 public:
  // Without a dictionary (`idOf` NULL) every string is written out.
  Writer(std::string& out, detail::DictionaryIdOf idOf, void* context) : out_(out), idOf_(idOf), context_(context) {}

  void Document(const pugi::xml_document& document);

  uint64_t strings() const { return strings_; }
  uint64_t nodes() const { return nodes_; }

 private:
  void Byte(uint8_t b) { out_.push_back(static_cast<char>(b)); }
  void Mb31(uint64_t n) {
    if (n > 0x7FFFFFFF) throw Failed{"a string is longer than the binary form can say (2 GiB)"};
    while (n >= 0x80) {
      Byte(static_cast<uint8_t>(n | 0x80));
      n >>= 7;
    }
    Byte(static_cast<uint8_t>(n));
  }
  void String(std::string_view s) {
    Mb31(s.size());
    out_.append(s.data(), s.size());
  }
  // The string's dictionary id, or -1 when it is written out.
  int64_t IdOf(std::string_view s) const { return idOf_ ? idOf_(context_, s) : -1; }

  void CheckText(std::string_view s, const char* what) const {
    if (const char* why = CheckUtf8(reinterpret_cast<const uint8_t*>(s.data()), s.size())) {
      throw Failed{std::string(what) + ": " + why};
    }
  }
  void CheckName(std::string_view name, const char* what) const {
    if (const char* why = nbfx::CheckName(name)) throw Failed{std::string(what) + " '" + std::string(name) + "' " + why};
  }
  QName Name(const char* qualified, const char* what) const {
    const QName name = Split(qualified);
    if (!name.prefix.empty() || std::string_view(qualified).find(':') != std::string_view::npos) {
      CheckName(name.prefix, what);
    }
    CheckName(name.local, what);
    return name;
  }

  void Element(pugi::xml_node element);
  void Attribute(pugi::xml_attribute attribute);
  void Text(std::string_view text, bool last);
  void Comment(std::string_view text);
  // A text record: typed, dictionary or characters. `end` makes it close the element too.
  void TextRecord(std::string_view text, bool end);

  std::string& out_;
  const detail::DictionaryIdOf idOf_;
  void* const context_;
  uint64_t strings_ = 0;
  uint64_t nodes_ = 0;
};

void Writer::Document(const pugi::xml_document& document) {
  size_t depth = 0;
  bool closed = false;  // the last record closed the element it was in
  for (pugi::xml_node node = document.first_child(); node;) {
    switch (node.type()) {
      case pugi::node_element:
        if (depth == kMaxDepth) throw Failed{"elements nest deeper than 1024"};
        Element(node);
        if (node.first_child()) {
          ++depth;
          node = node.first_child();
          continue;
        }
        Byte(kEndElement);
        break;
      case pugi::node_pcdata:
      case pugi::node_cdata:
        if (depth == 0) {
          const std::string_view text = node.value();
          if (text.find_first_not_of(" \t\r\n") != std::string_view::npos) throw Failed{"text outside every element"};
          break;  // white space between top-level nodes is no part of the document
        }
        Text(node.value(), !node.next_sibling());
        closed = !node.next_sibling();
        break;
      case pugi::node_comment:
        Comment(node.value());
        break;
      case pugi::node_declaration:
        if (depth == 0) break;
        [[fallthrough]];
      default:
        throw Failed{node.type() == pugi::node_doctype ? "a DOCTYPE has no place in a binary body"
                                                       : "a processing instruction has no place in a binary body"};
    }
    // On to the next node, closing every element that ends here.
    while (!node.next_sibling()) {
      node = node.parent();
      if (node.type() == pugi::node_document) return;
      --depth;
      if (!closed) Byte(kEndElement);
      closed = false;
    }
    node = node.next_sibling();
  }
}

void Writer::Element(pugi::xml_node element) {
  const QName name = Name(element.name(), "element name");
  ++nodes_;
  strings_ += name.prefix.size() + name.local.size() + 3;
  const int64_t id = IdOf(name.local);
  if (name.prefix.empty()) {
    Byte(id >= 0 ? kShortDictionaryElement : kShortElement);
  } else if (IsLetterPrefix(name.prefix)) {
    Byte(static_cast<uint8_t>((id >= 0 ? kPrefixDictionaryElementA : kPrefixElementA) + (name.prefix[0] - 'a')));
  } else {
    Byte(id >= 0 ? kDictionaryElement : kElement);
    String(name.prefix);
  }
  id >= 0 ? Mb31(static_cast<uint64_t>(id)) : String(name.local);
  for (pugi::xml_attribute attribute : element.attributes()) Attribute(attribute);
}

void Writer::Attribute(pugi::xml_attribute attribute) {
  const std::string_view qualified = attribute.name();
  const std::string_view value = attribute.value();
  CheckText(value, "attribute value");
  ++nodes_;
  strings_ += qualified.size() + value.size() + 3;
  if (qualified == "xmlns" || qualified.substr(0, 6) == "xmlns:") {
    const int64_t id = IdOf(value);
    if (qualified.size() == 5) {
      Byte(id >= 0 ? kShortDictionaryXmlnsAttribute : kShortXmlnsAttribute);
    } else {
      const std::string_view prefix = qualified.substr(6);
      CheckName(prefix, "namespace prefix");
      if (prefix == kXmlns) throw Failed{"the prefix xmlns is reserved: it cannot be declared"};
      Byte(id >= 0 ? kDictionaryXmlnsAttribute : kXmlnsAttribute);
      String(prefix);
    }
    id >= 0 ? Mb31(static_cast<uint64_t>(id)) : String(value);
    return;
  }
  const QName name = Name(attribute.name(), "attribute name");
  const int64_t id = IdOf(name.local);
  if (name.prefix.empty()) {
    Byte(id >= 0 ? kShortDictionaryAttribute : kShortAttribute);
  } else if (IsLetterPrefix(name.prefix)) {
    Byte(static_cast<uint8_t>((id >= 0 ? kPrefixDictionaryAttributeA : kPrefixAttributeA) + (name.prefix[0] - 'a')));
  } else {
    Byte(id >= 0 ? kDictionaryAttribute : kAttribute);
    String(name.prefix);
  }
  id >= 0 ? Mb31(static_cast<uint64_t>(id)) : String(name.local);
  TextRecord(value, false);
}

void Writer::Text(std::string_view text, bool last) {
  CheckText(text, "text");
  ++nodes_;
  strings_ += text.size() + 1;
  TextRecord(text, last);
}

void Writer::Comment(std::string_view text) {
  CheckText(text, "comment");
  if (text.find("--") != std::string_view::npos || (!text.empty() && text.back() == '-')) {
    throw Failed{"a comment holds \"--\" or ends in '-'"};
  }
  ++nodes_;
  strings_ += text.size() + 1;
  Byte(kComment);
  String(text);
}

void Writer::TextRecord(std::string_view text, bool end) {
  const uint8_t withEnd = end ? 1 : 0;
  uint8_t record[kMaxTypedRecord];
  if (const size_t n = TypedRecordFor(text, record)) {
    record[0] |= withEnd;
    out_.append(reinterpret_cast<const char*>(record), n);
    return;
  }
  if (const int64_t id = IdOf(text); id >= 0) {
    Byte(kDictionaryText | withEnd);
    Mb31(static_cast<uint64_t>(id));
    return;
  }
  // Bytes: written in place, then kept only when they print the text back.
  const size_t start = out_.size();
  const size_t room = text.size() / 4 * 3;
  out_.resize(start + 5 + room);
  auto* bytes = reinterpret_cast<uint8_t*>(out_.data() + start + 5);
  if (const size_t n = Base64Bytes(text, bytes)) {
    uint8_t head[5];
    size_t headSize = 1;
    head[0] = static_cast<uint8_t>((n < 0x100 ? kBytes8Text : n < 0x10000 ? kBytes16Text : kBytes32Text) | withEnd);
    for (size_t width = n < 0x100 ? 1 : n < 0x10000 ? 2 : 4, i = 0; i < width; ++i) {
      head[headSize++] = static_cast<uint8_t>(n >> (8 * i));
    }
    std::memmove(out_.data() + start + headSize, bytes, n);
    std::memcpy(out_.data() + start, head, headSize);
    out_.resize(start + headSize + n);
    return;
  }
  out_.resize(start);
  const size_t n = text.size();
  if (n > 0x7FFFFFFF) throw Failed{"a text is longer than the binary form can say (2 GiB)"};
  Byte(static_cast<uint8_t>((n < 0x100 ? kChars8Text : n < 0x10000 ? kChars16Text : kChars32Text) | withEnd));
  for (size_t width = n < 0x100 ? 1 : n < 0x10000 ? 2 : 4, i = 0; i < width; ++i) Byte(static_cast<uint8_t>(n >> (8 * i)));
  out_.append(text.data(), n);
}

}  // namespace

namespace detail {

int64_t StaticIdOf(void*, std::string_view s) {
  const auto& ids = StaticIds();
  const auto it = ids.find(s);
  return it == ids.end() ? int64_t{-1} : int64_t{it->second};
}

EncodeResult EncodeWith(const pugi::xml_document& document, std::string& out, DictionaryIdOf idOf, void* context) {
  out.clear();
  try {
    for (const DictionaryIdOf dictionary : {idOf, DictionaryIdOf{}}) {
      Writer writer(out, dictionary, context);
      writer.Document(document);
      if (out.empty()) throw Failed{"the document is empty"};
      if (writer.strings() <= Budget(out.size(), kStringFactor, kStringSlack) &&
          writer.nodes() <= Budget(out.size(), kNodeFactor, kNodeSlack)) {
        return {true, {}};
      }
      out.clear();
    }
    throw Failed{"the document's strings outgrow what any binary body of it may hold"};
  } catch (Failed& failed) {
    out.clear();
    return {false, std::move(failed.why)};
  } catch (...) {
    out.clear();
    throw;
  }
}

}  // namespace detail

EncodeResult Encode(const pugi::xml_document& document, std::string& out) {
  return detail::EncodeWith(document, out, detail::StaticIdOf, nullptr);
}

}  // namespace soapkit::nbfx
