#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <pugixml.hpp>

#include "nbfx_decoder.h"
#include "nbfx_internal.h"
#include "nbfx_test_support.h"
#include "temp_dir.h"
#include "test_system.h"

namespace nbfx = soapkit::nbfx;
namespace fs = std::filesystem;

namespace {

using namespace nbfx_test;

// ---- reference vectors -----------------------------------------------------------------

class VectorTest : public testing::TestWithParam<std::string> {};

TEST_P(VectorTest, DecodesToItsXml) {
  const fs::path dir = NBFX_VECTORS_DIR;
  const Outcome got = DecodeBytes(FromHex(testing_support::ReadFile(dir / (GetParam() + ".bin.hex"))));
  ASSERT_TRUE(got.ok) << got.error;
  EXPECT_EQ(got.xml, testing_support::ReadFile(dir / (GetParam() + ".xml")));
}

INSTANTIATE_TEST_SUITE_P(Nbfx, VectorTest, testing::ValuesIn(VectorNames()),
                         [](const auto& info) { return TestName(info.param); });

TEST(NbfxReference, AllVectorsAndExamplesArePresent) {
  EXPECT_GE(VectorNames().size(), 3u);
  EXPECT_EQ(RecordExamples().size(), 83u);
}

class RecordExampleTest : public testing::TestWithParam<RecordExample> {};

TEST_P(RecordExampleTest, DecodesToTheCharactersShown) {
  const Outcome got = DecodeBytes(FromHex(GetParam().hex), /*generic=*/true);
  ASSERT_TRUE(got.ok) << got.error;
  EXPECT_EQ(got.xml, GetParam().xml);
}

INSTANTIATE_TEST_SUITE_P(Nbfx, RecordExampleTest, testing::ValuesIn(RecordExamples()),
                         [](const auto& info) { return info.param.record; });

// ---- decoding that succeeds ------------------------------------------------------------

struct Case {
  const char* name;
  const char* hex;
  const char* want;  // serialised XML on success, a fragment of the error otherwise
};

void RunTable(const std::vector<Case>& cases, bool succeed) {
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const Outcome got = DecodeHex(c.hex);
    if (succeed) {
      ASSERT_TRUE(got.ok) << got.error;
      EXPECT_EQ(got.xml, c.want);
    } else {
      ASSERT_FALSE(got.ok) << got.xml;
      EXPECT_NE(got.error.find(c.want), std::string::npos) << got.error;
      EXPECT_EQ(got.error.find('\n'), std::string::npos);
    }
  }
}

TEST(NbfxDecode, StaticDictionary) {
  RunTable({
      {"first entry", "420001", "<mustUnderstand></mustUnderstand>"},
      {"last entry", "42cc0701", "<detail></detail>"},
      {"one-byte id as text", "400161aa7e01", "<a>http://schemas.xmlsoap.org/ws/2005/02/trust</a>"},
      {"two-byte id as text", "400161aa800101",
       "<a>http://schemas.xmlsoap.org/ws/2005/02/trust#BinarySecret</a>"},
      {"0xA2 is empty text", "400161aaa20101", "<a></a>"},
      {"0x1A8 keeps its space", "4001610aa80301",
       "<a xmlns=\" http://schemas.xmlsoap.org/ws/2005/02/trust/tlsnego\"></a>"},
      {"prefixed names", "56020b0173041e0aa801",
       "<s:Envelope xmlns:s=\"http://www.w3.org/2003/05/soap-envelope\" s:Action=\"\"></s:Envelope>"},
  }, true);
  RunTable({
      {"past the table", "42ce0701", "past the end"},
      {"odd id", "420101", "odd ids"},
      {"odd id as text", "400161ab03", "odd ids"},
      {"empty entry as a name", "42a20101", "element name is empty"},
      {"URL entry as a name", "420401", "not an XML name"},
  }, false);
}

