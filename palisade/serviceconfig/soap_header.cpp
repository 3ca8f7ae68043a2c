#include "serviceconfig/soap_header.h"

#include "serviceconfig/soap_namespaces.h"
#include "soapkit/xml_tree_api.h"

#include <cctype>
#include <cstdint>
#include <optional>
#include <string_view>
#include <map>
#include <vector>

namespace analysis {
namespace {

// As views, so that comparing a namespace costs a length check first.
constexpr std::string_view kAddressing10 = kWsAddressing10, kAddressing2004 = kWsAddressingAugust2004;
constexpr std::string_view kSecext = kWsSecurityExtension, kUtility = kWsSecurityUtility;
constexpr std::string_view kXmlSignature = "http://www.w3.org/2000/09/xmldsig#";
const char kDigestType[] = "#PasswordDigest";
// A value from the body is shown cut to this many bytes.
constexpr std::size_t kMaxShownBytes = 256;

// `value` fit for one output line: control characters become '?', the rest is cut.
std::string Shown(std::string value) {
  if (value.size() > kMaxShownBytes) value = value.substr(0, kMaxShownBytes) + "...";
  for (char& c : value) {
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = '?';
  }
  return value;
}

bool EndsWith(std::string_view text, std::string_view end) {
  return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

// The number of `digits` digits at `at` of `text`, or -1.
int Digits(const std::string& text, std::size_t at, std::size_t digits) {
  if (at + digits > text.size()) return -1;
  int value = 0;
  for (std::size_t i = at; i < at + digits; ++i) {
    if (!std::isdigit(static_cast<unsigned char>(text[i]))) return -1;
    value = value * 10 + (text[i] - '0');
  }
  return value;
}

// Milliseconds since 1970 of an xsd:dateTime ("2026-11-30T09:14:02.117Z", an offset or none,
// which counts as UTC); nothing when it is not one.
std::optional<std::int64_t> DateTimeMs(const std::string& text) {
  const int year = Digits(text, 0, 4), month = Digits(text, 5, 2), day = Digits(text, 8, 2);
  const int hour = Digits(text, 11, 2), minute = Digits(text, 14, 2), second = Digits(text, 17, 2);
  if (year < 0 || month < 1 || month > 12 || day < 1 || day > 31 || hour < 0 || hour > 24 || minute < 0 ||
      minute > 59 || second < 0 || second > 60 || text[4] != '-' || text[7] != '-' || text[10] != 'T' ||
      text[13] != ':' || text[16] != ':') {
    return std::nullopt;
  }
  std::size_t at = 19;
  std::int64_t ms = 0;
  if (at < text.size() && text[at] == '.') {
    std::int64_t scale = 100;
    for (++at; at < text.size() && std::isdigit(static_cast<unsigned char>(text[at])); ++at, scale /= 10) {
      ms += (text[at] - '0') * scale;
    }
  }
  std::int64_t offsetMinutes = 0;
  if (at < text.size() && (text[at] == '+' || text[at] == '-')) {
    const int zoneHours = Digits(text, at + 1, 2), zoneMinutes = Digits(text, at + 4, 2);
    if (zoneHours < 0 || zoneMinutes < 0 || text[at + 3] != ':' || at + 6 != text.size()) return std::nullopt;
    offsetMinutes = (text[at] == '-' ? -1 : 1) * (zoneHours * 60 + zoneMinutes);
  } else if (!(at == text.size() || (text[at] == 'Z' && at + 1 == text.size()))) {
    return std::nullopt;
  }
  // Days from the civil date (proleptic Gregorian).
  const int y = year - (month <= 2);
  const int era = y / 400;
  const int yoe = y - era * 400;
  const int doy = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
  const std::int64_t days = std::int64_t(era) * 146097 + yoe * 365 + yoe / 4 - yoe / 100 + doy - 719468;
  return ((days * 24 + hour) * 60 + minute - offsetMinutes) * 60000 + second * 1000 + ms;
}

// "300s", "0.5s", "-60.25s".
std::string Seconds(std::int64_t ms) {
  const std::uint64_t magnitude = ms < 0 ? 0 - static_cast<std::uint64_t>(ms) : static_cast<std::uint64_t>(ms);
  std::string text = (ms < 0 ? "-" : "") + std::to_string(magnitude / 1000);
  if (magnitude % 1000 != 0) {
    std::string fraction = std::to_string(magnitude % 1000 + 1000).substr(1);
    fraction.erase(fraction.find_last_not_of('0') + 1);
    text += "." + fraction;
  }
  return text + "s";
}

// The namespace declarations in force at one element of a walk, and the texts of its nodes. A
// fetched text is a view into a handle of its own kind, valid until the next fetch of that kind.
class NamespaceScope {
 public:
  explicit NamespaceScope(void* doc) : doc_(doc) {}

  // Empty again, for another document; the room taken so far is kept.
  void Reset(void* doc) {
    doc_ = doc;
    for (auto& [prefix, bindings] : uris_) bindings.count = 0;
    declared_.clear();
  }

  // Brings the element's own declarations into force; returns how many it made.
  std::uint32_t Declare(void* element) {
    std::uint32_t count = 0;
    for (void* attr = xpi_get_next_attr(doc_, element, nullptr); attr; attr = xpi_get_next_attr(doc_, element, attr)) {
      const std::string_view prefix = View(xpi_get_node_prefix(doc_, attr, attrPrefix_), attrPrefix_);
      if (!prefix.empty() && prefix != "xmlns") continue;
      const std::string_view name = View(xpi_get_node_name(doc_, attr, attrName_, 0), attrName_);
      if (prefix.empty() && name != "xmlns") continue;
      const std::string_view declared = prefix.empty() ? std::string_view() : name;
      auto it = uris_.find(declared);
      if (it == uris_.end()) it = uris_.emplace(std::string(declared), Bindings()).first;
      Bindings& bindings = it->second;
      if (bindings.count == bindings.uris.size()) bindings.uris.emplace_back();
      bindings.uris[bindings.count++] = Text(attr);
      declared_.push_back(&bindings);
      ++count;
    }
    return count;
  }
  // Ends the last `count` declarations.
  void Undeclare(std::uint32_t count) {
    for (; count > 0; --count) {
      --declared_.back()->count;
      declared_.pop_back();
    }
  }
  // The namespace of an element named with `prefix`; "" when none is declared.
  std::string_view Resolve(std::string_view prefix) const {
    const auto it = uris_.find(prefix);
    return it == uris_.end() || it->second.count == 0 ? std::string_view()
                                                      : std::string_view(it->second.uris[it->second.count - 1]);
  }

  std::string_view Name(void* node) { return View(xpi_get_node_name(doc_, node, name_, 0), name_); }
  std::string_view Prefix(void* node) { return View(xpi_get_node_prefix(doc_, node, prefix_), prefix_); }
  // Texts are taken up to their first NUL, as the analysis takes them.
  std::string_view Text(void* node) {
    xpi_get_node_text(doc_, node, text_);
    return text_.GetData();
  }
  // The value of an unprefixed attribute of `element`; "" when it has none.
  std::string_view AttributeValue(void* element, std::string_view name) {
    for (void* attr = xpi_get_next_attr(doc_, element, nullptr); attr; attr = xpi_get_next_attr(doc_, element, attr)) {
      if (View(xpi_get_node_prefix(doc_, attr, attrPrefix_), attrPrefix_).empty() &&
          View(xpi_get_node_name(doc_, attr, attrName_, 0), attrName_) == name) {
        return Text(attr);
      }
    }
    return {};
  }

 private:
  // The namespaces a prefix is bound to, innermost last: the first `count` of `uris`, whose
  // strings stay for reuse.
  struct Bindings {
    std::vector<std::string> uris;
    std::size_t count = 0;
  };

  static std::string_view View(int, const OsStrMb& text) { return {text.GetData(), text.GetLength()}; }

  void* doc_;
  // One handle for each kind of text, so that each keeps its block (an empty text gives it up).
  OsStrMb name_, prefix_, attrName_, attrPrefix_, text_;
  std::map<std::string, Bindings, std::less<>> uris_;  // by prefix, "" the default
  std::vector<Bindings*> declared_;                    // in declaration order
};

bool IsOfInterest(std::string_view local) {
  for (std::string_view name : {"Action", "MessageID", "To", "Timestamp", "Created", "Expires", "Nonce", "Password",
                                "Signature"}) {
    if (local == name) return true;
  }
  return false;
}

bool IsAddressing(std::string_view ns) { return ns == kAddressing10 || ns == kAddressing2004; }

// Whether `to` names another scheme, host or port than `target` (only what the target tells).
bool NamesAnotherTarget(const std::string& to, const capture::Url& target) {
  capture::Url url;
  if (!capture::ParseUrl(to, url)) return false;
  return url.host != target.host || (!target.scheme.empty() && url.scheme != target.scheme) ||
         (!target.port.empty() && url.port != target.port);
}

// One element of the Header met in the walk.
struct Element {
  void* node;
  std::string_view ns;
  std::string_view local;
  std::size_t depth;         // 0 for the Header's children
  std::int32_t inTimestamp;  // the timestamp whose child this is (an index of timestamps_), or -1
};

}  // namespace

class SoapHeaderReader::Reader {
 public:
  explicit Reader(bool withDetails) : withDetails_(withDetails), scope_(nullptr) {}

