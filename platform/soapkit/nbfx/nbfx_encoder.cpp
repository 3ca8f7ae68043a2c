#include "nbfx_encoder.h"

#include "nbfx_internal.h"
#include "tree_builder.h"
#include "typed_record.h"

#include <algorithm>
#include <cstring>
#include <optional>

namespace soapkit::nbfx {
namespace {

// The fixed table by string, for the lookup made for every name and text written. Open addressing
// on a hash of the length and the first and last eight bytes: a miss, the usual answer, costs one
// probe and no pass over the string. The empty string is no name and "" is written as EmptyText,
// so it is left out.
class StaticIds {
 public:
  StaticIds() {
    for (uint32_t k = 0; k < detail::kStaticDictionarySize; ++k) {
      const std::string_view s = detail::kStaticDictionary[k];
      if (s.empty()) continue;
      size_t slot = Hash(s) & kMask;
      while (slots_[slot] != 0) slot = (slot + 1) & kMask;
      slots_[slot] = static_cast<uint16_t>(k + 1);
    }
  }

  int64_t Find(std::string_view s) const {
    if (s.empty()) return -1;
    for (size_t slot = Hash(s) & kMask; slots_[slot] != 0; slot = (slot + 1) & kMask) {
      const uint32_t k = slots_[slot] - 1u;
      if (detail::kStaticDictionary[k] == s) return int64_t{2} * k;
    }
    return -1;
  }

 private:
  static constexpr size_t kSlots = 4096;  // a quarter full
  static constexpr size_t kMask = kSlots - 1;
  static_assert(detail::kStaticDictionarySize < kSlots / 4);

  // Whole-word loads of the first and last bytes (overlapping when the string is short): no pass
  // over the string and no partial stores to read back.
  static uint64_t Hash(std::string_view s) {
    const char* p = s.data();
    const size_t n = s.size();
    uint64_t a, b;
    if (n >= 8) {
      a = Load<uint64_t>(p), b = Load<uint64_t>(p + n - 8);
    } else if (n >= 4) {
      a = Load<uint32_t>(p), b = Load<uint32_t>(p + n - 4);
    } else {
      a = uint8_t(p[0]) | uint64_t(uint8_t(p[n / 2])) << 8 | uint64_t(uint8_t(p[n - 1])) << 16, b = 0;
    }
    const uint64_t h = (a ^ (b * 0x9E3779B97F4A7C15ull) ^ n) * 0xBF58476D1CE4E5B9ull;
    return h ^ (h >> 31);
  }
  template <class T>
  static T Load(const char* p) {
    T v;
    std::memcpy(&v, p, sizeof v);
    return v;
  }

  uint16_t slots_[kSlots] = {};
};

struct Failed {
  std::string why;
};

// The pieces of a qualified name.
struct QName {
  std::string_view prefix, local;
};

// The record types of the names of one kind of node, elements or attributes.
struct NameRecords {
  uint8_t shortDictionary, shortPlain, prefixDictionaryA, prefixA, dictionary, plain;
};
constexpr NameRecords kElementNames{kShortDictionaryElement, kShortElement, kPrefixDictionaryElementA,
                                    kPrefixElementA,         kDictionaryElement, kElement};
constexpr NameRecords kAttributeNames{kShortDictionaryAttribute, kShortAttribute, kPrefixDictionaryAttributeA,
                                      kPrefixAttributeA,         kDictionaryAttribute, kAttribute};

bool IsLetterPrefix(std::string_view prefix) { return prefix.size() == 1 && prefix[0] >= 'a' && prefix[0] <= 'z'; }

// The bytes written so far, in a string grown ahead in large steps and written through a pointer,
// so that each byte of a record costs a store rather than a call.
class Output {
 public:
  explicit Output(std::string& out) : out_(out) { out_.clear(); }

  // Room for `n` more bytes, which Commit() then counts as written.
  char* Room(size_t n) {
    if (out_.size() - used_ < n) out_.resize(std::max(2 * out_.size(), used_ + n + 4096));
    return out_.data() + used_;
  }
  void Commit(size_t n) { used_ += n; }
  void Put(uint8_t b) {
    *Room(1) = static_cast<char>(b);
    ++used_;
  }
  void Put(const void* data, size_t n) {
    std::memcpy(Room(n), data, n);
    used_ += n;
  }
  size_t size() const { return used_; }
  char* at(size_t offset) { return out_.data() + offset; }
  // The string holds exactly what was written.
  void Finish() { out_.resize(used_); }