TEST(NbfxDecode, Structure) {
  RunTable({
      {"comment at top level", "0203616263" "0200", "<!--abc--><!---->"},
      {"mixed content keeps order", "4001619801780201784001620198017901",
       "<a>x<!--x--><b></b>y</a>"},
      {"text runs merge", "400161887b8498026869a801", "<a>123falsehi</a>"},
      {"array at top level", "03400161040162a801b503010001",
       "<a b=\"\">true</a><a b=\"\">false</a><a b=\"\">true</a>"},
      {"array inside content", "400161980178" "03400162018d02" "01000000" "ffffffff" "01",
       "<a>x<b>1</b><b>-1</b></a>"},
      {"attributes in wire order", "400161040162840801780a0601",
       "<a b=\"false\" xmlns=\"x\" xmlns=\"http://www.w3.org/2005/08/addressing\"></a>"},
      {"list in content", "400161a4887b86a601", "<a>123 true</a>"},
      {"empty list", "400161040162a4a601", "<a b=\"\"></a>"},
      {"white space kept", "400161980320092040016298010a0101", "<a> \t <b>\n</b></a>"},
  }, true);
}

TEST(NbfxDecode, Failures) {
  RunTable({
      {"empty input", "", "empty input"},
      {"reserved 0x00", "00", "reserved"},
      {"reserved 0x78", "40016178", "reserved"},
      {"reserved 0x7F", "4001617f", "reserved"},
      {"reserved 0xA5", "400161a5", "reserved"},
      {"reserved 0xA7", "400161a7", "reserved"},
      {"reserved 0xBE", "400161be", "reserved"},
      {"reserved 0xFF", "400161ff", "reserved"},
      {"attribute with no element", "04016280", "no element"},
      {"attribute after text", "4001618004016280 01", "content"},
      {"attribute after child", "400161400162010401638001", "content"},
      {"attribute after last end", "400161010401628001", "no element"},
      {"end with nothing open", "01", "no open element"},
      {"one end too many", "4001610101", "no open element"},
      {"unclosed", "400161", "1 element(s) still open"},
      {"unclosed nested", "40016140016201", "1 element(s) still open"},
      {"text at top level", "980161", "outside any element"},
      {"text-with-end at top level", "81", "outside any element"},
      {"WithEndElement as attribute value", "4001610401628101", "closes an element"},
      {"element as attribute value", "4001610401624001", "not a text record"},
      {"bool 2", "400161b40201", "neither 0 nor 1"},
      {"qname prefix 26", "400161bc1a0001", "past 'z'"},
      {"array count 0", "0340016101b500", "no values"},
      {"array value type", "0340016101b40101", "fixed-size"},
      {"array Int8 values", "034001610189017f", "fixed-size"},
      {"array not closed", "03400161b50101", "closed right after"},
      {"array without element", "0301", "does not start with an element"},
      {"array past input", "034001610195010000", "runs past the end"},
      {"array huge count", "03400161018dffffffff0700", "2147483647 values"},
      {"nested list", "400161040162a4a4a6a601", "do not nest"},
      {"unterminated list", "400161040162a488", "cut short"},
      {"list end alone", "400161a601", "without StartListText"},
      {"element in list", "400161040162a44001", "not text"},
      {"with-end in list", "400161040162a481a601", "closes an element"},
      {"xmlns as attribute name", "4001610405786d6c6e738001", "reserved"},
      {"xmlns as attribute prefix", "4001610505786d6c6e730162" "8001", "reserved"},
      {"xmlns as declared prefix", "4001610905786d6c6e730178" "01", "reserved"},
      {"comment with --", "0204612d2d62", "\"--\""},
      {"comment ending in -", "0202612d", "ends in '-'"},
      {"decimal scale 29", "400161940000" "1d00" "00000000" "0100000000000000" "01", "scale"},
      {"decimal sign byte", "400161940000" "0001" "000000000100000000000000" "01", "sign"},
      {"decimal reserved", "400161940100" "0000" "000000000100000000000000" "01", "reserved"},
      {"datetime kind 3", "40016196" "40e31485c850c1c8" "01", "kind is 3"},
      {"datetime year 10000", "40016196" "004037f47528ca2b" "01", "9999"},
  }, false);
}