  SoapHeaderFacts Read(void* doc, void* envelope, void* header, const capture::Url* target) {
    doc_ = doc;
    target_ = target;
    scope_.Reset(doc);
    facts_ = SoapHeaderFacts();
    timestamps_.clear();
    Walk(envelope, header);
    return Take();
  }

  // The timestamp this element opens (an index of timestamps_), or -1.
  std::int32_t Visit(const Element& element) {
    const std::string_view ns = element.ns;
    const std::string_view local = element.local;
    if (IsAddressing(ns)) {
      if (local == "Action" && element.depth == 0 && facts_.action.empty()) facts_.action = scope_.Text(element.node);
      if (local == "MessageID") Add("message-id", [&] { return Shown(std::string(scope_.Text(element.node))); });
      if (local == "To" && target_ != nullptr) {
        const std::string to(scope_.Text(element.node));
        if (NamesAnotherTarget(to, *target_)) {
          Add("to-mismatch", [&] { return "to=" + Shown(to) + " target=" + TargetText(); });
        }
      }
    } else if (ns == kUtility) {
      if (local == "Timestamp") {
        Add("timestamp", [] { return std::string(); });
        if (!withDetails_) return -1;
        timestamps_.push_back({facts_.hazards.size() - 1, {}, {}});
        return static_cast<std::int32_t>(timestamps_.size() - 1);
      }
      if (element.inTimestamp >= 0 && (local == "Created" || local == "Expires")) {
        Stamp& stamp = timestamps_[static_cast<std::size_t>(element.inTimestamp)];
        (local == "Created" ? stamp.created : stamp.expires) = scope_.Text(element.node);
      }
    } else if (ns == kSecext) {
      if (local == "Nonce") Add("nonce", [&] { return Shown(std::string(scope_.Text(element.node))); });
      if (local == "Password" && EndsWith(scope_.AttributeValue(element.node, "Type"), kDigestType)) {
        Add("digest", [] { return std::string("clear password needed"); });
      }
    } else if (ns == kXmlSignature && local == "Signature") {
      Add("signature", [] { return std::string("signed parts cannot be edited"); });
    }
    return -1;
  }

