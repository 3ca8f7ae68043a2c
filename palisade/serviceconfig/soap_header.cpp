#include "serviceconfig/soap_header.h"

#include "soapkit/xml_tree_api.h"

#include <cstdint>
#include <unordered_map>
#include <vector>

namespace analysis {
namespace {

const char kWsAddressing10[] = "http://www.w3.org/2005/08/addressing";
const char kWsAddressingAugust2004[] = "http://schemas.xmlsoap.org/ws/2004/08/addressing";

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

// One element of the Header met in the walk.
struct Element {
  void* node;
  const std::string& ns;
  const std::string& local;
  std::size_t depth;  // 0 for the Header's children
};

class HeaderReader {
 public:
  explicit HeaderReader(void* doc) : doc_(doc), scope_(doc) {}

  void Visit(const Element& element) {
    if (element.depth == 0 && facts_.action.empty() && element.local == "Action" && IsAddressing(element.ns)) {
      facts_.action = scope_.Text(element.node);
    }
  }

  // Depth first, in document order, with a stack of our own: Headers nest as deep as a body can.
  void Walk(void* envelope, void* header) {
    struct Frame {
      void* node;
      std::uint32_t declared;
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
        Visit(Element{node, scope_.Resolve(scope_.Prefix(node)), local, open.size()});
        open.push_back(Frame{node, declared});
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

  SoapHeaderFacts Take() { return std::move(facts_); }

 private:
  void* doc_;
  NamespaceScope scope_;
  SoapHeaderFacts facts_;
};

}  // namespace

SoapHeaderFacts ReadSoapHeader(const Envelope& envelope) {
  void* doc = envelope.doc();
  if (envelope.element() == nullptr) return {};
  void* header = xpi_get_first_child(doc, envelope.element());
  OsStrMb name;
  xpi_get_node_name(doc, header, name, 0);
  if (header == nullptr || name.CompareNoCase("Header") != 0) return {};
  HeaderReader reader(doc);
  reader.Walk(envelope.element(), header);
  return reader.Take();
}

}  // namespace analysis