TEST(NbfxDecode, LengthsAndTruncation) {
  RunTable({
      {"Chars32 2 GB", "4001619cffffff7f6101", "length 2147483647 runs past"},
      {"Bytes32 2 GB", "400161a2ffffff7f6101", "length 2147483647 runs past"},
      {"UnicodeChars32 2 GB", "400161baffffff7f6101", "length 2147483647 runs past"},
      {"Chars32 negative", "4001619cffffffff01", "negative length"},
      {"Bytes32 negative", "400161a200000080", "negative length"},
      {"UnicodeChars32 negative", "400161bafeffffff", "negative length"},
      {"Chars8 short", "40016198056162", "length 5 runs past"},
      {"Bytes16 short", "400161a00300ff", "length 3 runs past"},
      {"name length 2 GB", "40ffffffff07", "length 2147483647 runs past"},
      {"comment short", "020561", "length 5 runs past"},
      {"Int32 short", "4001618c0102", "cut short"},
      {"Decimal short", "40016194000000", "cut short"},
      {"Uuid short", "400161b00011", "cut short"},
      {"Chars16 length short", "4001619a05", "cut short"},
      {"attribute value missing", "400161040162", "cut short"},
      {"array record at the end", "40016103", "cut short"},
      {"array values missing", "0340016101", "cut short"},
      {"xmlns prefix missing", "40016109", "MultiByteInt31 is cut short"},
      {"mb31 cut short", "4280", "MultiByteInt31 is cut short"},
      {"mb31 sixth byte", "42808080808001", "longer than 5 bytes"},
      {"mb31 fifth byte above 7", "428080808008", "longer than 5 bytes"},
      {"mb31 5-byte maximum", "40ffffffff0761", "length 2147483647"},
  }, false);
}

TEST(NbfxDecode, MultiByteInt31Boundaries) {
  for (uint32_t n : {0x7Fu, 0x80u, 0x3FFFu, 0x4000u, 0x1FFFFFu, 0x200000u}) {
    SCOPED_TRACE(n);
    Bytes body = {0x02};
    for (uint32_t v = n; ; v >>= 7) {
      body.push_back(static_cast<unsigned char>((v & 0x7F) | (v >= 0x80 ? 0x80 : 0)));
      if (v < 0x80) break;
    }
    body.insert(body.end(), n, 'x');
    pugi::xml_document doc;
    const auto r = nbfx::Decode(body.data(), body.size(), doc);
    ASSERT_TRUE(r.ok) << r.error;
    EXPECT_EQ(std::string(doc.first_child().value()).size(), n);
  }
}

// ---- text of typed records -------------------------------------------------------------

// Content of <a> made of one record, or the error.
std::string Content(const std::string& record_hex) {
  const Outcome got = DecodeHex("400161" + record_hex + "01");
  if (!got.ok) return "error: " + got.error;
  return got.xml.substr(3, got.xml.size() - 7);
}

TEST(NbfxText, Numbers) {
  const std::vector<std::pair<const char*, const char*>> cases = {
      {"8e0000000000000080", "-9223372036854775808"},
      {"b20000000000000000", "0"},
      {"900000807f", "INF"},
      {"90000080ff", "-INF"},
      {"900000c07f", "NaN"},
      {"9000000080", "-0"},
      {"908096184b", "1E+07"},
      {"900000804b", "16777216"},
      {"9017b7d138", "0.0001"},
      {"90acc52737", "1E-05"},
      {"905a20f147", "123456.7"},
      {"9200003426f56b0c43", "1E+15"},
      {"9240de77832112dc42", "123456789012345"},
      {"9200eb2af2548b1143", "1234567890123456"},
      {"922d431cebe2361a3f", "0.0001"},
      {"92f168e388b5f8e43e", "1E-05"},
      {"920000000000005940", "100"},
      {"920000000000004ec0", "-60"},
      {"92355800662deb417e", "1.5E+300"},
      {"920100000000000000", "5E-324"},
      {"929a9999999999b93f", "0.1"},
      {"920000000000000080", "-0"},
      // Decimal: reserved, scale, sign, high, low.
      {"94000002800000000096000000" "00000000", "-1.5"},
      {"94000002000000000064000000" "00000000", "1"},
      {"94000002800000000000000000" "00000000", "0"},
      {"9400001c000000000001000000" "00000000", "0.0000000000000000000000000001"},
      {"940000000000000000e8030000" "00000000", "1000"},
      {"940000040001000000" "0000000000000000", "1844674407370955.1616"},
  };
  for (const auto& [hex, want] : cases) EXPECT_EQ(Content(hex), want) << hex;
}

