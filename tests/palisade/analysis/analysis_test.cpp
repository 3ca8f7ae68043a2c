// What one recorded request says about its binding: the encoding from the header text, the
// addressing version from the Envelope's own declarations, the security settings from the first
// Security header that declares a WS-Security namespace on itself.
#include "serviceconfig/soap_analysis.h"

#include "msbin1_writer.h"

#include <gtest/gtest.h>

#include <string>

namespace {

const char kSoap12[] = "http://www.w3.org/2003/05/soap-envelope";
const char kWsa10[] = "http://www.w3.org/2005/08/addressing";
const char kWsa2004[] = "http://schemas.xmlsoap.org/ws/2004/08/addressing";
const char kSecext[] = "http://docs.oasis-open.org/wss/2004/01/oasis-200401-wss-wssecurity-secext-1.0.xsd";
const char kUtility[] = "http://docs.oasis-open.org/wss/2004/01/oasis-200401-wss-wssecurity-utility-1.0.xsd";

OsStrBin Body(const std::string& bytes) {
  OsStrBin body;
  xfvOsStrConstructFromBytes(&body, bytes.data(), bytes.size());
  return body;
}

std::string Decl(const char* prefix, const char* ns) {
  return std::string(" xmlns:") + prefix + "=\"" + ns + "\"";
}

// An envelope with `envelopeAttributes` on it and `header` (if any) as its first child.
std::string Envelope(const std::string& envelopeAttributes, const std::string& header) {
  return "<s:Envelope" + Decl("s", kSoap12) + envelopeAttributes + ">" + header +
         "<s:Body><Ping xmlns=\"http://tempuri.org/\"/></s:Body></s:Envelope>";
}

std::string Header(const std::string& content) { return "<s:Header>" + content + "</s:Header>"; }

std::string Token(const std::string& user, const std::string& password) {
  return "<o:UsernameToken><o:Username>" + user + "</o:Username><o:Password>" + password +
         "</o:Password></o:UsernameToken>";
}

std::string Security(const std::string& declaration, const std::string& content) {
  return "<o:Security s:mustUnderstand=\"1\"" + declaration + ">" + content + "</o:Security>";
}

TEST(Analysis, EncodingFromTheHeaderText) {
  struct Case {
    const char* header;
    bool binary;
  };
  const Case cases[] = {
      {"POST /svc HTTP/1.1\r\nContent-Type: application/soap+msbin1\r\n", true},
      {"POST /svc HTTP/1.1\r\ncontent-type: application/soap+msbin1\r\n", false},
      {"POST /svc HTTP/1.1\r\nContent-Type:application/soap+msbin1\r\n", false},
      {"POST /svc HTTP/1.1\r\nContent-Type: text/xml\r\nX-Original: application/soap+msbin1\r\n", true},
      {"POST /svc HTTP/1.1\r\nContent-Type: application/SOAP+MSBIN1\r\n", false},
      {"POST /svc HTTP/1.1\r\nContent-Type: application/soap+msbinsession1\r\n", false},
      {"", false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(analysis::IsBinaryContent(c.header), c.binary) << c.header;
  }
}

TEST(Analysis, AddressingVersionFromTheEnvelopeOnly) {
  struct Case {
    const char* name;
    std::string body;
    const char* version;
  };
  std::string upper2004 = kWsa2004;
  for (char& c : upper2004) c = static_cast<char>(toupper(c));
  const Case cases[] = {
      {"WS-Addressing 1.0", Envelope(Decl("a", kWsa10), ""), ""},
      {"August 2004", Envelope(Decl("a", kWsa2004), ""), "WSAddressingAugust2004"},
      {"both, 2004 first", Envelope(Decl("b", kWsa2004) + Decl("a", kWsa10), ""), "WSAddressingAugust2004"},
      {"both, 1.0 first", Envelope(Decl("a", kWsa10) + Decl("b", kWsa2004), ""), ""},
      {"upper case", Envelope(Decl("a", upper2004.c_str()), ""), "WSAddressingAugust2004"},
      {"as a plain attribute value", Envelope(std::string(" s:role=\"") + kWsa2004 + "\"", ""),
       "WSAddressingAugust2004"},
      {"none", Envelope("", ""), "None"},
      {"only the path", Envelope(" xmlns:a=\"/2005/08/addressing\"", ""), "None"},
      {"declared on the Header", Envelope("", "<s:Header" + Decl("a", kWsa10) + "/>"), "None"},
      {"declared on a header element", Envelope("", Header("<a:To" + Decl("a", kWsa10) + ">x</a:To>")), "None"},
      {"ENVELOPE in capitals", "<s:ENVELOPE" + Decl("s", kSoap12) + Decl("a", kWsa2004) + "/>",
       "WSAddressingAugust2004"},
      {"document element not an Envelope", "<Envelopes" + Decl("a", kWsa2004) + "/>", ""},
      {"not XML", "GET / HTTP/1.1", ""},
      {"cut off", Envelope(Decl("a", kWsa2004), "").substr(0, 90), ""},
      {"empty", "", ""},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(analysis::GetAddressingVersion(Body(c.body)), c.version) << c.name;
  }
}

TEST(Analysis, SecurityHeaders) {
  struct Case {
    const char* name;
    std::string body;
    bool recognised;
    const char* username;
    const char* password;
  };
  const std::string secext = Decl("o", kSecext);
  const Case cases[] = {
      {"token under the extension namespace", Envelope("", Header(Security(secext, Token("jdoe", "pw")))), true,
       "jdoe", "pw"},
      {"utility namespace on Security", Envelope("", Header(Security(Decl("u", kUtility) + secext, Token("a", "b")))),
       true, "a", "b"},
      {"prefix declared on the Envelope only", Envelope(secext, Header(Security("", Token("jdoe", "pw")))), false,
       "", ""},
      {"declared on the Header only", Envelope("", "<s:Header" + secext + ">" + Security("", Token("x", "y")) +
                                                       "</s:Header>"),
       false, "", ""},
      {"first Security lacks it, second has the utility namespace",
       Envelope(secext, Header(Security("", Token("first", "1")) + Security(Decl("u", kUtility), Token("second", "2")))),
       true, "second", "2"},
      {"Body before the Header",
       "<s:Envelope" + Decl("s", kSoap12) + "><s:Body/>" + Header(Security(secext, Token("x", "y"))) + "</s:Envelope>",
       false, "", ""},
      {"Envelope without children", "<s:Envelope" + Decl("s", kSoap12) + "/>", false, "", ""},
      {"text before the Header",
       "<s:Envelope" + Decl("s", kSoap12) + ">x" + Header(Security(secext, Token("x", "y"))) + "</s:Envelope>", false,
       "", ""},
      {"two tokens: the second wins", Envelope("", Header(Security(secext, Token("one", "1") + Token("two", "2")))),
       true, "two", "2"},
      {"token without a password", Envelope("", Header(Security(secext, "<o:UsernameToken><o:Username>u</o:Username>"
                                                                        "</o:UsernameToken>"))),
       true, "u", ""},
      {"no token at all", Envelope("", Header(Security(secext, "<u:Timestamp/>"))), true, "", ""},
      {"binary token with a user name",
       Envelope("", Header(Security(secext, "<o:BinarySecurityToken><o:Username>cert-user</o:Username>"
                                            "</o:BinarySecurityToken>"))),
       true, "cert-user", ""},
      {"digest password and other names",
       Envelope("", Header(Security(secext, "<o:UsernameToken><o:UsernameToken>nested</o:UsernameToken>"
                                            "<o:PasswordText Type=\"#PasswordDigest\">ZGlnZXN0</o:PasswordText>"
                                            "<o:Nonce>n</o:Nonce></o:UsernameToken>"))),
       true, "nested", "ZGlnZXN0"},
      {"names ignore case and namespace",
       Envelope("", "<X:HEADER xmlns:X=\"urn:x\"><y:SECURITY xmlns:y=\"" + std::string(kSecext) +
                        "\"><y:usernametoken><USERNAME>up</USERNAME></y:usernametoken></y:SECURITY></X:HEADER>"),
       true, "up", ""},
      {"entity references resolved", Envelope("", Header(Security(secext, Token("a&amp;b", "&lt;&#x41;&gt;")))), true,
       "a&b", "<A>"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    SecuritySettings security{"before", "old user", "old password"};
    ASSERT_EQ(analysis::SetAuthenticationMode(Body(c.body), security), c.recognised);
    if (c.recognised) {
      EXPECT_EQ(security.authenticationMode, "UserNameOverTransport");
      // A field the token does not carry keeps what the caller had in it.
      EXPECT_EQ(security.username, *c.username ? c.username : "old user");
      EXPECT_EQ(security.password, *c.password ? c.password : "old password");
    } else {
      EXPECT_EQ(security.authenticationMode, "before");
      EXPECT_EQ(security.username, "old user");
      EXPECT_EQ(security.password, "old password");
    }
  }
}

TEST(Analysis, TextsArriveInTheAnsiCodePage) {
  const std::string body =
      Envelope("", Header(Security(Decl("o", kSecext), Token("J\xC3\xB6rg", "\xE2\x82\xAC-\xE4\xB8\xAD"))));
  SecuritySettings security;
  ASSERT_TRUE(analysis::SetAuthenticationMode(Body(body), security));
  EXPECT_EQ(security.username, "J\xF6rg");   // windows-1252
  EXPECT_EQ(security.password, "\x80-?");    // the euro sign is in it, the CJK character is not
}

TEST(Analysis, DeriveConfigurationOfWholeRequests) {
  const std::string wcf = Envelope(Decl("a", kWsa10), Header(Security(Decl("o", kSecext), Token("j.doe", "s3"))));
  struct Case {
    const char* name;
    std::string header, body;
    ConfigurationTypes expected;
  };
  const Case cases[] = {
      {"text with WS-Addressing 1.0 and a token", "Content-Type: application/soap+xml", wcf,
       {"textMessageEncoding", "KvHttpEngineTransport", "", {"UserNameOverTransport", "j.doe", "s3"}}},
      {"binary header over an unreadable body", "Content-Type: application/soap+msbin1", "\x01\x02\x03",
       {"binaryMessageEncoding", "KvHttpEngineTransport", "", {}}},
      {"plain SOAP 1.1", "Content-Type: text/xml",
       "<soap:Envelope xmlns:soap=\"http://schemas.xmlsoap.org/soap/envelope/\"><soap:Body/></soap:Envelope>",
       {"textMessageEncoding", "KvHttpEngineTransport", "None", {}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const ConfigurationTypes got = analysis::DeriveConfiguration(c.header, Body(c.body));
    EXPECT_EQ(got.messageEncoding, c.expected.messageEncoding);
    EXPECT_EQ(got.transport, c.expected.transport);
    EXPECT_EQ(got.addressingVersion, c.expected.addressingVersion);
    EXPECT_EQ(got.security.authenticationMode, c.expected.security.authenticationMode);
    EXPECT_EQ(got.security.username, c.expected.security.username);
    EXPECT_EQ(got.security.password, c.expected.security.password);
  }
}

TEST(Analysis, BinaryBodiesGiveTheBindingOfTheirTextTwin) {
  const std::string text = Envelope(Decl("a", kWsa10) + Decl("u", kUtility),
                                    Header("<a:Action s:mustUnderstand=\"1\">urn:ping</a:Action>" +
                                           Security(Decl("o", kSecext), "<u:Timestamp u:Id=\"_0\"/>" +
                                                                            Token("bin\xC3\xA4r", "p@ss"))));
  const std::string binary = testing_support::BinaryTwin(text);
  // The WS-Security namespace travels as a dictionary reference, not as text.
  ASSERT_EQ(binary.find("oasis-200401"), std::string::npos);

  const ConfigurationTypes fromText = analysis::DeriveConfiguration("Content-Type: application/soap+xml", Body(text));
  const ConfigurationTypes fromBinary =
      analysis::DeriveConfiguration("Content-Type: application/soap+msbin1", Body(binary));
  EXPECT_EQ(fromText.messageEncoding, "textMessageEncoding");
  EXPECT_EQ(fromBinary.messageEncoding, "binaryMessageEncoding");
  EXPECT_EQ(fromBinary.addressingVersion, fromText.addressingVersion);
  EXPECT_EQ(fromBinary.security.authenticationMode, "UserNameOverTransport");
  EXPECT_EQ(fromBinary.security.username, "bin\xE4r");
  EXPECT_EQ(fromBinary.security.username, fromText.security.username);
  EXPECT_EQ(fromBinary.security.password, fromText.security.password);
}

}  // namespace
