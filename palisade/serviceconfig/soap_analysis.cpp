#include "serviceconfig/soap_analysis.h"

#include "soapkit/soap_reader.h"
#include "serviceconfig/soap_namespaces.h"
#include "soapkit/xml_tree_api.h"

#include <initializer_list>

namespace analysis {
namespace {

const char kContentTypeLabel[] = "Content-Type: ";
const char kBinaryMediaType[] = "application/soap+msbin1";
const char kUserNameOverTransport[] = "UserNameOverTransport";
constexpr int kReaderOptions = 65538;

// Reads names and values of one document into a single handle, so that a walk allocates once.
class Texts {
 public:
  explicit Texts(void* doc) : doc_(doc) {}

  // true when the node's name (without prefix) is one of `names`, ignoring case.
  bool NameIn(void* node, std::initializer_list<const char*> names) {
    xpi_get_node_name(doc_, node, text_, 0);
    for (const char* name : names) {
      if (text_.CompareNoCase(name) == 0) return true;
    }
    return false;
  }

  // The first attribute of `element` whose value equals one of `values`; its index, or -1.
  int FirstAttributeValueAmong(void* element, std::initializer_list<const char*> values) {
    for (void* attr = xpi_get_next_attr(doc_, element, nullptr); attr; attr = xpi_get_next_attr(doc_, element, attr)) {
      xpi_get_node_text(doc_, attr, text_);
      int index = 0;
      for (const char* value : values) {
        if (text_.CompareNoCase(value) == 0) return index;
        ++index;
      }
    }
    return -1;
  }

  // A text is taken up to its first NUL character.
  std::string TextOf(void* node) {
    xpi_get_node_text(doc_, node, text_);
    return std::string(text_.GetData());
  }

 private:
  void* doc_;
  OsStrMb text_;
};

// The last password element of the tokens in a Security element, after filling `security` from
// them; NULL when they hold none.
void* ReadTokens(void* doc, SecuritySettings& security, void* node) {
  void* passwordElement = nullptr;
  if (doc == nullptr || node == nullptr) return passwordElement;
  Texts texts(doc);
  for (void* token = xpi_get_first_child(doc, node); token; token = xpi_get_next_sibling(doc, token)) {
    if (!texts.NameIn(token, {"UsernameToken", "BinarySecurityToken"})) continue;
    for (void* item = xpi_get_first_child(doc, token); item; item = xpi_get_next_sibling(doc, item)) {
      if (texts.NameIn(item, {"Username", "UsernameToken"})) {
        security.username = texts.TextOf(item);
      } else if (texts.NameIn(item, {"Password", "PasswordText"})) {
        security.password = texts.TextOf(item);
        passwordElement = item;
      }
    }
  }
  return passwordElement;
}

std::string AddressingVersionOf(const Envelope& envelope) {
  if (envelope.element() == nullptr) return "";
  switch (Texts(envelope.doc()).FirstAttributeValueAmong(envelope.element(), {kWsAddressing10, kWsAddressingAugust2004})) {
    case 0: return "";
    case 1: return "WSAddressingAugust2004";
    default: return "None";
  }
}

// The Security header's settings; its password element in `passwordElement`.
bool ReadSecurity(const Envelope& envelope, SecuritySettings& security, void*& passwordElement) {
  void* doc = envelope.doc();
  if (envelope.element() == nullptr) return false;
  Texts texts(doc);
  // Only the Envelope's first child can be its Header.
  void* header = xpi_get_first_child(doc, envelope.element());
  if (header == nullptr || !texts.NameIn(header, {"Header"})) return false;
  for (void* child = xpi_get_first_child(doc, header); child; child = xpi_get_next_sibling(doc, child)) {
    if (!texts.NameIn(child, {"Security"})) continue;
    // The declaration must stand on the Security element itself.
    if (texts.FirstAttributeValueAmong(child, {kWsSecurityExtension, kWsSecurityUtility}) < 0) continue;
    security.authenticationMode = kUserNameOverTransport;
    passwordElement = ReadTokens(doc, security, child);
    return true;
  }
  return false;
}

}  // namespace

bool IsBinaryContent(const std::string& header) {
  return header.find(kContentTypeLabel) != std::string::npos && header.find(kBinaryMediaType) != std::string::npos;
}

Envelope::Envelope(const OsStrBin& body) : reader_(kReaderOptions) {
  xfvOsStrConstructByStrDataIgnoringNulls(&copy_, &body);
  Load();
}

Envelope::Envelope(std::string_view bytes) : reader_(kReaderOptions) {
  xfvOsStrConstructFromBytes(&copy_, bytes.data(), bytes.size());
  Load();
}

Envelope::~Envelope() { xfvOsStrDestruct(&copy_); }

void Envelope::Load() {
  if (!reader_.load(copy_)) return;
  doc_ = reader_.getXpiDocument();
  void* root = xpi_get_document_root(doc_);
  if (root && Texts(doc_).NameIn(root, {"Envelope"})) element_ = root;
}

std::string GetAddressingVersion(const OsStrBin& body) { return AddressingVersionOf(Envelope(body)); }

bool SetAuthenticationMode(const OsStrBin& body, SecuritySettings& security) {
  void* passwordElement = nullptr;
  return ReadSecurity(Envelope(body), security, passwordElement);
}

void RetrieveUsernameAndPassword(void* doc, SecuritySettings& security, void* node) {
  ReadTokens(doc, security, node);
}

namespace {

// A binding whose body answers are still to come.
ConfigurationTypes FromHeader(const std::string& header) {
  ConfigurationTypes config;
  config.messageEncoding = IsBinaryContent(header) ? "binaryMessageEncoding" : "textMessageEncoding";
  config.transport = "KvHttpEngineTransport";
  return config;
}

}  // namespace

ConfigurationTypes DeriveConfiguration(const std::string& header, const OsStrBin& body) {
  ConfigurationTypes config = FromHeader(header);
  config.addressingVersion = GetAddressingVersion(body);
  // The result is not needed: an empty authentication mode says the same.
  SetAuthenticationMode(body, config.security);
  return config;
}

ConfigurationTypes DeriveConfiguration(const std::string& header, const Envelope& body, void** passwordElement) {
  ConfigurationTypes config = FromHeader(header);
  config.addressingVersion = AddressingVersionOf(body);
  void* password = nullptr;
  ReadSecurity(body, config.security, password);
  if (passwordElement) *passwordElement = password;
  return config;
}

}  // namespace analysis