class TimeZone {
 public:
  explicit TimeZone(const char* tz) {
    if (const char* old = std::getenv("TZ")) saved_ = old, had_ = true;
    testing_support::SetEnv("TZ", tz);
    testing_support::ReloadTimeZone();
  }
  ~TimeZone() {
    if (had_)
      testing_support::SetEnv("TZ", saved_.c_str());
    else
      testing_support::UnsetEnv("TZ");
    testing_support::ReloadTimeZone();
  }

 private:
  std::string saved_;
  bool had_ = false;
};

TEST(NbfxText, DatesAndDurations) {
  const std::vector<std::pair<const char*, const char*>> cases = {
      {"960000000000000000", "0001-01-01T00:00:00"},
      {"9640e31485c850c108", "2000-02-29T12:34:56.5"},
      {"9640e31485c850c148", "2000-02-29T12:34:56.5Z"},
      {"96ff3f37f47528ca6b", "9999-12-31T23:59:59.9999999Z"},
      {"ae0000000000000000", "PT0S"},
      {"ae0100000000000000", "PT0.0000001S"},
      {"ae00c0692ac9000000", "P1D"},
      {"ae0090f2edd9000000", "P1DT2H"},
      {"aeffffffffffffffff", "-PT0.0000001S"},
      {"ae0000000000000080", "-P10675199DT2H48M5.4775808S"},
      {"aeffffffffffffff7f", "P10675199DT2H48M5.4775807S"},
  };
  for (const auto& [hex, want] : cases) EXPECT_EQ(Content(hex), want) << hex;

  {
    TimeZone utc("UTC0");
    EXPECT_EQ(Content("9640e31485c850c188"), "2000-02-29T12:34:56.5+00:00");
  }
  {
    TimeZone zone("EST5EDT,M3.2.0,M11.1.0");
    EXPECT_EQ(Content("9640e31485c850c188"), "2000-02-29T12:34:56.5-05:00");
    // The C runtime takes a TZ with a daylight name to follow the United States' rules; Wine's
    // takes the daylight dates from the system's own zone, which here has none.
    EXPECT_EQ(Content("9600206455c599dc88"),
              testing_support::RunsUnderWine() ? "2024-07-01T12:00:00-05:00" : "2024-07-01T12:00:00-04:00");
  }
  {
    TimeZone zone("IST-5:30");
    EXPECT_EQ(Content("9640e31485c850c188"), "2000-02-29T12:34:56.5+05:30");
  }
}

TEST(NbfxText, BytesGuidsAndUnicode) {
  const std::vector<std::pair<const char*, const char*>> cases = {
      {"9e00", ""},
      {"9e01ff", "/w=="},
      {"9e02fffe", "//4="},
      {"9e03fbffbf", "+/+/"},
      {"9e04000000ff", "AAAA/w=="},
      {"b0ffeeddccbbaa99887766554433221100", "ccddeeff-aabb-8899-7766-554433221100"},
      {"acffeeddccbbaa99887766554433221100", "urn:uuid:ccddeeff-aabb-8899-7766-554433221100"},
      {"b602e900", "\xc3\xa9"},
      {"b6043dd800de", "\xf0\x9f\x98\x80"},
      {"9804f09f9880", "\xf0\x9f\x98\x80"},
      {"b6043dd86100", "error: at offset 3, record 0xB6: unpaired UTF-16 surrogate"},
      {"b60200dc", "error: at offset 3, record 0xB6: unpaired UTF-16 surrogate"},
      {"b6023dd8", "error: at offset 3, record 0xB6: unpaired UTF-16 surrogate"},
      {"b6036100", "error: at offset 3, record 0xB6: UTF-16 text has an odd byte count"},
      {"b6020000", "error: at offset 3, record 0xB6: text contains U+0000"},
      {"980100", "error: at offset 3, record 0x98: text contains U+0000"},
      {"9802c328", "error: at offset 3, record 0x98: invalid UTF-8"},
      {"9802c080", "error: at offset 3, record 0x98: invalid UTF-8"},
      {"9803eda080", "error: at offset 3, record 0x98: invalid UTF-8"},
      {"9804f4908080", "error: at offset 3, record 0x98: invalid UTF-8"},
      {"9801c3", "error: at offset 3, record 0x98: UTF-8 sequence cut short"},
  };
  for (const auto& [hex, want] : cases) {
    const std::string got = Content(hex);
    if (std::string_view(want) == "error") EXPECT_EQ(got.rfind("error:", 0), 0u) << hex;
    else EXPECT_EQ(got, want) << hex;
  }
}

