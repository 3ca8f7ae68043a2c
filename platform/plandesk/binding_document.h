// The configuration document of one service: a client configuration with one custom binding per
// port, for people to read and tools to parse.
//
//   <?xml version="1.0" encoding="utf-8"?>
//   <configuration>
//     <system.serviceModel>
//       <bindings>
//         <customBinding>
//           <binding name="PORT">
//             <security authenticationMode="UserNameOverTransport" userName="u" password="p" />
//             <textMessageEncoding addressingVersion="" />
//             <KvHttpEngineTransport />
//           </binding>
//
// The security element is there only when an authentication mode was set. The encoding element is
// named after the encoding ("binaryMessageEncoding", "textMessageEncoding"; any other value gives
// <messageEncoding name="VALUE">), the transport element after the transport ("KvHttpEngineTransport";
// any other value gives <transport kind="VALUE">). addressingVersion keeps the value as it was set
// ("" is WS-Addressing 1.0). No messageVersion is written: the values do not tell the SOAP version,
// and a guessed one would mislead the tools that read it.
#pragma once

#include <pugixml.hpp>

#include <string>

namespace plandesk {

// The values of one binding, UTF-8.
struct BindingValues {
  std::string messageEncoding;
  std::string transport;
  std::string addressingVersion;
  std::string authenticationMode;
  std::string userName;
  std::string password;
};

// Puts the binding named `port` into `document`: an existing binding of that name is updated in
// place (what it holds besides the elements and attributes written here stays), otherwise the
// binding is added after the others. Nothing else in the document changes. false, with `error`,
// when the document's root element is not <configuration>.
bool PutBinding(pugi::xml_document& document, const std::string& port, const BindingValues& values,
                std::string& error);

// The document as indented UTF-8 text with an XML declaration.
std::string RenderDocument(pugi::xml_document& document);

}  // namespace plandesk