 private:
  std::string& out_;
  size_t used_ = 0;
};

// Writes a document in one pass of pugixml's own traversal (far cheaper than stepping through the
// tree node by node): each node is written when it is reached, and the elements it leaves are
// closed then, from the depth alone.
class Writer : public pugi::xml_tree_walker {
 public:
  // Without a dictionary (`idOf` NULL) every string is written out.
  Writer(std::string& out, detail::DictionaryIdOf idOf, void* context) : out_(out), idOf_(idOf), context_(context) {}

  // Throws Failed.
  void Document(const pugi::xml_document& document) {
    pugi::xml_node root = document;  // traverse() only reads, but is not const
    root.traverse(*this);
    if (failure_) throw Failed{std::move(*failure_)};
    CloseTo(0);
    out_.Finish();
  }

  uint64_t strings() const { return strings_; }
  uint64_t nodes() const { return nodes_; }

 private:
  bool for_each(pugi::xml_node& node) override {
    try {
      Node(node, static_cast<size_t>(depth()));
      return true;
    } catch (Failed& failed) {
      failure_ = std::move(failed.why);
      return false;
    }
  }

  void Node(pugi::xml_node node, size_t depth);
  // Closes open elements until `depth` are left. An element whose last record is a text is closed
  // by that record, with its WithEndElement form.
  void CloseTo(size_t depth) {
    for (; open_ > depth; --open_) {
      if (closingText_ != kNone) {
        *out_.at(closingText_) = static_cast<char>(*out_.at(closingText_) | 1);
        closingText_ = kNone;
      } else {
        Byte(kEndElement);
      }
    }
  }