  // Depth first, in document order, with a stack of our own: Headers nest as deep as a body can.
  void Walk(void* envelope, void* header) {
    std::vector<Frame>& open = open_;
    open.clear();
    scope_.Declare(envelope);
    scope_.Declare(header);
    void* node = xpi_get_first_child(doc_, header);
    for (;;) {
      if (node != nullptr) {
        const std::string_view local = scope_.Name(node);
        if (local.empty()) {  // text
          node = xpi_get_next_sibling(doc_, node);
          continue;
        }
        const std::uint32_t declared = scope_.Declare(node);
        const std::int32_t parentTimestamp = open.empty() ? -1 : open.back().timestamp;
        // Only the names the hazards and the action have are worth resolving.
        const std::int32_t timestamp =
            IsOfInterest(local)
                ? Visit(Element{node, scope_.Resolve(scope_.Prefix(node)), local, open.size(), parentTimestamp})
                : -1;
        open.push_back(Frame{node, declared, timestamp});
        node = xpi_get_first_child(doc_, node);
        continue;
      }
      if (open.empty()) return;
      const Frame done = open.back();
      open.pop_back();
      scope_.Undeclare(done.declared);
      node = xpi_get_next_sibling(doc_, done.node);
    }
  }

  SoapHeaderFacts Take() {
    for (const Stamp& stamp : timestamps_) {
      std::string detail = "created=" + Shown(stamp.created) + " expires=" + Shown(stamp.expires);
      const auto created = DateTimeMs(stamp.created), expires = DateTimeMs(stamp.expires);
      if (created && expires) detail += " window=" + Seconds(*expires - *created);
      facts_.hazards[stamp.hazard].detail = std::move(detail);
    }
    return std::move(facts_);
  }

