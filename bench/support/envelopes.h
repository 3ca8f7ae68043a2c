// Realistic SOAP envelopes of any size for the benchmarks: addressing headers, a Security header
// with a UsernameToken, and a body of as many order lines as the size asks for.
#pragma once

#include <cstddef>
#include <map>
#include <string>

namespace bench_support {

inline std::string Envelope(std::size_t size) {
  std::string xml =
      R"(<s:Envelope xmlns:s="http://www.w3.org/2003/05/soap-envelope" xmlns:a="http://www.w3.org/2005/08/addressing" )"
      R"(xmlns:u="http://docs.oasis-open.org/wss/2004/01/oasis-200401-wss-wssecurity-utility-1.0.xsd"><s:Header>)"
      R"(<a:Action s:mustUnderstand="1">http://tempuri.org/IOrderService/SubmitOrders</a:Action>)"
      R"(<a:MessageID>urn:uuid:6f1c2a8e-3b7d-4e52-9a0f-1d2c3b4a5e6f</a:MessageID>)"
      R"(<a:ReplyTo><a:Address>http://www.w3.org/2005/08/addressing/anonymous</a:Address></a:ReplyTo>)"
      R"(<a:To s:mustUnderstand="1">https://orders.example.com/OrderService.svc</a:To>)"
      R"(<o:Security s:mustUnderstand="1" xmlns:o="http://docs.oasis-open.org/wss/2004/01/oasis-200401-wss-wssecurity-secext-1.0.xsd">)"
      R"(<u:Timestamp u:Id="_0"><u:Created>2026-11-30T09:14:02.117Z</u:Created><u:Expires>2026-11-30T09:19:02.117Z</u:Expires></u:Timestamp>)"
      R"(<o:UsernameToken u:Id="uuid-1"><o:Username>j.doe</o:Username><o:Password>secret</o:Password></o:UsernameToken>)"
      R"(</o:Security></s:Header><s:Body><SubmitOrders xmlns="http://tempuri.org/">)";
  const std::string tail = "</SubmitOrders></s:Body></s:Envelope>";
  for (int line = 0; xml.size() + tail.size() < size; ++line) {
    xml += "<OrderLine id=\"" + std::to_string(line) +
           "\"><Sku>GT-2209</Sku><Quantity>12</Quantity><Note>Deliver to the loading dock &amp; call ahead</Note>"
           "</OrderLine>";
  }
  return xml + tail;
}

// Bodies are made once per size and kept: building a 16 MiB one takes longer than analysing it.
inline const std::string& TextBody(std::size_t size) {
  static std::map<std::size_t, std::string> bodies;
  auto it = bodies.find(size);
  if (it == bodies.end()) it = bodies.emplace(size, Envelope(size)).first;
  return it->second;
}

}  // namespace bench_support
