#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <pugixml.hpp>

#include "nbfx_encoder.h"
#include "nbfx_internal.h"
#include "nbfx_test_support.h"

namespace nbfx = soapkit::nbfx;
namespace fs = std::filesystem;

namespace {

using namespace nbfx_test;

// The encoder's side of GenericLookup: "strN" is id N.
int64_t GenericIdOf(void*, std::string_view s) {
  if (s.size() < 4 || s.substr(0, 3) != "str" || (s[3] == '0' && s.size() > 4)) return -1;
  int64_t id = 0;
  for (char c : s.substr(3)) {
    if (c < '0' || c > '9' || id > 1'000'000) return -1;
    id = id * 10 + (c - '0');
  }
  return id;
}

std::string Hex(const std::string& bytes) {
  static const char digits[] = "0123456789abcdef";
  std::string hex;
  for (unsigned char c : bytes) hex += {digits[c >> 4], digits[c & 15]};
  return hex;
}

std::string EncodeOrFail(const pugi::xml_document& doc, bool generic = false) {
  std::string out;
  const nbfx::EncodeResult r =
      nbfx::detail::EncodeWith(doc, out, generic ? GenericIdOf : nbfx::detail::StaticIdOf, nullptr);
  EXPECT_TRUE(r.ok) << r.error;
  EXPECT_EQ(r.ok, r.error.empty());
  return out;
}

// decode(encode(decode(b))) == decode(b), for a body that decodes; the encoding, or "" when `b`
// does not decode.
std::string ExpectRoundTrip(const Bytes& body, bool generic = false) {
  pugi::xml_document doc;
  std::map<uint32_t, std::string> strings;
  if (!nbfx::detail::DecodeWith(body.data(), body.size(), doc, generic ? GenericLookup : nbfx::detail::StaticLookup,
                                &strings)
           .ok) {
    return {};
  }
  const std::string encoded = EncodeOrFail(doc, generic);
  const Outcome again =
      DecodeBytes(reinterpret_cast<const unsigned char*>(encoded.data()), encoded.size(), generic);
  EXPECT_TRUE(again.ok) << again.error;
  EXPECT_EQ(again.xml, Serialize(doc));
  return encoded;
}

pugi::xml_document Parse(const std::string& xml) {
  pugi::xml_document doc;
  const unsigned options = pugi::parse_default | pugi::parse_comments | pugi::parse_ws_pcdata | pugi::parse_pi |
                           pugi::parse_doctype | pugi::parse_fragment;
  EXPECT_TRUE(doc.load_string(xml.c_str(), options)) << xml;
  return doc;
}

// ---- round trips -------------------------------------------------------------------------

TEST(NbfxEncode, PublishedVectorsRoundTrip) {
  const fs::path dir = NBFX_VECTORS_DIR;
  for (const std::string& name : VectorNames()) {
    SCOPED_TRACE(name);
    EXPECT_FALSE(ExpectRoundTrip(FromHex(testing_support::ReadFile(dir / (name + ".bin.hex")))).empty());
  }
}

// Where the reference's record is the one the encoder chooses, the bytes are the reference's.
// It chooses otherwise where the reference shows a wider length than the text needs, a text that
// does not close its element although it is the element's last child, a Decimal or Bool where a
// Float or True prints the same, or records the encoder never writes (arrays, lists, UTF-16 text,
// qualified names).
TEST(NbfxEncode, RecordExamplesRoundTripAndMatchTheReferenceWhereCanonical) {
  const std::set<std::string> otherChoice = {
      "Array", "Chars8Text", "Chars16Text", "Chars16TextWithEndElement", "Chars32Text",
      "Chars32TextWithEndElement", "Bytes8Text", "Bytes16Text", "Bytes16TextWithEndElement", "Bytes32Text",
      "Bytes32TextWithEndElement", "DecimalText", "StartListText", "EndListText", "EmptyTextWithEndElement",
      "UniqueIdText", "TimeSpanText", "UuidText", "UInt64Text", "BoolText", "BoolTextWithEndElement",
      "UnicodeChars8Text", "UnicodeChars8TextWithEndElement", "UnicodeChars16Text",
      "UnicodeChars16TextWithEndElement", "UnicodeChars32Text", "UnicodeChars32TextWithEndElement",
      "QNameDictionaryText", "QNameDictionaryTextWithEndElement"};
  size_t canonical = 0;
  for (const RecordExample& example : RecordExamples()) {
    SCOPED_TRACE(example.record);
    const std::string encoded = ExpectRoundTrip(FromHex(example.hex), /*generic=*/true);
    if (otherChoice.count(example.record) == 0) {
      ++canonical;
      EXPECT_EQ(Hex(encoded), example.hex);
    }
  }
  EXPECT_EQ(canonical, 54u);
}

TEST(NbfxEncode, EveryFuzzCorpusBodyThatDecodesRoundTrips) {
  size_t decoded = 0;
  for (const auto& entry : fs::directory_iterator(NBFX_CORPUS_DIR)) {
    SCOPED_TRACE(entry.path().filename().string());
    const std::string bytes = testing_support::ReadFile(entry.path());
    decoded += !ExpectRoundTrip(Bytes(bytes.begin(), bytes.end())).empty();
  }
  EXPECT_GE(decoded, 50u);
}

// White space inside the document element is kept, so these come back as written.
TEST(NbfxEncode, DocumentsComeBackAsWritten) {
  const char* documents[] = {
      "<a> \t <b>\n</b>  </a>",
      "<!--before--><s:E xmlns:s=\"http://www.w3.org/2003/05/soap-envelope\"><!--in--></s:E><!--after-->",
      "<a><b/>x<c/><!--c-->y</a>",
      "<pfx:a xmlns:pfx=\"urn:x\" pfx:b=\"1\" c=\"007\"><pfx:d>1.10</pfx:d></pfx:a>",
      "<a xmlns=\"http://www.w3.org/2005/08/addressing\"><Action>&lt;&amp;&gt;\"'</Action></a>",
      "<a v=\"\"></a>",
      "<a>caf\xC3\xA9 \xF0\x9F\x98\x80</a>",
  };
  for (const char* xml : documents) {
    SCOPED_TRACE(xml);
    const pugi::xml_document doc = Parse(xml);
    const std::string encoded = EncodeOrFail(doc);
    const Outcome back = DecodeBytes(reinterpret_cast<const unsigned char*>(encoded.data()), encoded.size());
    ASSERT_TRUE(back.ok) << back.error;
    EXPECT_EQ(back.xml, Serialize(doc));
  }
}

// ---- what is written ---------------------------------------------------------------------

// The record a text becomes, as the value of <doc v="...">: a typed one only where the decoder
// prints exactly that text back.
TEST(NbfxEncode, TypedRecordsOnlyWhereTheTextComesBackToTheLetter) {
  const std::vector<std::pair<const char*, const char*>> cases = {
      {"0", "80"},
      {"1", "82"},
      {"false", "84"},
      {"true", "86"},
      {"-34", "88de"},
      {"128", "8a8000"},
      {"123456789", "8c15cd5b07"},
      {"2147483648", "8e0000008000000000"},
      {"18446744073709551615", "b2ffffffffffffffff"},
      {"1.1", "90cdcc8c3f"},
      {"-0", "9000000080"},
      {"INF", "900000807f"},
      {"2.71828182845905", "927457148b0abf0540"},
      {"79228162514264337593543950335", "9400000000ffffffffffffffffffffffff"},
      {"100000000000000000000", "940000000005000000000010632d5ec76b"},
      {"2006-05-17T00:00:00", "9600408ef95b47c808"},
      {"2006-05-17T00:00:00Z", "9600408ef95b47c848"},
      {"-PT5M44S", "ae00c4f532ffffffff"},
      {"-P10675199DT2H48M5.4775808S", "ae0000000000000080"},
      {"03020100-0504-0706-0809-0a0b0c0d0e0f", "b0000102030405060708090a0b0c0d0e0f"},
      {"urn:uuid:33221100-5544-7766-8899-aabbccddeeff", "ac00112233445566778899aabbccddeeff"},
      {"AAECAwQFBgc=", "9e080001020304050607"},
      {"", "a8"},
      {"http://www.w3.org/2005/08/addressing", "aa06"},
      // Texts that no typed record prints back.
      {"007", "9803303037"},
      {"1.10", "9804312e3130"},
      {"1.0", "9803312e30"},
      {"False", "980546616c7365"},
      {" 1", "98022031"},
      {"1 ", "98023120"},
      {"+1", "98022b31"},
      {"01", "98023031"},
      {"1e7", "9803316537"},
      {"2006-05-17T00:00:00+02:00", "9819323030362d30352d31375430303a30303a30302b30323a3030"},
      {"AAECAwQFBgc", "980b4141454341775146426763"},
      {"79228162514264337593543950336", "981d3739323238313632353134323634333337353933353433393530333336"},
      {"P10675199DT2H48M5.4775808S", "981a5031303637353139394454324834384d352e3437373538303853"},
      {"P1844674407370955161D", "9815503138343436373434303733373039353531363144"},
  };
  for (const auto& [text, record] : cases) {
    SCOPED_TRACE(text);
    pugi::xml_document doc;
    doc.append_child("doc").append_attribute("v") = text;
    EXPECT_EQ(Hex(EncodeOrFail(doc)), std::string("4003646f63040176") + record + "01");
  }
}

// The length of a text and of its bytes takes the narrowest field; a last child closes its element.
TEST(NbfxEncode, LengthFieldsAndClosingRecords) {
  const std::vector<std::pair<size_t, uint8_t>> cases = {
      {255, 0x99}, {256, 0x9b}, {65535, 0x9b}, {65536, 0x9d}};
  for (const auto& [size, type] : cases) {
    SCOPED_TRACE(size);
    pugi::xml_document doc;
    doc.append_child("doc").text() = std::string(size, '.').c_str();
    const std::string chars = EncodeOrFail(doc);
    ASSERT_GT(chars.size(), 5u);
    EXPECT_EQ(static_cast<uint8_t>(chars[5]), type);
    EXPECT_EQ(chars.size(), 6 + (type == 0x99 ? 1u : type == 0x9b ? 2u : 4u) + size);

    // Bytes of the same count: a base64 text of them.
    std::string base64;
    for (size_t i = 0; i < size / 3; ++i) base64 += "AAAA";
    base64 += size % 3 == 1 ? "AA==" : size % 3 == 2 ? "AAA=" : "";
    doc.first_child().text() = base64.c_str();
    const std::string bytes = EncodeOrFail(doc);
    EXPECT_EQ(static_cast<uint8_t>(bytes[5]), type + 6) << "Bytes record of the same width";
  }
  // "x" is not the last child: Chars8Text, then <e> (a dictionary name) and two EndElements.
  EXPECT_EQ(Hex(EncodeOrFail(Parse("<doc>x<e/></doc>"))), "4003646f63" "980178" "42f404" "01" "01");
}

// ---- what is refused ---------------------------------------------------------------------

TEST(NbfxEncode, RefusesWhatTheDecoderWouldNotReadBack) {
  struct Case {
    const char* name;
    std::function<void(pugi::xml_document&)> build;
    const char* why;
  };
  const auto xml = [](const char* text) {
    return [text](pugi::xml_document& doc) { doc.reset(Parse(text)); };
  };
  const std::vector<Case> cases = {
      {"processing instruction", xml("<a><?pi x?></a>"), "processing instruction"},
      {"DOCTYPE", xml("<!DOCTYPE a [<!ENTITY x 'y'>]><a>&x;</a>"), "DOCTYPE"},
      {"text outside", xml("x<a/>"), "outside every element"},
      {"element name", [](auto& doc) { doc.append_child("1a"); }, "element name '1a'"},
      {"two colons", [](auto& doc) { doc.append_child("a:b:c"); }, "element name"},
      {"empty prefix", [](auto& doc) { doc.append_child(":a"); }, "element name"},
      {"attribute name", [](auto& doc) { doc.append_child("a").append_attribute("b c"); }, "attribute name"},
      {"xmlns prefix", [](auto& doc) { doc.append_child("a").append_attribute("xmlns:1") = "u"; },
       "namespace prefix"},
      {"xmlns declared", xml("<a xmlns:xmlns='u'/>"), "prefix xmlns is reserved"},
      {"comment with --", xml("<a><!--a--b--></a>"), "\"--\""},
      {"comment ending in -", [](auto& doc) { doc.append_child(pugi::node_comment).set_value("a-"); }, "'-'"},
      {"text not UTF-8", [](auto& doc) { doc.append_child("a").text() = "\xff"; }, "text"},
      {"overlong attribute value",
       [](auto& doc) { doc.append_child("a").append_attribute("v") = "\xc0\x80"; }, "attribute value"},
      {"surrogate in a comment",
       [](auto& doc) { doc.append_child(pugi::node_comment).set_value("\xed\xa0\x80"); }, "comment"},
      {"nothing", [](auto&) {}, "empty"},
      {"1025 deep",
       [](auto& doc) {
         pugi::xml_node node = doc;
         for (int i = 0; i < 1025; ++i) node = node.append_child("a");
       },
       "deeper than 1024"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    pugi::xml_document doc;
    c.build(doc);
    std::string out = "stale";
    const nbfx::EncodeResult r = nbfx::Encode(doc, out);
    EXPECT_FALSE(r.ok);
    EXPECT_NE(r.error.find(c.why), std::string::npos) << r.error;
    EXPECT_EQ(r.error.find('\n'), std::string::npos);
    EXPECT_TRUE(out.empty());
  }
}

TEST(NbfxEncode, TheDeepestDocumentTheDecoderReads) {
  pugi::xml_document doc;
  pugi::xml_node node = doc;
  for (int i = 0; i < 1024; ++i) node = node.append_child("a");
  const std::string encoded = EncodeOrFail(doc);
  EXPECT_TRUE(ExpectRoundTrip(Bytes(encoded.begin(), encoded.end())).size() == encoded.size());
}

// A body made of the table's longest strings alone would outgrow the decoder's string budget: it
// is written without the dictionary, which the budget always holds.
TEST(NbfxEncode, ABodyOfLongDictionaryStringsIsWrittenOut) {
  const std::string longest = "http://docs.oasis-open.org/wss/2004/01/oasis-200401-wss-x509-token-profile-1.0#X509SubjectKeyIdentifier";
  for (const int children : {10, 10000}) {
    SCOPED_TRACE(children);
    pugi::xml_document doc;
    pugi::xml_node root = doc.append_child("a");
    for (int i = 0; i < children; ++i) root.append_child("Action").text() = longest.c_str();
    const std::string encoded = EncodeOrFail(doc);
    EXPECT_EQ(encoded.find(longest) != std::string::npos, children == 10000);
    EXPECT_FALSE(ExpectRoundTrip(Bytes(encoded.begin(), encoded.end())).empty());
  }
}

}  // namespace