  void Byte(uint8_t b) { out_.Put(b); }
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
    out_.Put(s.data(), s.size());
  }
  // The head of a Chars or Bytes record of `n` bytes into `head`, its length the narrowest of the 1,
  // 2 and 4 byte fields: `type8` is the type of the 8-bit form. Returns the head's size.
  static size_t SizedHead(uint8_t type8, size_t n, uint8_t head[5]) {
    if (n > 0x7FFFFFFF) throw Failed{"a text is longer than the binary form can say (2 GiB)"};
    const size_t width = n < 0x100 ? 1 : n < 0x10000 ? 2 : 4;
    head[0] = static_cast<uint8_t>(type8 + (width == 1 ? 0 : width == 2 ? 2 : 4));
    for (size_t i = 0; i < width; ++i) head[1 + i] = static_cast<uint8_t>(n >> (8 * i));
    return 1 + width;
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
  QName Name(std::string_view qualified, const char* what) const {
    const size_t colon = qualified.find(':');
    if (colon == std::string_view::npos) {
      CheckName(qualified, what);
      return {{}, qualified};
    }
    const QName name{qualified.substr(0, colon), qualified.substr(colon + 1)};
    CheckName(name.prefix, what);
    CheckName(name.local, what);
    return name;
  }

  void Element(pugi::xml_node element);
  void Attribute(pugi::xml_attribute attribute);
  // The record that opens an element or attribute of this name: short-prefix, dictionary or plain.
  void NameRecord(const QName& name, const NameRecords& records);
  // A text node, which closes its element when nothing follows it there.
  void Text(std::string_view text);
  // A text record: typed, dictionary, bytes or characters.
  void TextRecord(std::string_view text);

  static constexpr size_t kNone = ~size_t{0};

  Output out_;
  const detail::DictionaryIdOf idOf_;
  void* const context_;
  uint64_t strings_ = 0;
  uint64_t nodes_ = 0;
  size_t open_ = 0;             // elements written and not yet closed
  size_t closingText_ = kNone;  // where the type byte of a text that ends the innermost open element is
  std::optional<std::string> failure_;
};

void Writer::Node(pugi::xml_node node, size_t depth) {
  CloseTo(depth);
  closingText_ = kNone;
  switch (node.type()) {
    case pugi::node_element: {
      if (depth == kMaxDepth) throw Failed{"elements nest deeper than 1024"};
      Element(node);
      open_ = depth + 1;
      // parse_embed_pcdata keeps an element's first text, when it comes before any child, as the
      // element's value.
      const std::string_view text = node.value();
      if (!text.empty()) Text(text);
      return;
    }
    case pugi::node_pcdata:
    case pugi::node_cdata: {
      const std::string_view text = node.value();
      if (depth > 0) {
        Text(text);
      } else if (text.find_first_not_of(" \t\r\n") != std::string_view::npos) {
        throw Failed{"text outside every element"};
      }
      return;  // white space between top-level nodes is no part of the document
    }
    case pugi::node_comment: {
      const std::string_view text = node.value();
      CheckText(text, "comment");
      if (text.find("--") != std::string_view::npos || (!text.empty() && text.back() == '-')) {
        throw Failed{"a comment holds \"--\" or ends in '-'"};
      }
      ++nodes_;
      strings_ += text.size() + 1;
      Byte(kComment);
      String(text);
      return;
    }
    case pugi::node_declaration:
      if (depth == 0) return;
      [[fallthrough]];
    default:
      throw Failed{node.type() == pugi::node_doctype ? "a DOCTYPE has no place in a binary body"
                                                     : "a processing instruction has no place in a binary body"};
  }
}

void Writer::Text(std::string_view text) {
  CheckText(text, "text");
  ++nodes_;
  strings_ += text.size() + 1;
  const size_t at = out_.size();
  TextRecord(text);
  closingText_ = at;
}

void Writer::Element(pugi::xml_node element) {
  const QName name = Name(element.name(), "element name");
  ++nodes_;
  strings_ += name.prefix.size() + name.local.size() + 3;
  NameRecord(name, kElementNames);
  for (pugi::xml_attribute attribute = element.first_attribute(); attribute; attribute = attribute.next_attribute()) {
    Attribute(attribute);
  }
}

void Writer::Attribute(pugi::xml_attribute attribute) {
  const std::string_view qualified = attribute.name();
  const std::string_view value = attribute.value();
  CheckText(value, "attribute value");
  ++nodes_;
  strings_ += qualified.size() + value.size() + 3;
  if (qualified.substr(0, 5) == kXmlns && (qualified.size() == 5 || qualified[5] == ':')) {
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
  const QName name = Name(qualified, "attribute name");
  NameRecord(name, kAttributeNames);
  TextRecord(value);
}

void Writer::NameRecord(const QName& name, const NameRecords& records) {
  const int64_t id = IdOf(name.local);
  if (name.prefix.empty()) {
    Byte(id >= 0 ? records.shortDictionary : records.shortPlain);
  } else if (IsLetterPrefix(name.prefix)) {
    Byte(static_cast<uint8_t>((id >= 0 ? records.prefixDictionaryA : records.prefixA) + (name.prefix[0] - 'a')));
  } else {
    Byte(id >= 0 ? records.dictionary : records.plain);
    String(name.prefix);
  }
  id >= 0 ? Mb31(static_cast<uint64_t>(id)) : String(name.local);
}

void Writer::TextRecord(std::string_view text) {
  uint8_t record[kMaxTypedRecord];
  if (const size_t n = TypedRecordFor(text, record)) {
    out_.Put(record, n);
    return;
  }
  if (const int64_t id = IdOf(text); id >= 0) {
    Byte(kDictionaryText);
    Mb31(static_cast<uint64_t>(id));
    return;
  }
  if (!text.empty() && text.size() % 4 == 0) {
    // Bytes: decoded behind room for the widest head, kept only when they print the text back.
    char* room = out_.Room(5 + text.size() / 4 * 3);
    if (const size_t n = Base64Bytes(text, reinterpret_cast<uint8_t*>(room + 5))) {
      uint8_t head[5];
      const size_t headSize = SizedHead(kBytes8Text, n, head);
      std::memmove(room + headSize, room + 5, n);
      std::memcpy(room, head, headSize);
      out_.Commit(headSize + n);
      return;
    }
  }
  uint8_t head[5];
  out_.Put(head, SizedHead(kChars8Text, text.size(), head));
  out_.Put(text.data(), text.size());
}

}  // namespace

namespace detail {

int64_t StaticIdOf(void*, std::string_view s) {
  static const StaticIds ids;
  return ids.Find(s);
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
