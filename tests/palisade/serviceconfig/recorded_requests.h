// Recorded requests as a recording proxy sees them, header text and body, with the binding each
// one should give.
#pragma once

#include "hostrt32/hostrt32.h"

#include <string>

namespace recorded {

struct Request {
  const char* name;
  std::string header;
  std::string body;
  // The binding it gives.
  const char* messageEncoding;
  const char* addressingVersion;
  const char* authenticationMode;
  const char* username;
  const char* password;

  OsStrBin Body() const {
    OsStrBin bytes;
    xfvOsStrConstructFromBytes(&bytes, body.data(), body.size());
    return bytes;
  }
};

// SOAP 1.2, WS-Addressing 1.0, a UsernameToken in a Security header that declares its own namespace.
inline const Request kSecuredSoap12 = {
    "SOAP 1.2, WS-Addressing 1.0, user name token",
    "POST /CalculatorService/Service.svc HTTP/1.1\r\n"
    "Content-Type: application/soap+xml; charset=utf-8; action=\"http://tempuri.org/ICalculator/Add\"\r\n"
    "Host: calc.example.test\r\n"
    "Content-Length: 1391",
    R"(<s:Envelope xmlns:s="http://www.w3.org/2003/05/soap-envelope" xmlns:a="http://www.w3.org/2005/08/addressing" xmlns:u="http://docs.oasis-open.org/wss/2004/01/oasis-200401-wss-wssecurity-utility-1.0.xsd">
  <s:Header>
    <a:Action s:mustUnderstand="1">http://tempuri.org/ICalculator/Add</a:Action>
    <a:MessageID>urn:uuid:5f0e8c2a-3b1d-4c7e-9a51-0d2f6b7e8a90</a:MessageID>
    <a:ReplyTo><a:Address>http://www.w3.org/2005/08/addressing/anonymous</a:Address></a:ReplyTo>
    <a:To s:mustUnderstand="1">https://calc.example.test/CalculatorService/Service.svc</a:To>
    <o:Security s:mustUnderstand="1" xmlns:o="http://docs.oasis-open.org/wss/2004/01/oasis-200401-wss-wssecurity-secext-1.0.xsd">
      <u:Timestamp u:Id="_0">
        <u:Created>2024-03-05T10:15:00.000Z</u:Created>
        <u:Expires>2024-03-05T10:20:00.000Z</u:Expires>
      </u:Timestamp>
      <o:UsernameToken u:Id="uuid-8c1f3e52-6a0b-4d2e-b7f4-19c3a5d6e7f8-1">
        <o:Username>alice</o:Username>
        <o:Password Type="http://docs.oasis-open.org/wss/2004/01/oasis-200401-wss-username-token-profile-1.0#PasswordText">s3cret&amp;more</o:Password>
      </o:UsernameToken>
    </o:Security>
  </s:Header>
  <s:Body>
    <Add xmlns="http://tempuri.org/"><a>2</a><b>3</b></Add>
  </s:Body>
</s:Envelope>)",
    "textMessageEncoding", "", "UserNameOverTransport", "alice", "s3cret&more"};

// SOAP 1.1 with the WS-Addressing submission of August 2004 and no Security header.
inline const Request kPlainSoap11 = {
    "SOAP 1.1, WS-Addressing August 2004, no security",
    "POST /Weather/Forecast.asmx HTTP/1.1\r\n"
    "Content-Type: text/xml; charset=utf-8\r\n"
    "SOAPAction: \"http://weather.example.test/GetForecast\"\r\n"
    "Host: weather.example.test",
    R"(<?xml version="1.0" encoding="utf-8"?>
<soap:Envelope xmlns:soap="http://schemas.xmlsoap.org/soap/envelope/" xmlns:wsa="http://schemas.xmlsoap.org/ws/2004/08/addressing">
  <soap:Header>
    <wsa:Action>http://weather.example.test/GetForecast</wsa:Action>
    <wsa:MessageID>uuid:0c3d9e4f-7a21-4b58-8e6d-2f1a0b9c8d7e</wsa:MessageID>
    <wsa:To>http://weather.example.test/Weather/Forecast.asmx</wsa:To>
  </soap:Header>
  <soap:Body>
    <GetForecast xmlns="http://weather.example.test/"><city>Oslo</city></GetForecast>
  </soap:Body>
</soap:Envelope>)",
    "textMessageEncoding", "WSAddressingAugust2004", "", "", ""};

// A Security header that declares its namespace but carries only a time stamp; no addressing.
inline const Request kSecurityWithoutToken = {
    "Security header without a token",
    "POST /Orders/OrderService.svc HTTP/1.1\r\n"
    "Content-Type: application/soap+xml; charset=utf-8\r\n"
    "Host: orders.example.test",
    R"(<s:Envelope xmlns:s="http://www.w3.org/2003/05/soap-envelope">
  <s:Header>
    <wsse:Security xmlns:wsse="http://docs.oasis-open.org/wss/2004/01/oasis-200401-wss-wssecurity-secext-1.0.xsd" xmlns:wsu="http://docs.oasis-open.org/wss/2004/01/oasis-200401-wss-wssecurity-utility-1.0.xsd">
      <wsu:Timestamp wsu:Id="TS-1">
        <wsu:Created>2024-03-05T10:16:30Z</wsu:Created>
        <wsu:Expires>2024-03-05T10:21:30Z</wsu:Expires>
      </wsu:Timestamp>
    </wsse:Security>
  </s:Header>
  <s:Body><GetOrder xmlns="http://orders.example.test/"><id>42</id></GetOrder></s:Body>
</s:Envelope>)",
    "textMessageEncoding", "None", "UserNameOverTransport", "", ""};

// The binary encoding announced, with a body the reader cannot load.
inline const Request kBinaryUnreadable = {
    "binary encoding, body not loadable",
    "POST /Silverlight/Service.svc HTTP/1.1\r\n"
    "Content-Type: application/soap+msbin1\r\n"
    "Host: app.example.test",
    std::string("\xFF\x00\x13\x7F\xFE garbage", 13),
    "binaryMessageEncoding", "", "", "", ""};

inline const Request* const kAll[] = {&kSecuredSoap12, &kPlainSoap11, &kSecurityWithoutToken, &kBinaryUnreadable};

}  // namespace recorded