// The DOM holds raw characters; escaping is the serialiser's job.
TEST(NbfxText, EscapingIsLeftToTheDom) {
  const Bytes body = FromHex("400161040162980622263c3e270198062226" "3c3e2701" "01");
  pugi::xml_document doc;
  ASSERT_TRUE(nbfx::Decode(body.data(), body.size(), doc).ok);
  const pugi::xml_node a = doc.child("a");
  EXPECT_STREQ(a.attribute("b").value(), "\"&<>'\x01");
  EXPECT_STREQ(a.child_value(), "\"&<>'\x01");
  EXPECT_EQ(Serialize(doc), "<a b=\"&quot;&amp;&lt;>'&#01;\">\"&amp;&lt;&gt;'&#01;</a>");
}

// ---- bounds ----------------------------------------------------------------------------

TEST(NbfxBounds, Depth) {
  for (size_t depth : {size_t{1024}, size_t{1025}}) {
    Bytes body;
    for (size_t i = 0; i < depth; ++i) body.insert(body.end(), {0x40, 0x01, 'a'});
    body.insert(body.end(), depth, 0x01);
    pugi::xml_document doc;
    const auto r = nbfx::Decode(body.data(), body.size(), doc);
    EXPECT_EQ(r.ok, depth <= 1024) << r.error;
    if (!r.ok) {
      EXPECT_NE(r.error.find("deeper than 1024"), std::string::npos) << r.error;
    }
  }
}

TEST(NbfxBounds, OutputBudget) {
  struct BudgetCase {
    const char* name;
    Bytes body;
    const char* error;  // nullptr: must decode
  };
  auto element = [](const Bytes& content) {
    Bytes b = {0x40, 0x01, 'a'};
    b.insert(b.end(), content.begin(), content.end());
    b.push_back(0x01);
    return b;
  };
  auto repeat = [](const Bytes& unit, size_t n) {
    Bytes b;
    for (size_t i = 0; i < n; ++i) b.insert(b.end(), unit.begin(), unit.end());
    return b;
  };
  auto bool_array = [](const Bytes& attributes, size_t n) {
    Bytes b = {0x03, 0x40, 0x07, 'b', 'o', 'o', 'l', 'e', 'a', 'n'};
    b.insert(b.end(), attributes.begin(), attributes.end());
    b.insert(b.end(), {0x01, 0xB5});
    for (size_t v = n; ; v >>= 7) {
      b.push_back(static_cast<unsigned char>((v & 0x7F) | (v >= 0x80 ? 0x80 : 0)));
      if (v < 0x80) break;
    }
    b.insert(b.end(), n, 0x00);
    return b;
  };
  const std::vector<BudgetCase> cases = {
      // 3 wire bytes naming a 103-character string.
      {"dictionary text flood", element(repeat({0xAA, 0xDE, 0x02}, 100000)), "decoded strings"},
      {"dictionary text in headers", element(repeat({0xAA, 0xDE, 0x02}, 500)), nullptr},
      {"run of FalseText", element(repeat({0x84}, 200000)), nullptr},
      {"attribute-heavy array", bool_array(repeat({0x04, 0x01, 'x', 0xA8}, 100), 20000), "decoded nodes"},
      {"large Bool array", bool_array({}, 200000), nullptr},
  };
  for (const BudgetCase& c : cases) {
    SCOPED_TRACE(c.name);
    pugi::xml_document doc;
    const auto r = nbfx::Decode(c.body.data(), c.body.size(), doc);
    if (!c.error) {
      EXPECT_TRUE(r.ok) << r.error;
    } else {
      ASSERT_FALSE(r.ok);
      EXPECT_NE(r.error.find(c.error), std::string::npos) << r.error;
    }
  }
}