 private:
  struct Frame {
    void* node;
    std::uint32_t declared;
    std::int32_t timestamp;  // the timestamp it opens, or -1
  };
  struct Stamp {
    std::size_t hazard;  // its place in facts_.hazards
    std::string created, expires;
  };

  // A hazard of `kind`; its detail made only when the reader gives details.
  template <typename Detail>
  void Add(const char* kind, Detail detail) {
    facts_.hazards.push_back(Hazard{kind, withDetails_ ? detail() : std::string()});
  }

  std::string TargetText() const {
    return (target_->scheme.empty() ? std::string() : target_->scheme + "://") + target_->host +
           (target_->port.empty() ? std::string() : ":" + target_->port);
  }

  bool withDetails_;
  void* doc_ = nullptr;
  const capture::Url* target_ = nullptr;
  NamespaceScope scope_;
  SoapHeaderFacts facts_;
  std::vector<Stamp> timestamps_;
  std::vector<Frame> open_;  // the elements the walk is inside
};

SoapHeaderReader::SoapHeaderReader(Details details)
    : reader_(std::make_unique<Reader>(details == Details::kWith)) {}
SoapHeaderReader::~SoapHeaderReader() = default;

SoapHeaderFacts SoapHeaderReader::Read(const Envelope& envelope, const capture::Url* target) {
  void* doc = envelope.doc();
  if (envelope.element() == nullptr) return {};
  void* header = xpi_get_first_child(doc, envelope.element());
  if (header == nullptr) return {};
  OsStrMb name;
  xpi_get_node_name(doc, header, name, 0);
  if (name.CompareNoCase("Header") != 0) return {};
  return reader_->Read(doc, envelope.element(), header, target);
}

SoapHeaderFacts ReadSoapHeader(const Envelope& envelope, const capture::Url* target) {
  return SoapHeaderReader().Read(envelope, target);
}

std::string PasswordType(const Envelope& envelope, void* passwordElement) {
  if (passwordElement == nullptr) return "";
  NamespaceScope texts(envelope.doc());
  const std::string_view type = texts.AttributeValue(passwordElement, "Type");
  if (type.empty()) return "PasswordText";
  return std::string(type.substr(type.rfind('#') + 1));
}

}  // namespace analysis
