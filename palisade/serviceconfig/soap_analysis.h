// The SOAP message analysis: what one recorded request says about its service binding.
//
// Used by PlanDeskConfiguration and by the command line. Nothing here catches: errors raised by
// the SOAP reader (memory exhaustion) reach the caller.
#pragma once

#include "hostrt32/hostrt32.h"
#include "soapkit/soap_reader.h"

#include <string>
#include <string_view>

// The WS-Security settings of a binding.
struct SecuritySettings {
  std::string authenticationMode;  // "" or "UserNameOverTransport"
  std::string username;
  std::string password;
};

// The settings of one binding, built afresh for each update.
struct ConfigurationTypes {
  std::string messageEncoding;    // "binaryMessageEncoding" or "textMessageEncoding"
  std::string transport;          // always "KvHttpEngineTransport"
  std::string addressingVersion;  // "" (WS-Addressing 1.0 or no envelope), "WSAddressingAugust2004" or "None"
  SecuritySettings security;
};

namespace analysis {

// One body loaded into a SOAP reader of its own, and its Envelope element: NULL when the body does
// not load or its document element is not named Envelope. Handles stay valid while it lives.
class Envelope {
 public:
  // Loads the reader's own copy of `body`, as each analysis step of the exported class does.
  explicit Envelope(const OsStrBin& body);
  // Loads a copy of `bytes`.
  explicit Envelope(std::string_view bytes);
  Envelope(const Envelope&) = delete;
  Envelope& operator=(const Envelope&) = delete;
  ~Envelope();

  void* doc() const { return doc_; }
  void* element() const { return element_; }

 private:
  void Load();

  OsStrBin copy_;
  CSoapReader reader_;
  void* doc_ = nullptr;
  void* element_ = nullptr;
};

// true when the header text has "Content-Type: " and, anywhere, "application/soap+msbin1"
// (both case-sensitive).
bool IsBinaryContent(const std::string& header);
// The addressing version that the Envelope's own attributes declare; "" for WS-Addressing 1.0
// and for a body that is no loadable envelope.
std::string GetAddressingVersion(const OsStrBin& body);
// Fills `security` from the first Security header of the Envelope's Header that declares a
// WS-Security namespace on itself; true when one was found (otherwise `security` is untouched).
bool SetAuthenticationMode(const OsStrBin& body, SecuritySettings& security);
// The user name and password of the tokens in a Security element; the last ones win.
void RetrieveUsernameAndPassword(void* doc, SecuritySettings& security, void* node);
// The whole binding of one request; each body step parses its own copy of the body.
ConfigurationTypes DeriveConfiguration(const std::string& header, const OsStrBin& body);
// The same binding read from one loaded body. `passwordElement`, when given, receives the element
// the password was taken from (NULL when none was), valid while `body` lives.
ConfigurationTypes DeriveConfiguration(const std::string& header, const Envelope& body,
                                       void** passwordElement = nullptr);

}  // namespace analysis