// Fed the same strings, any mix of record forms charges alike: here most charges come from
// leaves of dictionary names and text, the last from one long run of dictionary text.
TEST(NbfxBounds, EveryRecordFormIsCharged) {
  constexpr size_t kLeaves = 10000;  // <To>http://www.w3.org/2005/08/addressing/anonymous</To>
  constexpr uint64_t kLeafStrings = 2 + 1 + 46;
  constexpr uint64_t kRunPiece = 103;  // dictionary id 0x15E
  auto body = [](size_t run) {
    Bytes b = {0x40, 0x01, 'a'};
    for (size_t i = 0; i < kLeaves; ++i) b.insert(b.end(), {0x42, 0x0C, 0xAB, 0x14});
    b.insert(b.end(), {0x40, 0x01, 'b'});
    for (size_t i = 0; i < run; ++i) b.insert(b.end(), {0xAA, 0xDE, 0x02});
    b.insert(b.end(), {0x01, 0x01});
    return b;
  };
  auto size = [](size_t run) { return 8 + 4 * kLeaves + 3 * run; };
  // The longest run that fits 16 x input + 64 KiB, found from the sizes above.
  size_t fits = 0;
  for (size_t run = 1;; ++run) {
    const uint64_t strings = 2 + kLeaves * kLeafStrings + 2 + run * kRunPiece;
    if (strings > 16 * uint64_t{size(run)} + 65536) break;
    fits = run;
  }
  ASSERT_GT(fits, 1000u);
  ASSERT_EQ(body(fits).size(), size(fits));
  for (const size_t run : {fits, fits + 1}) {
    SCOPED_TRACE(run);
    const Bytes b = body(run);
    pugi::xml_document doc;
    const auto r = nbfx::Decode(b.data(), b.size(), doc);
    EXPECT_EQ(r.ok, run == fits) << r.error;
    if (!r.ok) {
      EXPECT_NE(r.error.find("decoded strings"), std::string::npos) << r.error;
    }
  }
}

// ---- how records decode, wherever they sit ---------------------------------------------

// Records near the end of the body take other paths through the decoder than the same records
// with more bytes behind them; the trees must not tell.
TEST(NbfxDecode, RecordsDecodeAlikeAnywhereInTheBody) {
  const std::string abc16 = "6162636465666768696a6b6c6d6e6f70";  // 16 letters
  const std::vector<std::pair<const char*, std::string>> cases = {
      {"literal name, no content", "40056162636465" "01"},
      {"leaf of literal name and text", "400161" "990378797a"},
      {"16-byte name and text", "4010" + abc16 + "9910" + abc16},
      {"17-byte name and text", "4011" + abc16 + "71" "9911" + abc16 + "71"},
      {"dictionary leaf", "420c" "ab14"},
      {"two-byte dictionary name", "42c001" "01"},
      {"prefixed names", "5e0161" "0c0c" "aa14" "01"},
      {"attributes of every short form", "400161" "040162980178" "060c80" "26016382" "0c0ca8" "01"},
      {"text, then the end", "400161" "98027879" "01"},
      {"two text records in a row", "400161" "980178" "990179"},
      {"Chars16 text", "400161" "9b0300" "78797a"},
      {"non-ASCII text", "400161" "9902c3a9"},
      {"markup characters", "400161" "9905263c3e2227"},
      {"leaf beside an open element", "400161" "400162" "990178" "400163" "01" "01"},
      {"empty, zero, one, with end", "400161" "400162a9" "400163" "81" "400164" "83" "01"},
      {"two-byte dictionary text", "400161" "abde02"},
      {"a comment between records", "400161" "0201" "63" "990178"},
  };
  const std::string padding = "0220" + std::string(64, '7');  // a comment of 32 'w'
  for (const auto& [name, hex] : cases) {
    SCOPED_TRACE(name);
    const Outcome alone = DecodeHex(hex);
    ASSERT_TRUE(alone.ok) << alone.error;
    const Outcome padded = DecodeHex(hex + padding);
    ASSERT_TRUE(padded.ok) << padded.error;
    EXPECT_EQ(padded.xml, alone.xml + "<!--" + std::string(32, 'w') + "-->");
  }
}

