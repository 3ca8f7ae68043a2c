#include "serviceconfig/soap_header.h"

#include "serviceconfig/soap_namespaces.h"
#include "soapkit/xml_tree_api.h"

#include <cctype>
#include <cstdint>
#include <cstdio>
#include <optional>
#include <unordered_map>
#include <vector>

namespace analysis {
namespace {

const char kXmlSignature[] = "http://www.w3.org/2000/09/xmldsig#";
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

bool EndsWith(const std::string& text, const std::string& end) {
  return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

// Milliseconds since 1970 of an xsd:dateTime ("2026-11-30T09:14:02.117Z", an offset or none,
// which counts as UTC); nothing when it is not one.
std::optional<std::int64_t> DateTimeMs(const std::string& text) {
  int year, month, day, hour, minute, second, used = 0;
  if (std::sscanf(text.c_str(), "%4d-%2d-%2dT%2d:%2d:%2d%n", &year, &month, &day, &hour, &minute, &second, &used) != 6 ||
      month < 1 || month > 12 || day < 1 || day > 31 || hour > 24 || minute > 59 || second > 60) {
    return std::nullopt;
  }
  std::size_t at = static_cast<std::size_t>(used);
  std::int64_t ms = 0;
  if (at < text.size() && text[at] == '.') {
    std::int64_t scale = 100;
    for (++at; at < text.size() && std::isdigit(static_cast<unsigned char>(text[at])); ++at, scale /= 10) {
      ms += (text[at] - '0') * scale;
    }
  }
  std::int64_t offsetMinutes = 0;
  const std::string zone = text.substr(at);
  int zoneHours = 0, zoneMinutes = 0;
  if (zone == "Z" || zone.empty()) {
  } else if ((zone[0] == '+' || zone[0] == '-') && std::sscanf(zone.c_str() + 1, "%2d:%2d", &zoneHours, &zoneMinutes) == 2) {
    offsetMinutes = (zone[0] == '-' ? -1 : 1) * (zoneHours * 60 + zoneMinutes);
  } else {
    return std::nullopt;
  }
  // Days from the civil date (proleptic Gregorian).
  const int y = year - (month <= 2);
  const int era = (y >= 0 ? y : y - 399) / 400;
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

// The namespace declarations in force at one element of a walk.
class NamespaceScope {
 public:
  explicit NamespaceScope(void* doc) : doc_(doc) {}

  // Brings the element's own declarations into force; returns how many it made.
  std::uint32_t Declare(void* element) {
    std::uint32_t count = 0;
    for (void* attr = xpi_get_next_attr(doc_, element, nullptr); attr; attr = xpi_get_next_attr(doc_, element, attr)) {
      const std::string prefix = Prefix(attr), name = Name(attr);
      if (prefix != "xmlns" && !(prefix.empty() && name == "xmlns")) continue;
      const std::string declared = prefix.empty() ? std::string() : name;
      uris_[declared].push_back(Text(attr));
      declared_.push_back(declared);
      ++count;
    }
    return count;
  }
  // Ends the last `count` declarations.
  void Undeclare(std::uint32_t count) {
    for (; count > 0; --count) {
      uris_[declared_.back()].pop_back();
      declared_.pop_back();
    }
  }
  // The namespace of an element named with `prefix`; "" when none is declared.
  const std::string& Resolve(const std::string& prefix) const {
    static const std::string kNone;
    const auto it = uris_.find(prefix);
    return it == uris_.end() || it->second.empty() ? kNone : it->second.back();
  }

  std::string Name(void* node) { return Fetch(xpi_get_node_name(doc_, node, text_, 0)); }
  std::string Prefix(void* node) { return Fetch(xpi_get_node_prefix(doc_, node, text_)); }
  std::string Text(void* node) { return Fetch(xpi_get_node_text(doc_, node, text_)); }

 private:
  // Texts are taken up to their first NUL, as the analysis takes them.
  std::string Fetch(int) { return std::string(text_.GetData()); }

  void* doc_;
  OsStrMb text_;
  std::unordered_map<std::string, std::vector<std::string>> uris_;  // prefix ("" the default) -> in force, innermost last
  std::vector<std::string> declared_;                                 // prefixes in declaration order
};

bool IsAddressing(const std::string& ns) { return ns == kWsAddressing10 || ns == kWsAddressingAugust2004; }

// The value of an unprefixed attribute of `element`; "" when it has none.
std::string AttributeValue(NamespaceScope& texts, void* doc, void* element, const char* name) {
  for (void* attr = xpi_get_next_attr(doc, element, nullptr); attr; attr = xpi_get_next_attr(doc, element, attr)) {
    if (texts.Prefix(attr).empty() && texts.Name(attr) == name) return texts.Text(attr);
  }
  return {};
}

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
  const std::string& ns;
  const std::string& local;
  std::size_t depth;         // 0 for the Header's children
  std::int32_t inTimestamp;  // the timestamp whose child this is (an index of timestamps_), or -1
};

class HeaderReader {
 public:
  HeaderReader(void* doc, const capture::Url* target) : doc_(doc), target_(target), scope_(doc) {}

  // The timestamp this element opens (an index of timestamps_), or -1.
  std::int32_t Visit(const Element& element) {
    const std::string& ns = element.ns;
    const std::string& local = element.local;
    if (IsAddressing(ns)) {
      if (local == "Action" && element.depth == 0 && facts_.action.empty()) facts_.action = scope_.Text(element.node);
      if (local == "MessageID") Add("message-id", Shown(scope_.Text(element.node)));
      if (local == "To" && target_ != nullptr) {
        const std::string to = scope_.Text(element.node);
        if (NamesAnotherTarget(to, *target_)) Add("to-mismatch", "to=" + Shown(to) + " target=" + TargetText());
      }
    } else if (ns == kWsSecurityUtility) {
      if (local == "Timestamp") {
        Add("timestamp", "");
        timestamps_.push_back({facts_.hazards.size() - 1, {}, {}});
        return static_cast<std::int32_t>(timestamps_.size() - 1);
      }
      if (element.inTimestamp >= 0 && (local == "Created" || local == "Expires")) {
        Stamp& stamp = timestamps_[static_cast<std::size_t>(element.inTimestamp)];
        (local == "Created" ? stamp.created : stamp.expires) = scope_.Text(element.node);
      }
    } else if (ns == kWsSecurityExtension) {
      if (local == "Nonce") Add("nonce", Shown(scope_.Text(element.node)));
      if (local == "Password" && EndsWith(AttributeValue(scope_, doc_, element.node, "Type"), kDigestType)) {
        Add("digest", "clear password needed");
      }
    } else if (ns == kXmlSignature && local == "Signature") {
      Add("signature", "signed parts cannot be edited");
    }
    return -1;
  }

  // Depth first, in document order, with a stack of our own: Headers nest as deep as a body can.
  void Walk(void* envelope, void* header) {
    struct Frame {
      void* node;
      std::uint32_t declared;
      std::int32_t timestamp;  // the timestamp it opens, or -1
    };
    std::vector<Frame> open;
    scope_.Declare(envelope);
    scope_.Declare(header);
    void* node = xpi_get_first_child(doc_, header);
    for (;;) {
      if (node != nullptr) {
        const std::string local = scope_.Name(node);
        if (local.empty()) {  // text
          node = xpi_get_next_sibling(doc_, node);
          continue;
        }
        const std::uint32_t declared = scope_.Declare(node);
        const std::int32_t parentTimestamp = open.empty() ? -1 : open.back().timestamp;
        const std::int32_t timestamp =
            Visit(Element{node, scope_.Resolve(scope_.Prefix(node)), local, open.size(), parentTimestamp});
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
  struct Stamp {
    std::size_t hazard;  // its place in facts_.hazards
    std::string created, expires;
  };

  void Add(const char* kind, std::string detail) { facts_.hazards.push_back(Hazard{kind, std::move(detail)}); }

  std::string TargetText() const {
    return (target_->scheme.empty() ? std::string() : target_->scheme + "://") + target_->host +
           (target_->port.empty() ? std::string() : ":" + target_->port);
  }

  void* doc_;
  const capture::Url* target_;
  NamespaceScope scope_;
  SoapHeaderFacts facts_;
  std::vector<Stamp> timestamps_;
};

}  // namespace

SoapHeaderFacts ReadSoapHeader(const Envelope& envelope, const capture::Url* target) {
  void* doc = envelope.doc();
  if (envelope.element() == nullptr) return {};
  void* header = xpi_get_first_child(doc, envelope.element());
  OsStrMb name;
  xpi_get_node_name(doc, header, name, 0);
  if (header == nullptr || name.CompareNoCase("Header") != 0) return {};
  HeaderReader reader(doc, target);
  reader.Walk(envelope.element(), header);
  return reader.Take();
}

std::string PasswordType(const Envelope& envelope, void* passwordElement) {
  if (passwordElement == nullptr) return "";
  NamespaceScope texts(envelope.doc());
  const std::string type = AttributeValue(texts, envelope.doc(), passwordElement, "Type");
  if (type.empty()) return "PasswordText";
  return type.substr(type.rfind('#') + 1);
}

}  // namespace analysis
