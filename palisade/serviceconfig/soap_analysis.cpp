#include "serviceconfig/soap_analysis.h"

#include "soapkit/soap_reader.h"
#include "soapkit/xml_tree_api.h"

namespace analysis {
namespace {

const char kContentTypeLabel[] = "Content-Type: ";
const char kBinaryMediaType[] = "application/soap+msbin1";
const char kWsAddressing10[] = "http://www.w3.org/2005/08/addressing";
const char kWsAddressingAugust2004[] = "http://schemas.xmlsoap.org/ws/2004/08/addressing";
const char kWsSecurityExtension[] =
    "http://docs.oasis-open.org/wss/2004/01/oasis-200401-wss-wssecurity-secext-1.0.xsd";
const char kWsSecurityUtility[] =
    "http://docs.oasis-open.org/wss/2004/01/oasis-200401-wss-wssecurity-utility-1.0.xsd";
const char kUserNameOverTransport[] = "UserNameOverTransport";
constexpr int kReaderOptions = 65538;

bool NameIs(void* doc, void* node, const char* expected) {
  OsStrMb name;
  xpi_get_node_name(doc, node, name, 0);
  return name.CompareNoCase(expected) == 0;
}

// The first attribute of `element` whose value equals one of `values`; its index, or -1.
template <std::size_t N>
int FirstAttributeValueAmong(void* doc, void* element, const char* const (&values)[N]) {
  for (void* attr = xpi_get_next_attr(doc, element, nullptr); attr; attr = xpi_get_next_attr(doc, element, attr)) {
    OsStrMb value;
    xpi_get_node_text(doc, attr, value);
    for (std::size_t i = 0; i < N; ++i) {
      if (value.CompareNoCase(values[i]) == 0) return static_cast<int>(i);
    }
  }
  return -1;
}

// A text is taken up to its first NUL character.
std::string TextOf(void* doc, void* node) {
  OsStrMb text;
  xpi_get_node_text(doc, node, text);
  return std::string(text.GetData());
}

// A reader holding one body's own copy, and its Envelope (NULL when there is none).
class Envelope {
 public:
  explicit Envelope(const OsStrBin& body) : reader_(kReaderOptions) {
    xfvOsStrConstructByStrDataIgnoringNulls(&copy_, &body);
    if (!reader_.load(copy_)) return;
    doc_ = reader_.getXpiDocument();
    void* root = xpi_get_document_root(doc_);
    if (root && NameIs(doc_, root, "Envelope")) element_ = root;
  }
  Envelope(const Envelope&) = delete;
  Envelope& operator=(const Envelope&) = delete;
  ~Envelope() { xfvOsStrDestruct(&copy_); }

  void* doc() const { return doc_; }
  void* element() const { return element_; }

 private:
  OsStrBin copy_;
  CSoapReader reader_;
  void* doc_ = nullptr;
  void* element_ = nullptr;
};

}  // namespace

bool IsBinaryContent(const std::string& header) {
  return header.find(kContentTypeLabel) != std::string::npos && header.find(kBinaryMediaType) != std::string::npos;
}

std::string GetAddressingVersion(const OsStrBin& body) {
  const Envelope envelope(body);
  if (envelope.element() == nullptr) return "";
  static const char* const kVersions[] = {kWsAddressing10, kWsAddressingAugust2004};
  switch (FirstAttributeValueAmong(envelope.doc(), envelope.element(), kVersions)) {
    case 0: return "";
    case 1: return "WSAddressingAugust2004";
    default: return "None";
  }
}

bool SetAuthenticationMode(const OsStrBin& body, SecuritySettings& security) {
  const Envelope envelope(body);
  void* doc = envelope.doc();
  if (envelope.element() == nullptr) return false;
  // Only the Envelope's first child can be its Header.
  void* header = xpi_get_first_child(doc, envelope.element());
  if (header == nullptr || !NameIs(doc, header, "Header")) return false;
  static const char* const kSecurityNamespaces[] = {kWsSecurityExtension, kWsSecurityUtility};
  for (void* child = xpi_get_first_child(doc, header); child; child = xpi_get_next_sibling(doc, child)) {
    if (!NameIs(doc, child, "Security")) continue;
    // The declaration must stand on the Security element itself.
    if (FirstAttributeValueAmong(doc, child, kSecurityNamespaces) < 0) continue;
    security.authenticationMode = kUserNameOverTransport;
    RetrieveUsernameAndPassword(doc, security, child);
    return true;
  }
  return false;
}

void RetrieveUsernameAndPassword(void* doc, SecuritySettings& security, void* node) {
  if (doc == nullptr || node == nullptr) return;
  for (void* token = xpi_get_first_child(doc, node); token; token = xpi_get_next_sibling(doc, token)) {
    if (!NameIs(doc, token, "UsernameToken") && !NameIs(doc, token, "BinarySecurityToken")) continue;
    for (void* item = xpi_get_first_child(doc, token); item; item = xpi_get_next_sibling(doc, item)) {
      if (NameIs(doc, item, "Username") || NameIs(doc, item, "UsernameToken")) {
        security.username = TextOf(doc, item);
      } else if (NameIs(doc, item, "Password") || NameIs(doc, item, "PasswordText")) {
        security.password = TextOf(doc, item);
      }
    }
  }
}

ConfigurationTypes DeriveConfiguration(const std::string& header, const OsStrBin& body) {
  ConfigurationTypes config;
  config.messageEncoding = IsBinaryContent(header) ? "binaryMessageEncoding" : "textMessageEncoding";
  config.transport = "KvHttpEngineTransport";
  config.addressingVersion = GetAddressingVersion(body);
  // The result is not needed: an empty authentication mode says the same.
  SetAuthenticationMode(body, config.security);
  return config;
}

}  // namespace analysis
