// The decoder's record loop: the fast paths for the shapes most records of real bodies have,
// and the general handlers for everything else.
#include "tree_builder.h"

#include "typed_value_text.h"

namespace soapkit::nbfx {

// ---- fast paths ----

namespace {

// What the fast paths take: the shapes most records of real bodies have.
enum FastKind : uint8_t { kSlow, kFastEnd, kFastElement, kFastDictionaryElement, kFastAttribute,
                          kFastDictionaryAttribute, kFastText };

constexpr std::array<uint8_t, 256> kFastKinds = [] {
  std::array<uint8_t, 256> kinds{};
  kinds[kEndElement] = kFastEnd;
  kinds[kShortElement] = kFastElement;
  kinds[kShortDictionaryElement] = kFastDictionaryElement;
  kinds[kShortAttribute] = kFastAttribute;
  kinds[kShortDictionaryAttribute] = kFastDictionaryAttribute;
  for (int i = 0; i < 26; ++i) {
    kinds[kPrefixElementA + i] = kFastElement;
    kinds[kPrefixDictionaryElementA + i] = kFastDictionaryElement;
    kinds[kPrefixAttributeA + i] = kFastAttribute;
    kinds[kPrefixDictionaryAttributeA + i] = kFastDictionaryAttribute;
  }
  for (int t : {kChars8Text, kChars16Text, kZeroText, kOneText, kEmptyText, kDictionaryText}) {
    kinds[t] = kinds[t + 1] = kFastText;
  }
  return kinds;
}();

// The one-letter prefixes of the Prefix* types, as views; empty for the rest.
const std::array<std::string_view, 256> kPrefixes = [] {
  std::array<std::string_view, 256> prefixes{};
  for (int i = 0; i < 26; ++i) {
    const std::string_view letter(kLetters + i, 1);
    prefixes[kPrefixElementA + i] = prefixes[kPrefixDictionaryElementA + i] = letter;
    prefixes[kPrefixAttributeA + i] = prefixes[kPrefixDictionaryAttributeA + i] = letter;
  }
  return prefixes;
}();

}  // namespace

// A valid ASCII name of 1..16 bytes after a one-byte length, with 16 bytes there to read.
bool TreeBuilder::FastLiteralName(const uint8_t* p, std::string_view& name, const uint8_t*& next) const {
  if (end_ - p < 17) return false;
  const size_t n = p[0];
  if (n - 1 >= 16) return false;
  const unsigned all = (1u << n) - 1;
  if (!(kNameBytes[p[1]] & 1) || (NameMask16(p + 1) & all) != all) return false;
  name = {reinterpret_cast<const char*>(p + 1), n};
  next = p + 1 + n;
  return true;
}

// A valid name of the fixed table in a one- or two-byte id.
bool TreeBuilder::FastDictionaryName(const uint8_t* p, std::string_view& name, const uint8_t*& next) const {
  if (static_names_ == nullptr || end_ - p < 2) return false;
  uint32_t id = p[0];
  next = p + 1;
  if (id >= 0x80) {
    if (p[1] >= 0x80) return false;
    id = (id & 0x7F) | uint32_t{p[1]} << 7;
    next = p + 2;
  }
  if (id % 2 || id / 2 >= detail::kStaticDictionarySize || static_names_[id / 2]) return false;
  name = detail::kStaticDictionary[id / 2];
  return true;
}

// A value whose characters the input or the fixed table holds as they are: Chars8Text or
// Chars16Text of ASCII without U+0000, a fixed-table string, 0, 1 or nothing.
bool TreeBuilder::FastValue(const uint8_t* p, uint8_t type, std::string_view& text, const uint8_t*& next) const {
  switch (type & 0xFE) {
    case kChars8Text:
    case kChars16Text: {
      const bool wide = (type & 0xFE) == kChars16Text;
      if (end_ - p < 2) return false;
      const size_t n = wide ? Le16(p) : p[0];
      const uint8_t* const s = p + 1 + wide;
      if (end_ - s < static_cast<std::ptrdiff_t>(n + 16)) return false;
      for (size_t at = 0; at < n; at += 16) {
        unsigned mask = NotPlainMask16(s + at);
        if (n - at < 16) mask &= (1u << (n - at)) - 1;
        if (mask != 0) return false;
      }
      text = {reinterpret_cast<const char*>(s), n};
      next = s + n;
      return true;
    }
    case kZeroText:
    case kOneText:
      text = (type & 0xFE) == kZeroText ? "0" : "1";
      next = p;
      return true;
    case kEmptyText:
      text = {};
      next = p;
      return true;
    case kDictionaryText:
      if (static_names_ == nullptr || p == end_ || p[0] >= 0x80 || p[0] % 2) return false;
      if (p[0] / 2u >= detail::kStaticDictionarySize) return false;
      text = detail::kStaticDictionary[p[0] / 2];
      next = p + 1;
      return true;
    default: return false;
  }
}

template <bool kDictionary>
bool TreeBuilder::FastElement(Hot& h, uint8_t type) {
  std::string_view local;
  const uint8_t* next;
  if (!(kDictionary ? FastDictionaryName(h.p, local, next) : FastLiteralName(h.p, local, next))) return false;
  const std::string_view prefix = kPrefixes[type];
  const uint64_t strings = prefix.size() + !prefix.empty() + local.size() + 1;
  const uint64_t nodes = 1 + uint64_t{h.run != nullptr};
  if (h.sp == stack_end_ || nodes > h.nodes_left || strings > h.strings_left ||
      static_cast<size_t>(h.limit - h.top) < 2 * sizeof(Node)) {
    return false;
  }
  Node* const element = new (h.top) Node{nullptr, nullptr, nullptr, prefix, local, NodeKind::kElement};

  // A leaf, an element with one text record that also closes it, goes whole.
  std::string_view text;
  const uint8_t* after;
  if (next != end_ && (*next & 1) && kFastKinds[*next] == kFastText && FastValue(next + 1, *next, text, after) &&
      nodes + !text.empty() <= h.nodes_left && strings + text.size() <= h.strings_left) {
    h.nodes_left -= nodes + !text.empty();
    h.strings_left -= strings + text.size();
    h.top += sizeof(Node);
    if (!text.empty()) {
      element->first_child = new (h.top) Node{nullptr, nullptr, nullptr, {}, text, NodeKind::kText};
      h.top += sizeof(Node);
    }
    *h.tail = element;
    h.tail = &element->next;
    h.attributes = nullptr;
    h.run = nullptr;
    h.p = after;
    return true;
  }

  h.nodes_left -= nodes;
  h.strings_left -= strings;
  h.top += sizeof(Node);
  *h.tail = element;
  *h.sp++ = {element, &element->next};
  h.tail = &element->first_child;
  h.attributes = &element->first_attribute;
  h.run = nullptr;
  h.p = next;
  return true;
}

template <bool kDictionary>
bool TreeBuilder::FastAttribute(Hot& h, uint8_t type) {
  std::string_view local, value;
  const uint8_t* at;
  const uint8_t* next;
  if (h.attributes == nullptr ||
      !(kDictionary ? FastDictionaryName(h.p, local, at) : FastLiteralName(h.p, local, at)) || at == end_ ||
      (*at & 1) || !FastValue(at + 1, *at, value, next)) {
    return false;
  }
  const std::string_view prefix = kPrefixes[type];
  const uint64_t strings = value.size() + prefix.size() + !prefix.empty() + local.size() + 2;
  if ((prefix.empty() && local == kXmlns) || strings > h.strings_left || h.nodes_left == 0 ||
      static_cast<size_t>(h.limit - h.top) < sizeof(nbfx::Attribute)) {
    return false;
  }
  h.strings_left -= strings;
  --h.nodes_left;
  auto* const attribute = new (h.top) nbfx::Attribute{nullptr, prefix, local, value};
  h.top += sizeof(nbfx::Attribute);
  *h.attributes = attribute;
  h.attributes = &attribute->next;
  h.p = next;
  return true;
}

// Text that starts a run; joining runs is left to ContentText.
bool TreeBuilder::FastText(Hot& h, uint8_t type) {
  std::string_view text;
  const uint8_t* next;
  if (h.sp == opens_ || h.run != nullptr || !FastValue(h.p, type, text, next) || text.size() > h.strings_left ||
      static_cast<size_t>(h.limit - h.top) < sizeof(Node)) {
    return false;
  }
  if (type & 1) {
    // It closes its element too: as FastEnd() would, with the text node charged.
    if (h.nodes_left < !text.empty()) return false;
    h.nodes_left -= !text.empty();
  }
  h.strings_left -= text.size();
  h.attributes = nullptr;
  if (!text.empty()) {
    Node* const node = new (h.top) Node{nullptr, nullptr, nullptr, {}, text, NodeKind::kText};
    h.top += sizeof(Node);
    *h.tail = node;
    h.tail = &node->next;
    h.run = node;
    run_text_ = {text, false};
  }
  h.p = next;
  if (type & 1) {
    h.tail = (--h.sp)->tail;
    h.run = nullptr;
  }
  return true;
}

bool TreeBuilder::FastEnd(Hot& h) {
  if (h.sp == opens_ || (h.run != nullptr && h.nodes_left == 0)) return false;
  h.nodes_left -= h.run != nullptr;
  h.run = nullptr;
  h.tail = (--h.sp)->tail;
  h.attributes = nullptr;
  return true;
}

bool TreeBuilder::FastRecord(Hot& h, uint8_t type) {
  switch (kFastKinds[type]) {
    case kFastEnd: return FastEnd(h);
    case kFastElement: return FastElement<false>(h, type);
    case kFastDictionaryElement: return FastElement<true>(h, type);
    case kFastAttribute: return FastAttribute<false>(h, type);
    case kFastDictionaryAttribute: return FastAttribute<true>(h, type);
    case kFastText: return FastText(h, type);
    default: return false;
  }
}

void TreeBuilder::Run(bool fastPaths) { fastPaths ? RunRecords<true>() : RunRecords<false>(); }

template <bool kFastPaths>
void TreeBuilder::RunRecords() {
  if (p_ == end_) Fail("empty input");
  Hot h;
  Load(h);
  while (h.p < end_) {
    const uint8_t type = *h.p++;
    if (kFastPaths && FastRecord(h, type)) continue;
    record_ = static_cast<size_t>(h.p - 1 - begin_);
    Store(h);
    Record(type);
    Load(h);
  }
  Store(h);
  if (Depth() != 0) {
    record_ = kNoRecord;
    Fail(std::to_string(Depth()) + " element(s) still open at the end of the input");
  }
}

}  // namespace soapkit::nbfx
