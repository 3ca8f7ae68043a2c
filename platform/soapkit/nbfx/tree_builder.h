// The decoder's record reader, shared by its general handlers (tree_builder.cpp) and its record
// loop with the fast paths (record_loop.cpp); not part of the module's interface.
#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <limits>
#include <new>
#include <string>
#include <string_view>
#include <vector>

#include "byte_masks.h"
#include "nbfx_internal.h"
#include "nbfx_tree.h"
#include "utf8_check.h"

// Failure paths stay out of line, so that the record loop around them stays small; the fast
// paths go into it whole, so that its state stays in registers.
#if defined(__GNUC__)
#define NBFX_COLD __attribute__((noinline, cold))
#define NBFX_INLINE inline __attribute__((always_inline))
#define NBFX_NOINLINE __attribute__((noinline))
#else
#define NBFX_COLD
#define NBFX_INLINE inline
#define NBFX_NOINLINE
#endif

namespace soapkit::nbfx {


static_assert(std::numeric_limits<float>::is_iec559 && std::numeric_limits<double>::is_iec559,
              "FloatText and DoubleText are IEEE 754 bit patterns");

constexpr size_t kMaxDepth = 1024;
constexpr uint64_t kStringFactor = 16;
constexpr uint64_t kStringSlack = 64 * 1024;
constexpr uint64_t kNodeFactor = 3;
constexpr uint64_t kNodeSlack = 65536;

// Record types. Each text type T has a twin T+1 that also closes the element.
enum : uint8_t {
  kEndElement = 0x01,
  kComment = 0x02,
  kArray = 0x03,
  kShortAttribute = 0x04,
  kAttribute = 0x05,
  kShortDictionaryAttribute = 0x06,
  kDictionaryAttribute = 0x07,
  kShortXmlnsAttribute = 0x08,
  kXmlnsAttribute = 0x09,
  kShortDictionaryXmlnsAttribute = 0x0A,
  kDictionaryXmlnsAttribute = 0x0B,
  kPrefixDictionaryAttributeA = 0x0C,
  kPrefixAttributeA = 0x26,
  kLastAttribute = 0x3F,
  kShortElement = 0x40,
  kElement = 0x41,
  kShortDictionaryElement = 0x42,
  kDictionaryElement = 0x43,
  kPrefixDictionaryElementA = 0x44,
  kPrefixElementA = 0x5E,
  kLastElement = 0x77,
  kZeroText = 0x80,
  kOneText = 0x82,
  kFalseText = 0x84,
  kTrueText = 0x86,
  kInt8Text = 0x88,
  kInt16Text = 0x8A,
  kInt32Text = 0x8C,
  kInt64Text = 0x8E,
  kFloatText = 0x90,
  kDoubleText = 0x92,
  kDecimalText = 0x94,
  kDateTimeText = 0x96,
  kChars8Text = 0x98,
  kChars16Text = 0x9A,
  kChars32Text = 0x9C,
  kBytes8Text = 0x9E,
  kBytes16Text = 0xA0,
  kBytes32Text = 0xA2,
  kStartListText = 0xA4,
  kEndListText = 0xA6,
  kEmptyText = 0xA8,
  kDictionaryText = 0xAA,
  kUniqueIdText = 0xAC,
  kTimeSpanText = 0xAE,
  kUuidText = 0xB0,
  kUInt64Text = 0xB2,
  kBoolText = 0xB4,
  kUnicodeChars8Text = 0xB6,
  kUnicodeChars16Text = 0xB8,
  kUnicodeChars32Text = 0xBA,
  kQNameDictionaryText = 0xBC,
  kLastText = 0xBD,
};

inline constexpr char kLetters[] = "abcdefghijklmnopqrstuvwxyz";

constexpr bool IsElementType(uint8_t t) { return t >= kShortElement && t <= kLastElement; }
constexpr bool IsAttributeType(uint8_t t) { return t >= kShortAttribute && t <= kLastAttribute; }
// Text records that stand for a value; 0xA4..0xA7 are list brackets or reserved.
inline bool IsValueType(uint8_t t) {
  return t >= kZeroText && t <= kLastText && (t & 0xFC) != kStartListText;
}

// Fixed value size of the types an Array may hold; 0 for the rest.
inline size_t ArrayValueWidth(uint8_t t) {
  switch (t) {
    case kBoolText + 1: return 1;
    case kInt16Text + 1: return 2;
    case kInt32Text + 1:
    case kFloatText + 1: return 4;
    case kInt64Text + 1:
    case kDoubleText + 1:
    case kDateTimeText + 1:
    case kTimeSpanText + 1: return 8;
    case kDecimalText + 1:
    case kUuidText + 1: return 16;
    default: return 0;
  }
}

inline uint64_t Budget(size_t input, uint64_t factor, uint64_t slack) {
  const uint64_t cap = (std::numeric_limits<uint64_t>::max() - slack) / factor;
  return (input > cap ? cap : input) * factor + slack;
}

// ---- characters ------------------------------------------------------------------------

inline void PutUtf8(char*& o, uint32_t cp) {
  if (cp < 0x80) {
    *o++ = static_cast<char>(cp);
  } else if (cp < 0x800) {
    *o++ = static_cast<char>(0xC0 | cp >> 6);
    *o++ = static_cast<char>(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    *o++ = static_cast<char>(0xE0 | cp >> 12);
    *o++ = static_cast<char>(0x80 | (cp >> 6 & 0x3F));
    *o++ = static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    *o++ = static_cast<char>(0xF0 | cp >> 18);
    *o++ = static_cast<char>(0x80 | (cp >> 12 & 0x3F));
    *o++ = static_cast<char>(0x80 | (cp >> 6 & 0x3F));
    *o++ = static_cast<char>(0x80 | (cp & 0x3F));
  }
}

// nullptr when `s` can be a prefix or local name (an XML name without ':'), else why not.
inline const char* CheckName(std::string_view s) {
  if (s.empty()) return "is empty";
  const auto* b = reinterpret_cast<const uint8_t*>(s.data());
  if (!(kNameBytes[b[0]] & 1)) return "is not an XML name";
  // Branch-free over the bytes: names are short and almost always valid.
  unsigned valid = 2, high = 0;
  for (size_t i = 0; i < s.size(); ++i) {
    valid &= kNameBytes[b[i]];
    high |= b[i];
  }
  if (!valid) return "is not an XML name";
  if ((high & 0x80) && CheckUtf8(b, s.size())) return "is not valid UTF-8";
  return nullptr;
}

// ---- the record stream -----------------------------------------------------------------

struct Failure {
  std::string message;
};

// What a record's type byte makes it.
enum RecordKind : uint8_t { kReserved, kElementRecord, kAttributeRecord, kEndRecord, kCommentRecord,
                            kArrayRecord, kTextRecord };

inline constexpr std::array<uint8_t, 256> kRecordKinds = [] {
  std::array<uint8_t, 256> kinds{};
  for (int t = 0; t < 256; ++t) {
    const auto type = static_cast<uint8_t>(t);
    if (IsElementType(type)) kinds[t] = kElementRecord;
    else if (IsAttributeType(type)) kinds[t] = kAttributeRecord;
    else if (type == kEndElement) kinds[t] = kEndRecord;
    else if (type == kComment) kinds[t] = kCommentRecord;
    else if (type == kArray) kinds[t] = kArrayRecord;
    else if (type >= kZeroText && type <= kLastText && type != kStartListText + 1 && type != kEndListText + 1)
      kinds[t] = kTextRecord;
  }
  return kinds;
}();

// CheckName() of every entry of the fixed table, worked out once: SOAP names are mostly
// dictionary references, and the same few recur in every message.
inline const char* const* StaticNameChecks() {
  static const auto checks = [] {
    std::array<const char*, detail::kStaticDictionarySize> c{};
    for (uint32_t k = 0; k < detail::kStaticDictionarySize; ++k) c[k] = CheckName(detail::kStaticDictionary[k]);
    return c;
  }();
  return checks.data();
}

inline constexpr std::string_view kXmlns = "xmlns";

// ---- decoding into the tree ------------------------------------------------------------

class TreeBuilder {
 public:
  TreeBuilder(const uint8_t* data, size_t size, Tree& tree, detail::DictionaryLookup lookup, void* context)
      : tree_(tree),
        lookup_(lookup),
        context_(context),
        static_names_(lookup == detail::StaticLookup ? StaticNameChecks() : nullptr),
        strings_left_(Budget(size, kStringFactor, kStringSlack)),
        nodes_left_(Budget(size, kNodeFactor, kNodeSlack)) {
    // The tree's strings point into its own copy of the body: the caller's may go.
    tree_.clear();
    char* copy = tree_.strings_.Allocate(size);
    if (size) std::memcpy(copy, data, size);
    begin_ = p_ = reinterpret_cast<const uint8_t*>(copy);
    end_ = begin_ + size;
    tail_ = &tree_.first_;
    stack_.resize(16);
    opens_ = sp_ = stack_.data();
    stack_end_ = opens_ + stack_.size();
  }

  // Reads every record; without `fastPaths` every record goes through the general handlers,
  // which must give the same tree or the same failure.
  void Run(bool fastPaths);

 private:
  static constexpr size_t kNoRecord = static_cast<size_t>(-1);

  // An open element and where its next child links in.
  struct Open {
    Node* element;
    const Node** tail;
  };

  // A string made of several pieces: one view while it is a single piece, then a copy in the
  // tree's storage that grows in place while nothing else is allocated behind it.
  struct Joined {
    std::string_view s;
    bool owned = false;  // `s` ends where the tree's storage did when it was made
  };

  [[noreturn]] NBFX_COLD void Fail(const std::string& why) const;
  [[noreturn]] NBFX_COLD void Fail(const char* why) const { Fail(std::string(why)); }
  [[noreturn]] NBFX_COLD void FailLength(uint64_t n) const;
  [[noreturn]] NBFX_COLD void FailDictionary(const char* why) const;
  [[noreturn]] NBFX_COLD void FailName(const char* what, const char* why) const;

  size_t Offset() const { return static_cast<size_t>(p_ - begin_); }
  size_t Left() const { return static_cast<size_t>(end_ - p_); }

  const uint8_t* Take(size_t n) {
    if (n > Left()) Fail("record is cut short by the end of the input");
    const uint8_t* q = p_;
    p_ += n;
    return q;
  }
  // Payload of a length read from the input: checked before anything is sized by it.
  std::string_view Bytes(uint64_t n) {
    if (n > Left()) FailLength(n);
    const char* q = reinterpret_cast<const char*>(p_);
    p_ += n;
    return {q, static_cast<size_t>(n)};
  }
  uint8_t U8() { return *Take(1); }
  uint32_t Mb31() {
    if (p_ != end_ && *p_ < 0x80) return *p_++;
    return LongMb31();
  }
  uint32_t LongMb31();
  uint32_t Length32();
  std::string_view String() { return Bytes(Mb31()); }
  std::string_view Text(std::string_view s);
  std::string_view Dict();
  std::string_view Name(std::string_view s, const char* what);
  std::string_view DictName(std::string_view s, const char* what) {
    if (static_names_ == nullptr) return Name(s, what);
    if (const char* why = static_names_[dict_id_ / 2]) FailName(what, why);
    return s;
  }

  void ChargeStrings(uint64_t n) {
    if (n > strings_left_) Fail("decoded strings would exceed 16 x the input size + 64 KiB");
    strings_left_ -= n;
  }
  void ChargeNodes(uint64_t n) {
    if (n > nodes_left_) Fail("decoded nodes would exceed 3 x the input size + 65536");
    nodes_left_ -= n;
  }

  template <typename T>
  T* New() {
    return new (tree_.nodes_.Allocate(sizeof(T))) T{};
  }
  Node* Append(NodeKind kind) {
    Node* node = New<Node>();
    node->kind = kind;
    *tail_ = node;
    tail_ = &node->next;
    return node;
  }
  // Appends `piece` to `joined`.
  void Join(Joined& joined, std::string_view piece);

  void ReadElementName(uint8_t type, std::string_view& prefix, std::string_view& local);
  void Attribute(uint8_t type);
  std::string_view AttributeValue();
  std::string_view List();
  std::string_view Value(uint8_t type);
  std::string_view TypedValue(uint8_t type);

  void FlushRun() {
    if (run_ != nullptr) {
      run_ = nullptr;
      ChargeNodes(1);
    }
  }
  size_t Depth() const { return static_cast<size_t>(sp_ - opens_); }
  void Push(Node* element);
  Node* StartElement(uint8_t type);
  void Record(uint8_t type);
  void EndElement();
  void ContentText(uint8_t type);
  void Comment();
  void Array();

  // The record loop's state while it stays on the fast paths, kept in registers: a store through
  // a record could change any member for all the compiler knows, so members would be reloaded
  // after each one. The general handlers get it through the members.
  struct Hot {
    const uint8_t* p;
    char* top;          // the node arena's
    const char* limit;  // the node arena's block end
    Open* sp;
    const Node** tail;
    const nbfx::Attribute** attributes;
    Node* run;
    uint64_t strings_left;
    uint64_t nodes_left;
  };
  void Load(Hot& h) const {
    h = {p_, tree_.nodes_.top, tree_.nodes_.end, sp_, tail_, attributes_, run_, strings_left_, nodes_left_};
  }
  void Store(const Hot& h) {
    p_ = h.p;
    tree_.nodes_.top = h.top;
    sp_ = h.sp;
    tail_ = h.tail;
    attributes_ = h.attributes;
    run_ = h.run;
    strings_left_ = h.strings_left;
    nodes_left_ = h.nodes_left;
  }

  template <bool kFastPaths>
  NBFX_NOINLINE void RunRecords();

  // The fast paths: true when the record was done, false with nothing changed. They leave
  // every failure, and every record they cannot do by copying views, to the general handlers.
  NBFX_INLINE bool FastRecord(Hot& h, uint8_t type);
  NBFX_INLINE bool FastLiteralName(const uint8_t* p, std::string_view& name, const uint8_t*& next) const;
  NBFX_INLINE bool FastDictionaryName(const uint8_t* p, std::string_view& name, const uint8_t*& next) const;
  NBFX_INLINE bool FastValue(const uint8_t* p, uint8_t type, std::string_view& text, const uint8_t*& next) const;
  template <bool kDictionary>
  NBFX_INLINE bool FastElement(Hot& h, uint8_t type);
  template <bool kDictionary>
  NBFX_INLINE bool FastAttribute(Hot& h, uint8_t type);
  NBFX_INLINE bool FastText(Hot& h, uint8_t type);
  NBFX_INLINE bool FastEnd(Hot& h);

  Tree& tree_;
  const uint8_t* begin_;
  const uint8_t* p_;
  const uint8_t* end_;
  const detail::DictionaryLookup lookup_;
  void* const context_;
  const char* const* const static_names_;  // CheckName() by fixed-table entry, for the fixed table
  uint32_t dict_id_ = 0;                   // the id Dict() read last
  uint64_t strings_left_;
  uint64_t nodes_left_;
  size_t record_ = kNoRecord;  // where the record being read starts, for messages
  // The open elements, innermost last: [opens_, sp_) of stack_, which grows up to kMaxDepth.
  std::vector<Open> stack_;
  Open* opens_;
  Open* sp_;
  Open* stack_end_;
  const Node** tail_;                        // where the next node links in
  const nbfx::Attribute** attributes_ = nullptr;  // where the next attribute links in; null once content began
  Node* run_ = nullptr;                      // the text node that text records go to
  Joined run_text_;
};

}  // namespace soapkit::nbfx
