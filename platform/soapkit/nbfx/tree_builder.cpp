// The general record handlers of the decoder, and its entry points.
#include "tree_builder.h"

#include "typed_value_text.h"

#include <cstdio>
#include <cstdlib>
#include <utility>

namespace soapkit::nbfx {

void TreeBuilder::Fail(const std::string& why) const {
  char head[64];
  if (record_ >= static_cast<size_t>(end_ - begin_)) {  // no record, or it would start at the end
    std::snprintf(head, sizeof head, "at offset %zu: ", Offset());
  } else {
    std::snprintf(head, sizeof head, "at offset %zu, record 0x%02X: ", record_,
                  static_cast<unsigned>(begin_[record_]));
  }
  throw Failure{head + why};
}

void TreeBuilder::FailLength(uint64_t n) const {
  Fail("length " + std::to_string(n) + " runs past the end of the input (" + std::to_string(Left()) +
       " bytes left)");
}

void TreeBuilder::FailDictionary(const char* why) const {
  char head[48];
  std::snprintf(head, sizeof head, "dictionary id 0x%X: ", static_cast<unsigned>(dict_id_));
  Fail(head + std::string(why));
}

void TreeBuilder::FailName(const char* what, const char* why) const { Fail(std::string(what) + " " + why); }

uint32_t TreeBuilder::LongMb31() {
  uint32_t v = 0;
  for (int i = 0;; ++i) {
    if (p_ == end_) Fail("MultiByteInt31 is cut short by the end of the input");
    const uint8_t b = *p_++;
    if (i == 4 && b > 0x07) Fail("MultiByteInt31 is longer than 5 bytes or above 0x7FFFFFFF");
    v |= uint32_t{b & 0x7Fu} << (7 * i);
    if (!(b & 0x80)) return v;
  }
}

uint32_t TreeBuilder::Length32() {
  const uint32_t n = Le32(Take(4));
  if (n > 0x7FFFFFFFu) Fail("negative length");
  return n;
}

// `s` if it is text: well-formed UTF-8 without U+0000.
std::string_view TreeBuilder::Text(std::string_view s) {
  const auto* b = reinterpret_cast<const uint8_t*>(s.data());
  size_t at = 0;
  // Mostly ASCII: 16 bytes at a time while they may be read.
  while (at < s.size() && end_ - (b + at) >= 16) {
    unsigned mask = NotPlainMask16(b + at);
    if (s.size() - at < 16) mask &= (1u << (s.size() - at)) - 1;
    if (mask != 0) break;
    at += 16;
  }
  if (at < s.size()) {
    if (const char* why = CheckUtf8(b + at, s.size() - at)) Fail(why);
  }
  return s;
}

std::string_view TreeBuilder::Dict() {
  dict_id_ = Mb31();
  std::string_view s;
  if (const char* why = lookup_(context_, dict_id_, s)) FailDictionary(why);
  return s;
}

std::string_view TreeBuilder::Name(std::string_view s, const char* what) {
  const auto* b = reinterpret_cast<const uint8_t*>(s.data());
  // Short ASCII names, the usual kind, in one look when 16 bytes may be read.
  if (s.size() - 1 < 16 && b >= begin_ && end_ - b >= 16 && (kNameBytes[b[0]] & 1)) {
    const unsigned all = (1u << s.size()) - 1;
    if ((NameMask16(b) & all) == all) return s;
  }
  if (const char* why = CheckName(s)) FailName(what, why);
  return s;
}

void TreeBuilder::Join(Joined& joined, std::string_view piece) {
  if (piece.empty()) return;
  Tree::Arena& storage = tree_.strings_;
  if (joined.s.empty()) {
    joined = {piece, piece.data() + piece.size() == storage.top};
    return;
  }
  char* const end = const_cast<char*>(joined.s.data()) + joined.s.size();
  if (joined.owned) {
    if (piece.data() == end && storage.top == end + piece.size()) {  // made right behind it
      joined.s = {joined.s.data(), joined.s.size() + piece.size()};
      return;
    }
    if (storage.top == end && static_cast<size_t>(storage.end - end) >= piece.size()) {
      std::memcpy(end, piece.data(), piece.size());
      storage.top += piece.size();
      joined.s = {joined.s.data(), joined.s.size() + piece.size()};
      return;
    }
  }
  // Moved where it has as much room again behind it, so that joining stays linear.
  const size_t size = joined.s.size() + piece.size();
  if (static_cast<size_t>(storage.end - storage.top) < 2 * size) storage.Grow(2 * size);
  char* const copy = storage.top;
  std::memcpy(copy, joined.s.data(), joined.s.size());
  std::memcpy(copy + joined.s.size(), piece.data(), piece.size());
  storage.top = copy + size;
  joined = {{copy, size}, true};
}

void TreeBuilder::ReadElementName(uint8_t type, std::string_view& prefix, std::string_view& local) {
  if (type >= kPrefixElementA) {
    prefix = {kLetters + (type - kPrefixElementA), 1};
    local = Name(String(), "element name");
  } else if (type >= kPrefixDictionaryElementA) {
    prefix = {kLetters + (type - kPrefixDictionaryElementA), 1};
    local = DictName(Dict(), "element name");
  } else {
    // kShortElement, kElement, kShortDictionaryElement, kDictionaryElement
    if (type & 1) prefix = Name(String(), "element prefix");
    local = type & 2 ? DictName(Dict(), "element name") : Name(String(), "element name");
  }
}

void TreeBuilder::Attribute(uint8_t type) {
  std::string_view prefix, local, value;
  if (type >= kShortXmlnsAttribute && type <= kDictionaryXmlnsAttribute) {
    const bool prefixed = type == kXmlnsAttribute || type == kDictionaryXmlnsAttribute;
    if (prefixed) local = String();
    // The value is read, and can fail, before the prefix is judged.
    value = type <= kXmlnsAttribute ? Text(String()) : Dict();
    if (prefixed) {
      Name(local, "attribute prefix");
      if (local == kXmlns) Fail("attribute prefix xmlns is reserved for declarations");
      prefix = kXmlns;
    } else {
      local = kXmlns;
    }
    ChargeStrings(value.size());
  } else {
    if (type >= kPrefixAttributeA) {
      prefix = {kLetters + (type - kPrefixAttributeA), 1};
      local = Name(String(), "attribute name");
    } else if (type >= kPrefixDictionaryAttributeA) {
      prefix = {kLetters + (type - kPrefixDictionaryAttributeA), 1};
      local = DictName(Dict(), "attribute name");
    } else {
      // kShortAttribute, kAttribute, kShortDictionaryAttribute, kDictionaryAttribute
      if (type & 1) prefix = String();
      local = type & 2 ? Dict() : String();
      if (type & 1) {
        Name(prefix, "attribute prefix");
        if (prefix == kXmlns) Fail("attribute prefix xmlns is reserved for declarations");
      }
      type & 2 ? DictName(local, "attribute name") : Name(local, "attribute name");
      if (prefix.empty() && local == kXmlns) Fail("attribute name xmlns is reserved for declarations");
    }
    value = AttributeValue();
  }
  ChargeNodes(1);
  ChargeStrings(prefix.size() + !prefix.empty() + local.size() + 2);
  nbfx::Attribute* attribute = New<nbfx::Attribute>();
  attribute->prefix = prefix;
  attribute->local = local;
  attribute->value = value;
  *attributes_ = attribute;
  attributes_ = &attribute->next;
}

std::string_view TreeBuilder::AttributeValue() {
  record_ = Offset();
  const uint8_t t = U8();
  if (t == kStartListText) return List();
  if (!IsValueType(t)) Fail("attribute value is not a text record");
  if (t & 1) Fail("attribute value closes an element");
  return Value(t);
}

std::string_view TreeBuilder::List() {
  Joined joined;
  for (bool first = true;; first = false) {
    record_ = Offset();
    const uint8_t t = U8();
    if (t == kEndListText) return joined.s;
    if (t == kStartListText) Fail("lists do not nest");
    if (!IsValueType(t)) Fail("list holds a record that is not text");
    if (t & 1) Fail("list item closes an element");
    if (!first) {
      ChargeStrings(1);
      Join(joined, " ");
    }
    Join(joined, Value(t));
  }
}

// One text record's characters, charged.
std::string_view TreeBuilder::Value(uint8_t type) {
  std::string_view s;
  switch (type & 0xFE) {
    case kChars8Text: s = Text(Bytes(U8())); break;
    case kDictionaryText: s = Dict(); break;
    case kZeroText: s = "0"; break;
    case kOneText: s = "1"; break;
    case kFalseText: s = "false"; break;
    case kTrueText: s = "true"; break;
    case kEmptyText: break;
    default: s = TypedValue(type);
  }
  ChargeStrings(s.size());
  return s;
}

// The rarer text records, uncharged.
std::string_view TreeBuilder::TypedValue(uint8_t type) {
  switch (type & 0xFE) {
    case kChars16Text: return Text(Bytes(Le16(Take(2))));
    case kChars32Text: return Text(Bytes(Length32()));
    case kBytes8Text:
    case kBytes16Text:
    case kBytes32Text: {
      const uint32_t n = (type & 0xFE) == kBytes8Text    ? *Take(1)
                         : (type & 0xFE) == kBytes16Text ? Le16(Take(2))
                                                         : Length32();
      const std::string_view bytes = Bytes(n);
      Sink out{tree_.strings_.Allocate((size_t{n} + 2) / 3 * 4)};
      char* const start = out.o;
      AppendBase64(out, reinterpret_cast<const uint8_t*>(bytes.data()), n);
      return {start, static_cast<size_t>(out.o - start)};
    }
    case kUnicodeChars8Text:
    case kUnicodeChars16Text:
    case kUnicodeChars32Text: {
      const uint32_t n = (type & 0xFE) == kUnicodeChars8Text    ? *Take(1)
                         : (type & 0xFE) == kUnicodeChars16Text ? Le16(Take(2))
                                                                : Length32();
      const auto* p = reinterpret_cast<const uint8_t*>(Bytes(n).data());
      if (n % 2) Fail("UTF-16 text has an odd byte count");
      // Each two bytes make at most three of UTF-8.
      char* const start = tree_.strings_.Allocate(size_t{n} / 2 * 3);
      char* o = start;
      for (size_t i = 0; i < n; i += 2) {
        uint32_t u = Le16(p + i);
        if (u == 0) Fail("text contains U+0000");
        if (u >= 0xD800 && u <= 0xDFFF) {
          const uint32_t low = i + 4 <= n ? Le16(p + i + 2) : 0;
          if (u > 0xDBFF || low < 0xDC00 || low > 0xDFFF) Fail("unpaired UTF-16 surrogate");
          u = 0x10000 + ((u - 0xD800) << 10) + (low - 0xDC00);
          i += 2;
        }
        PutUtf8(o, u);
      }
      tree_.strings_.top = o;  // give back what the estimate left over
      return {start, static_cast<size_t>(o - start)};
    }
    case kQNameDictionaryText: {
      const uint8_t prefix = U8();
      if (prefix > 25) Fail("QNameDictionaryText prefix is past 'z'");
      const std::string_view name = Dict();
      char* const start = tree_.strings_.Allocate(2 + name.size());
      start[0] = kLetters[prefix];
      start[1] = ':';
      std::memcpy(start + 2, name.data(), name.size());
      return {start, 2 + name.size()};
    }
  }
  // Fixed-size values: short ASCII.
  Sink out{tree_.strings_.Allocate(kMaxTypedValue)};
  char* const start = out.o;
  const char* why = nullptr;
  switch (type & 0xFE) {
    case kInt8Text: AppendSigned(out, static_cast<int8_t>(U8())); break;
    case kInt16Text: AppendSigned(out, static_cast<int16_t>(Le16(Take(2)))); break;
    case kInt32Text: AppendSigned(out, static_cast<int32_t>(Le32(Take(4)))); break;
    case kInt64Text: AppendSigned(out, static_cast<int64_t>(Le64(Take(8)))); break;
    case kUInt64Text: AppendUnsigned(out, Le64(Take(8))); break;
    case kFloatText: {
      const uint32_t bits = Le32(Take(4));
      float f;
      std::memcpy(&f, &bits, sizeof f);
      AppendFloat(out, f);
      break;
    }
    case kDoubleText: {
      const uint64_t bits = Le64(Take(8));
      double d;
      std::memcpy(&d, &bits, sizeof d);
      AppendDouble(out, d);
      break;
    }
    case kDecimalText: why = AppendDecimal(out, Take(16)); break;
    case kDateTimeText: why = AppendDateTime(out, Le64(Take(8))); break;
    case kTimeSpanText: AppendTimeSpan(out, static_cast<int64_t>(Le64(Take(8)))); break;
    case kUniqueIdText:
      out += "urn:uuid:";
      AppendGuid(out, Take(16));
      break;
    case kUuidText: AppendGuid(out, Take(16)); break;
    case kBoolText: {
      const uint8_t b = U8();
      if (b > 1) Fail("BoolText value is neither 0 nor 1");
      out += b ? "true" : "false";
      break;
    }
  }
  if (why) Fail(why);
  tree_.strings_.top = out.o;  // give back what the estimate left over
  return {start, static_cast<size_t>(out.o - start)};
}

void TreeBuilder::Push(Node* element) {
  if (sp_ == stack_end_) {
    const size_t depth = Depth();
    stack_.resize(std::min(2 * stack_.size(), kMaxDepth));
    opens_ = stack_.data();
    sp_ = opens_ + depth;
    stack_end_ = opens_ + stack_.size();
  }
  *sp_++ = {element, tail_};
  tail_ = &element->first_child;
}

Node* TreeBuilder::StartElement(uint8_t type) {
  FlushRun();
  if (Depth() >= kMaxDepth) Fail("elements nest deeper than 1024");
  std::string_view prefix, local;
  ReadElementName(type, prefix, local);
  ChargeNodes(1);
  ChargeStrings(prefix.size() + !prefix.empty() + local.size() + 1);
  Node* element = Append(NodeKind::kElement);
  element->prefix = prefix;
  element->text = local;
  attributes_ = &element->first_attribute;
  return element;
}

void TreeBuilder::EndElement() {
  if (Depth() == 0) Fail("EndElement with no open element");
  FlushRun();
  tail_ = (--sp_)->tail;
  attributes_ = nullptr;
}

void TreeBuilder::ContentText(uint8_t type) {
  if (Depth() == 0) Fail("text outside any element");
  if (type == kEndListText) Fail("EndListText without StartListText");
  attributes_ = nullptr;
  const std::string_view s = type == kStartListText ? List() : Value(type);
  if (!s.empty()) {
    if (run_ == nullptr) {
      run_ = Append(NodeKind::kText);
      run_text_ = {};
    }
    Join(run_text_, s);
    run_->text = run_text_.s;
  }
  if (type & 1) EndElement();
}

void TreeBuilder::Comment() {
  const std::string_view s = Text(String());
  if (s.find("--") != std::string_view::npos || (!s.empty() && s.back() == '-')) {
    Fail("comment contains \"--\" or ends in '-'");
  }
  FlushRun();
  ChargeNodes(1);
  ChargeStrings(s.size() + 1);
  attributes_ = nullptr;
  Append(NodeKind::kComment)->text = s;
}

void TreeBuilder::Array() {
  FlushRun();
  if (Depth() >= kMaxDepth) Fail("elements nest deeper than 1024");
  const uint64_t strings_before = strings_left_, nodes_before = nodes_left_;
  record_ = Offset();
  const uint8_t element_type = U8();
  if (!IsElementType(element_type)) Fail("array does not start with an element record");
  Node* const first = StartElement(element_type);
  for (;;) {
    record_ = Offset();
    const uint8_t t = U8();
    if (t == kEndElement) break;
    if (!IsAttributeType(t)) Fail("array element is not closed right after its attributes");
    Attribute(t);
  }
  attributes_ = nullptr;
  const uint64_t item_strings = strings_before - strings_left_;
  const uint64_t item_nodes = nodes_before - nodes_left_;

  record_ = Offset();
  const uint8_t value_type = U8();
  const size_t width = ArrayValueWidth(value_type);
  if (width == 0) Fail("array value type is not a fixed-size WithEndElement text type");
  const uint32_t count = Mb31();
  if (count == 0) Fail("array holds no values");
  if (count > Left() / width) {
    Fail("array of " + std::to_string(count) + " values runs past the end of the input (" +
         std::to_string(Left()) + " bytes left)");
  }
  // Copies of the element and its attributes, then one text node per value. The copies share
  // the first one's attributes: the tree is never changed once built.
  ChargeNodes((count - 1) * item_nodes + count);
  ChargeStrings((count - 1) * item_strings);
  for (uint32_t i = 0; i < count; ++i) {
    Node* item = first;
    if (i > 0) {
      item = Append(NodeKind::kElement);
      item->prefix = first->prefix;
      item->text = first->text;
      item->first_attribute = first->first_attribute;
    }
    Node* text = New<Node>();
    text->kind = NodeKind::kText;
    text->text = Value(value_type);
    item->first_child = text;
  }
}

void TreeBuilder::Record(uint8_t type) {
  switch (kRecordKinds[type]) {
    case kElementRecord: Push(StartElement(type)); break;
    case kAttributeRecord:
      if (attributes_ == nullptr) {
        Fail(Depth() == 0 ? "attribute with no element to belong to"
                          : "attribute after the content of its element began");
      }
      Attribute(type);
      break;
    case kEndRecord: EndElement(); break;
    case kCommentRecord: Comment(); break;
    case kArrayRecord: Array(); break;
    case kTextRecord: ContentText(type); break;
    default: Fail("reserved record type");
  }
}

namespace detail {

const char* StaticLookup(void*, uint32_t id, std::string_view& out) {
  if (id & 1) return "odd ids name session strings, which msbin1 does not carry";
  if (id / 2 >= kStaticDictionarySize) return "past the end of the fixed string table";
  out = kStaticDictionary[id / 2];
  return nullptr;
}

DecodeResult DecodeWith(const unsigned char* data, size_t size, Tree& out, DictionaryLookup lookup,
                        void* context, bool fastPaths) {
  try {
    TreeBuilder(data, size, out, lookup, context).Run(fastPaths);
    return {true, {}};
  } catch (Failure& f) {
    out.clear();
    return {false, std::move(f.message)};
  } catch (...) {
    out.clear();
    throw;
  }
}

}  // namespace detail

DecodeResult Decode(const unsigned char* data, size_t size, Tree& out) {
  return detail::DecodeWith(data, size, out, detail::StaticLookup, nullptr);
}

bool LooksBinary(const unsigned char* data, size_t size) {
  return size > 0 && IsElementType(data[0]);
}

}  // namespace soapkit::nbfx
