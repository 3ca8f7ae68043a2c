#include "nbfx_decoder.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <new>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#if defined(__SSE2__) || defined(_M_X64)
#include <emmintrin.h>
#define NBFX_HAVE_SSE2 1
#else
#define NBFX_HAVE_SSE2 0
#endif

#include "nbfx_internal.h"
#include "nbfx_tree.h"
#include "typed_value_text.h"
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
namespace {

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

constexpr char kLetters[] = "abcdefghijklmnopqrstuvwxyz";

constexpr bool IsElementType(uint8_t t) { return t >= kShortElement && t <= kLastElement; }
constexpr bool IsAttributeType(uint8_t t) { return t >= kShortAttribute && t <= kLastAttribute; }
// Text records that stand for a value; 0xA4..0xA7 are list brackets or reserved.
bool IsValueType(uint8_t t) {
  return t >= kZeroText && t <= kLastText && (t & 0xFC) != kStartListText;
}

// Fixed value size of the types an Array may hold; 0 for the rest.
size_t ArrayValueWidth(uint8_t t) {
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

uint64_t Budget(size_t input, uint64_t factor, uint64_t slack) {
  const uint64_t cap = (std::numeric_limits<uint64_t>::max() - slack) / factor;
  return (input > cap ? cap : input) * factor + slack;
}

// ---- characters ------------------------------------------------------------------------

void PutUtf8(char*& o, uint32_t cp) {
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

// Per byte: bit 0 may start an XML name, bit 1 may continue one. Bytes of non-ASCII
// characters pass and are then checked as UTF-8.
constexpr std::array<uint8_t, 256> kNameBytes = [] {
  std::array<uint8_t, 256> t{};
  for (int c = 0; c < 256; ++c) {
    const bool letter = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_' || c >= 0x80;
    const bool other = (c >= '0' && c <= '9') || c == '-' || c == '.';
    t[c] = static_cast<uint8_t>((letter ? 3 : 0) | (other ? 2 : 0));
  }
  return t;
}();

// nullptr when `s` can be a prefix or local name (an XML name without ':'), else why not.
const char* CheckName(std::string_view s) {
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

#if NBFX_HAVE_SSE2
// One bit per byte of the 16 at `p` that may continue an ASCII XML name.
unsigned NameMask16(const uint8_t* p) {
  const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
  // x in [lo, hi] as one signed compare: shift lo to -128 first.
  auto in = [](__m128i x, char lo, char hi) {
    const __m128i shifted = _mm_add_epi8(x, _mm_set1_epi8(static_cast<char>(0x80 - lo)));
    return _mm_cmplt_epi8(shifted, _mm_set1_epi8(static_cast<char>(0x80 + (hi - lo) + 1)));
  };
  __m128i ok = in(_mm_or_si128(v, _mm_set1_epi8(0x20)), 'a', 'z');
  ok = _mm_or_si128(ok, _mm_andnot_si128(_mm_cmpeq_epi8(v, _mm_set1_epi8('/')), in(v, '-', '9')));
  ok = _mm_or_si128(ok, _mm_cmpeq_epi8(v, _mm_set1_epi8('_')));
  return static_cast<unsigned>(_mm_movemask_epi8(ok));
}

// One bit per byte of the 16 at `p` that is U+0000 or part of a non-ASCII character.
unsigned NotPlainMask16(const uint8_t* p) {
  const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
  // Signed compare: 0x00 and every byte from 0x80 up in one step.
  return static_cast<unsigned>(_mm_movemask_epi8(_mm_cmplt_epi8(v, _mm_set1_epi8(1))));
}
#else
unsigned NameMask16(const uint8_t* p) {
  unsigned mask = 0;
  for (unsigned i = 0; i < 16; ++i) mask |= unsigned{p[i] < 0x80 && (kNameBytes[p[i]] & 2)} << i;
  return mask;
}

unsigned NotPlainMask16(const uint8_t* p) {
  unsigned mask = 0;
  for (unsigned i = 0; i < 16; ++i) mask |= unsigned{p[i] == 0 || p[i] >= 0x80} << i;
  return mask;
}
#endif

// ---- the record stream -----------------------------------------------------------------

struct Failure {
  std::string message;
};

// What a record's type byte makes it.
enum RecordKind : uint8_t { kReserved, kElementRecord, kAttributeRecord, kEndRecord, kCommentRecord,
                            kArrayRecord, kTextRecord };

constexpr std::array<uint8_t, 256> kRecordKinds = [] {
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
const char* const* StaticNameChecks() {
  static const auto checks = [] {
    std::array<const char*, detail::kStaticDictionarySize> c{};
    for (uint32_t k = 0; k < detail::kStaticDictionarySize; ++k) c[k] = CheckName(detail::kStaticDictionary[k]);
    return c;
  }();
  return checks.data();
}

constexpr std::string_view kXmlns = "xmlns";

}  // namespace

// ---- the tree's memory -----------------------------------------------------------------

struct Tree::Block {
  Block* next;
  pugi::deallocation_function release;  // the function that matches the one that allocated it
};

void Tree::Arena::Grow(size_t n) {
  static_assert(sizeof(Block) % alignof(Node) == 0 && sizeof(Node) % alignof(Node) == 0 &&
                    sizeof(Attribute) % alignof(Node) == 0 && alignof(Attribute) <= alignof(Node),
                "records in the node arena stay aligned");
  // Blocks double up to 4 MiB, so that a small body takes little and a large one few blocks.
  const size_t size = std::max(n, next_size);
  if (size > std::numeric_limits<size_t>::max() - sizeof(Block)) throw std::bad_alloc();
  void* memory = pugi::get_memory_allocation_function()(sizeof(Block) + size);
  if (memory == nullptr) throw std::bad_alloc();
  blocks = new (memory) Block{blocks, pugi::get_memory_deallocation_function()};
  top = reinterpret_cast<char*>(blocks + 1);
  end = top + size;
  next_size = std::min<size_t>(2 * next_size, 4 << 20);
}

void Tree::Arena::Release() noexcept {
  while (blocks != nullptr) {
    Block* next = blocks->next;
    blocks->release(blocks);
    blocks = next;
  }
  top = end = nullptr;
  next_size = 4096;
}

void Tree::clear() noexcept {
  nodes_.Release();
  strings_.Release();
  first_ = nullptr;
}

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

  NBFX_NOINLINE void Run();

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

void TreeBuilder::Run() {
  if (p_ == end_) Fail("empty input");
  Hot h;
  Load(h);
  while (h.p < end_) {
    const uint8_t type = *h.p++;
    if (FastRecord(h, type)) continue;
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

// Length of the well-formed UTF-8 sequence starting with the non-ASCII byte at `p`, or 0 with
// `why` set.
size_t Utf8Sequence(const uint8_t* p, const uint8_t* end, const char*& why) {
  const uint8_t c = *p;
  size_t len;
  uint32_t cp, min;
  if ((c & 0xE0) == 0xC0) {
    len = 2, cp = c & 0x1F, min = 0x80;
  } else if ((c & 0xF0) == 0xE0) {
    len = 3, cp = c & 0x0F, min = 0x800;
  } else if ((c & 0xF8) == 0xF0) {
    len = 4, cp = c & 0x07, min = 0x10000;
  } else {
    why = "invalid UTF-8";
    return 0;
  }
  if (static_cast<size_t>(end - p) < len) {
    why = "UTF-8 sequence cut short";
    return 0;
  }
  for (size_t i = 1; i < len; ++i) {
    if ((p[i] & 0xC0) != 0x80) {
      why = "invalid UTF-8";
      return 0;
    }
    cp = cp << 6 | (p[i] & 0x3F);
  }
  if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
    why = "invalid UTF-8";
    return 0;
  }
  return len;
}

namespace {

// Past the blocks from `p` on that hold only ASCII without U+0000: markup-heavy bodies are mostly
// ASCII, and a text body's check runs over every byte of it.
const uint8_t* SkipPlainAscii(const uint8_t* p, const uint8_t* end) {
#if NBFX_HAVE_SSE2
  for (; end - p >= 16 && NotPlainMask16(p) == 0; p += 16) {
  }
#else
  for (; end - p >= 8; p += 8) {
    uint64_t w;
    std::memcpy(&w, p, 8);
    const uint64_t high = 0x8080808080808080ull;
    if ((w & high) || ((w - 0x0101010101010101ull) & ~w & high)) break;
  }
#endif
  return p;
}

}  // namespace

const char* CheckUtf8(const uint8_t* p, size_t n) {
  const uint8_t* const end = p + n;
  while (p < end) {
    p = SkipPlainAscii(p, end);
    if (p == end) break;
    if (*p < 0x80) {
      if (*p == 0) return "text contains U+0000";
      ++p;
      continue;
    }
    const char* why = nullptr;
    const size_t len = Utf8Sequence(p, end, why);
    if (len == 0) return why;
    p += len;
  }
  return nullptr;
}

namespace detail {

const char* StaticLookup(void*, uint32_t id, std::string_view& out) {
  if (id & 1) return "odd ids name session strings, which msbin1 does not carry";
  if (id / 2 >= kStaticDictionarySize) return "past the end of the fixed string table";
  out = kStaticDictionary[id / 2];
  return nullptr;
}

DecodeResult DecodeWith(const unsigned char* data, size_t size, Tree& out, DictionaryLookup lookup,
                        void* context) {
  try {
    TreeBuilder(data, size, out, lookup, context).Run();
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