// A run of many text records costs memory in proportion to its text, not to its square.
TEST(NbfxDecode, LongRunsOfTextCostLinearMemory) {
  static size_t live = 0, peak = 0;
  struct Counting {
    static void* Allocate(size_t size) {
      auto* block = static_cast<size_t*>(std::malloc(size + 16));
      if (block == nullptr) return nullptr;
      *block = size;
      live += size;
      peak = std::max(peak, live);
      return reinterpret_cast<char*>(block) + 16;
    }
    static void Deallocate(void* p) {
      auto* block = reinterpret_cast<size_t*>(static_cast<char*>(p) - 16);
      live -= *block;
      std::free(block);
    }
  };
  constexpr size_t kPieces = 100000;
  Bytes body = {0x40, 0x01, 'a'};
  for (size_t i = 0; i < kPieces; ++i) body.insert(body.end(), {0xAA, 0x0C});  // "To"
  body.push_back(0x01);
  pugi::set_memory_management_functions(Counting::Allocate, Counting::Deallocate);
  {
    nbfx::Tree tree;
    const auto r = nbfx::Decode(body.data(), body.size(), tree);
    ASSERT_TRUE(r.ok) << r.error;
    ASSERT_TRUE(tree.first() && tree.first()->first_child);
    EXPECT_EQ(tree.first()->first_child->text.size(), 2 * kPieces);
    EXPECT_EQ(tree.first()->first_child->text.substr(0, 6), "ToToTo");
    EXPECT_EQ(tree.first()->first_child->next, nullptr);
  }
  pugi::set_memory_management_functions(std::malloc, std::free);
  EXPECT_EQ(live, 0u);
  EXPECT_LT(peak, 6 * body.size());
}

// ---- the rest of the interface ---------------------------------------------------------

TEST(NbfxDecode, ReplacesPreviousContent) {
  pugi::xml_document doc;
  doc.append_child("old");
  const Bytes good = FromHex("42020" "1");
  ASSERT_TRUE(nbfx::Decode(good.data(), good.size(), doc).ok);
  EXPECT_EQ(Serialize(doc), "<Envelope></Envelope>");
  const Bytes bad = FromHex("4202");
  EXPECT_FALSE(nbfx::Decode(bad.data(), bad.size(), doc).ok);
  EXPECT_FALSE(doc.first_child());
}

// Running out of memory is no verdict on the body: it is raised, and both outputs are left empty.
TEST(NbfxDecode, ExhaustedMemoryRaisesBadAlloc) {
  struct Refusing {
    static void* Allocate(size_t) { return nullptr; }
  };
  const Bytes body = FromHex("56020b0173040b016106560e4001619903787a7a0101");
  nbfx::Tree tree;
  pugi::xml_document doc;
  pugi::set_memory_management_functions(Refusing::Allocate, std::free);
  EXPECT_THROW(nbfx::Decode(body.data(), body.size(), tree), std::bad_alloc);
  EXPECT_THROW(nbfx::Decode(body.data(), body.size(), doc), std::bad_alloc);
  pugi::set_memory_management_functions(std::malloc, std::free);
  EXPECT_EQ(tree.first(), nullptr);
  EXPECT_FALSE(doc.first_child());
  ASSERT_TRUE(nbfx::Decode(body.data(), body.size(), tree).ok);
  ASSERT_TRUE(nbfx::Decode(body.data(), body.size(), doc).ok);
  EXPECT_EQ(Serialize(doc),
            "<s:Envelope xmlns:s=\"http://www.w3.org/2003/05/soap-envelope\" "
            "xmlns:a=\"http://www.w3.org/2005/08/addressing\"><s:Body><a>xzz</a></s:Body></s:Envelope>");
}

TEST(NbfxLooksBinary, FirstByte) {
  const std::vector<std::pair<std::string, bool>> cases = {
      {"", false},
      {"<s:Envelope", false},
      {" <a/>", false},
      {"\t<a/>", false},
      {"\r\n<a/>", false},
      {"\xEF\xBB\xBF<a/>", false},
      {"\xFF\xFE<\0", false},
      {"\xFE\xFF\0<", false},
      {"\x02\x01x", false},  // a comment first is not what a SOAP body starts with
      {"\x01", false},
      {"\x3F", false},
      {"\x40\x01" "a", true},
      {"\x56\x02", true},
      {"\x77\x01" "a", true},
      {"\x78", false},
      {"\x80", false},
  };
  for (const auto& [bytes, want] : cases) {
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    EXPECT_EQ(nbfx::LooksBinary(p, bytes.size()), want) << testing::PrintToString(bytes);
  }
  EXPECT_FALSE(nbfx::LooksBinary(nullptr, 0));
}

}  // namespace
