// Which bodies load: encodings, the refusals, hostile DTDs, depth, memory use and exhaustion.
#include "soapkit_test_support.h"

#include "win32/strings.h"

#include "msbin1_writer.h"
#include "soapkit/msbin1.h"

#include <pugixml.hpp>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <random>
#include <vector>

namespace {

using namespace soapkit_test;

const std::string kEnvelope =
    "<s:Envelope xmlns:s='urn:s' n='J\xC3\xB6rg \xE2\x82\xAC'><s:Body><Gr\xC3\xBC\xC3\x9F" "e a='&#xE9;'>"
    "\xC3\xA9t\xC3\xA9 &amp; \xCE\xA9</Gr\xC3\xBC\xC3\x9F" "e></s:Body></s:Envelope>";

std::string Declared(const char* encoding) { return std::string("<?xml version='1.0' encoding='") + encoding + "'?>"; }

std::string Utf16(const std::string& utf8, bool bigEndian, bool bom) {
  std::string out;
  out.reserve(2 * utf8.size() + 2);
  for (OLECHAR unit : (bom ? OLESTR("\uFEFF") : OLESTR("")) + win32::Widen(utf8, CP_UTF8)) {
    out.push_back(static_cast<char>(bigEndian ? unit >> 8 : unit & 0xFF));
    out.push_back(static_cast<char>(bigEndian ? unit & 0xFF : unit >> 8));
  }
  return out;
}

std::string Utf32Le(const std::string& utf8) {
  std::string out;
  for (OLECHAR unit : OLESTR("\uFEFF") + win32::Widen(utf8, CP_UTF8))
    out += std::string{char(unit & 0xFF), char(unit >> 8), 0, 0};
  return out;
}

std::string Windows1252(const std::string& utf8) { return win32::Narrow(win32::Widen(utf8, CP_UTF8), CP_ACP); }

std::string FromHex(std::string_view hex) {
  std::string bytes;
  for (std::size_t i = 0; i + 1 < hex.size(); i += 2) bytes += static_cast<char>(std::stoi(std::string(hex.substr(i, 2)), nullptr, 16));
  return bytes;
}

std::string Binary(const std::string& text) { return testing_support::BinaryTwin(text); }

// The body written in the binary encoding, or "(refused: why)".
std::string Encoded(const std::string& text) {
  std::string binary, error;
  if (!soapkit::EncodeTextBody(reinterpret_cast<const unsigned char*>(text.data()), text.size(), binary, error)) {
    EXPECT_TRUE(binary.empty());
    EXPECT_EQ(error.find('\n'), std::string::npos);
    return "(refused: " + error + ")";
  }
  return binary;
}

TEST(Load, EncodingsGiveTheSameTree) {
  const std::string expected = OutlineOf(kEnvelope);
  ASSERT_EQ(expected, "Envelope{s=urn:s n=J\xF6rg \x80}(Body(Gr\xFC\xDF" "e{a=\xE9}(\"\xE9t\xE9 & ?\")))");
  const struct {
    const char* name;
    std::string body;
  } cases[] = {
      {"UTF-8", kEnvelope},
      {"UTF-8 with BOM", "\xEF\xBB\xBF" + kEnvelope},
      {"utf-8 declared", Declared("utf-8") + kEnvelope},
      {"utf-16 declared over UTF-8 bytes", Declared("utf-16") + kEnvelope},
      {"UTF-16LE with BOM", Utf16(Declared("utf-16") + kEnvelope, false, true)},
      {"UTF-16BE with BOM", Utf16(Declared("utf-16") + kEnvelope, true, true)},
      {"UTF-16LE without BOM", Utf16(Declared("UTF-16") + kEnvelope, false, false)},
      {"UTF-16BE without BOM or declaration", Utf16(kEnvelope, true, false)},
      {"UTF-32LE with BOM", Utf32Le(kEnvelope)},
      {"ISO-8859-1", Windows1252(Declared("ISO-8859-1") + kEnvelope)},
      {"windows-1252", Windows1252(Declared("windows-1252") + kEnvelope)},
      {"latin1, double quotes", Windows1252("<?xml version=\"1.0\" encoding = \"Latin1\" ?>\r\n" + kEnvelope)},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(OutlineOf(c.body), expected) << c.name;
    EXPECT_EQ(OutlineOf(Encoded(c.body)), expected) << c.name << ", encoded";
  }

  // windows-1252 converts in pieces; none of them may lose or split a character.
  const std::string text(300000, '\x80');
  CSoapReader reader(kOptions);
  ASSERT_TRUE(Load(reader, Declared("cp1252") + "<a>" + text + "</a>"));
  EXPECT_EQ(Text(reader.getXpiDocument(), xpi_get_document_root(reader.getXpiDocument())), text);
}

TEST(Load, RefusesWhatIsNotOneWellFormedDocument) {
  using namespace std::string_literals;
  const struct {
    const char* name;
    std::string body;
  } cases[] = {
      {"empty", ""},
      {"white space only", " \r\n\t"},
      {"not XML", "hello world"},
      {"declaration only", "<?xml version='1.0'?>"},
      {"comment only", "<!-- nothing -->"},
      {"cut off inside an element", "<s:Envelope><s:Body>"},
      {"cut off inside a tag", "<s:Envelope a='1"},
      {"cut off UTF-16 unit", Utf16("<a/>", false, true) + "\x20"},
      {"mismatched end tag", "<a></b>"},
      {"text before the document element", "junk<a/>"},
      {"text after the document element", "<a/>junk"},
      {"two document elements", "<a/><b/>"},
      {"a tag begun at the end", "<a/> <x"},
      {"an empty tag at the end", "<a/>\n<>"},
      {"a tag begun at the end, UTF-16", Utf16("<a/> <x", false, true)},
      {"CDATA outside the document element", "<![CDATA[x]]><a/>"},
      {"NUL after the document element", "<a/>\0"s},
      {"NUL inside text", "<a>x\0y</a>"s},
      {"reference to U+0000 in text", "<a>x&#0;y</a>"},
      {"reference to U+0000 in an attribute", "<a v='&#x0000;'/>"},
      {"NUL unit in UTF-16", Utf16("<a>x\0y</a>"s, true, true)},
      {"invalid UTF-8", "<a t='\xFF'>x</a>"},
      {"overlong UTF-8", "<a>\xC0\xBC</a>"},
      {"UTF-8 surrogate", "<a>\xED\xA0\x80</a>"},
      {"UTF-8 cut off", "<a>x\xE2\x82</a>"},
      {"lone high surrogate in UTF-16", "\xFF\xFE<\0a\0>\0\x00\xD8<\0/\0a\0>\0"s},
      {"lone low surrogate in UTF-16", "\xFF\xFE<\0a\0>\0\x00\xDC<\0/\0a\0>\0"s},
      {"binary-looking garbage", "\x56\x02\x0b\xff\xff\xff"},
  };
  for (const auto& c : cases) {
    CSoapReader reader(kOptions);
    EXPECT_FALSE(Load(reader, c.body)) << c.name;
    EXPECT_EQ(reader.getXpiDocument(), nullptr) << c.name;
    EXPECT_EQ(Encoded(c.body).rfind("(refused: ", 0), 0u) << c.name;
  }
  // Their near neighbours do load, and all but the one with a PI encode.
  for (const char* body : {"<a/> \r\n", "<!-- c --><a/><?pi?>", "<a>&#10;&#x30;&#00010;</a>", "<a>&#x;0</a>"}) {
    EXPECT_NE(OutlineOf(body), "(not loaded)") << body;
    EXPECT_EQ(Encoded(body).rfind("(refused: ", 0) == 0, std::string(body).find("<?pi") != std::string::npos) << body;
  }
  std::mt19937 random(20240611);
  for (int i = 0; i < 200; ++i) {
    std::string garbage(1 + random() % 512, '\0');
    for (char& c : garbage) c = static_cast<char>(random());
    EXPECT_EQ(OutlineOf(garbage), "(not loaded)");
  }
}

// The check skips plain ASCII in blocks: a character at any offset, across block ends included,
// is still seen.
TEST(Load, ChecksCharactersAtEveryOffset) {
  using namespace std::string_literals;
  const struct {
    const char* name;
    std::string sequence;
    bool loads;
  } cases[] = {
      {"two-byte character", "\xC3\xB6", true},
      {"three-byte character", "\xE2\x82\xAC", true},
      {"four-byte character", "\xF0\x9F\x98\x80", true},
      {"stray continuation byte", "\x80", false},
      {"cut-off sequence", "\xE2\x82", false},
      {"NUL", "\0"s, false},
  };
  for (const auto& c : cases) {
    for (std::size_t offset = 0; offset < 70; ++offset) {
      const std::string body = "<a>" + std::string(offset, 'x') + c.sequence + std::string(offset % 23, 'y') + "</a>";
      EXPECT_EQ(OutlineOf(body) != "(not loaded)", c.loads) << c.name << " at " << offset;
    }
  }
}

// Counts what pugixml allocates, or fails once a budget is spent. Every document made while it is
// installed must be gone before it is removed.
class PugiAllocations {
 public:
  explicit PugiAllocations(std::size_t budget = SIZE_MAX) {
    budget_ = budget, live_ = 0, peak_ = 0;
    pugi::set_memory_management_functions(Allocate, Deallocate);
  }
  ~PugiAllocations() { pugi::set_memory_management_functions(std::malloc, std::free); }
  static std::size_t peak() { return peak_; }
  static std::size_t live() { return live_; }

 private:
  static constexpr std::size_t kHeader = 16;  // keeps pugixml's alignment
  static void* Allocate(std::size_t size) {
    if (live_ + size > budget_) return nullptr;
    auto* block = static_cast<char*>(std::malloc(size + kHeader));
    if (block == nullptr) return nullptr;
    *reinterpret_cast<std::size_t*>(block) = size;
    live_ += size;
    peak_ = std::max(peak_, live_);
    return block + kHeader;
  }
  static void Deallocate(void* p) {
    if (p == nullptr) return;
    char* block = static_cast<char*>(p) - kHeader;
    live_ -= *reinterpret_cast<std::size_t*>(block);
    std::free(block);
  }
  static inline std::size_t budget_, live_, peak_;
};

TEST(Load, DtdsAreNeverInterpreted) {
  char path[] = "/tmp/soapkit-entity-XXXXXX";
  const int fd = mkstemp(path);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(write(fd, "INJECTED", 8), 8);
  close(fd);
  const std::string url = std::string("file://") + path;
  const std::string external = "<!DOCTYPE a [<!ENTITY xxe SYSTEM '" + url + "'><!ENTITY % p SYSTEM '" + url +
                               "'>%p;]><a v='&xxe;'>&xxe;</a>";
  EXPECT_EQ(OutlineOf(external), R"(a{v=&xxe;}("&xxe;"))");
  EXPECT_NE(Encoded(external).find("DOCTYPE"), std::string::npos) << "its entities would be lost";
  unlink(path);

  std::string laughs = "<?xml version='1.0'?><!DOCTYPE lolz [<!ENTITY lol 'lol'>";
  for (int i = 1; i <= 9; ++i) {
    laughs += "<!ENTITY lol" + std::to_string(i) + " '";
    for (int k = 0; k < 10; ++k) laughs += "&lol" + (i == 1 ? std::string() : std::to_string(i - 1)) + ";";
    laughs += "'>";
  }
  laughs += "]><lolz>&lol9;</lolz>";
  PugiAllocations allocations;
  EXPECT_EQ(OutlineOf(laughs), R"(lolz("&lol9;"))");
  EXPECT_LT(PugiAllocations::peak(), 4 * laughs.size() + 65536);
}

TEST(Load, NestingAMillionDeepNeedsNoStack) {
  constexpr int kDepth = 1000000;
  std::string body;
  body.reserve(7 * kDepth + 1);
  for (int i = 0; i < kDepth; ++i) body += "<a>";
  const std::string unclosed = body;
  body += "x";
  for (int i = 0; i < kDepth; ++i) body += "</a>";

  CSoapReader reader(kOptions);
  EXPECT_FALSE(Load(reader, unclosed));
  ASSERT_TRUE(Load(reader, body));
  void* doc = reader.getXpiDocument();
  int depth = 0;  // elements above the innermost text
  void* node = xpi_get_document_root(doc);
  for (void* child; (child = xpi_get_first_child(doc, node)) != nullptr; node = child) ++depth;
  EXPECT_EQ(depth, kDepth);
  EXPECT_EQ(Text(doc, node), "x");
  EXPECT_EQ(Name(doc, node), "");
  EXPECT_EQ(Text(doc, xpi_get_document_root(doc)), "");
}

std::string Order(std::size_t lines) {
  std::string body = "<s:Envelope xmlns:s='http://www.w3.org/2003/05/soap-envelope'><s:Body><Order>";
  for (std::size_t i = 0; i < lines; ++i) {
    body += "<Line><Sku>ABC-" + std::to_string(i) + "</Sku><Quantity>3</Quantity><Price currency='EUR'>19.99</Price></Line>";
  }
  return body + "</Order></s:Body></s:Envelope>";
}

TEST(Load, MemoryIsTheBodyOnceAndTheTree) {
  const std::string utf8 = Order(40000);  // about 3.6 MB
  const std::string utf16 = Utf16(utf8, false, true);
  // A line of about 90 bytes makes 7 nodes and an attribute: 488 bytes of tree (504 in a binary
  // body's tree, whose copy of the body is smaller than the text).
  struct Case {
    const char* name;
    std::string body;
    double limit;  // peak allocation / UTF-8 size
  };
  std::vector<Case> cases = {{"UTF-8", utf8, 7}, {"UTF-16", utf16, 7}};
  cases.push_back({"binary", Binary(utf8), 7});
  for (const auto& c : cases) {
    PugiAllocations allocations;
    CSoapReader reader(kOptions);
    EXPECT_TRUE(Load(reader, c.body)) << c.name;
    EXPECT_LT(double(PugiAllocations::peak()) / utf8.size(), c.limit) << c.name;
  }
}

TEST(Load, ExhaustedMemoryRaisesBadAlloc) {
  const std::string text = Order(1000);
  std::vector<std::pair<const char*, std::string>> bodies = {{"text", text}};
  bodies.emplace_back("binary", Binary(text));
  for (const auto& [name, body] : bodies) {
    // Out of memory at once, on copying the body, and part way through the tree.
    for (const std::size_t budget : {std::size_t{0}, body.size(), body.size() * 2}) {
      SCOPED_TRACE(std::string(name) + " with " + std::to_string(budget) + " bytes");
      CSoapReader reader(kOptions);
      {
        PugiAllocations allocations(budget);
        EXPECT_THROW(Load(reader, body), std::bad_alloc);
        EXPECT_EQ(reader.getXpiDocument(), nullptr);
        EXPECT_EQ(PugiAllocations::live(), 0u);  // what the failed load had, it gave back
      }
      EXPECT_TRUE(Load(reader, body));
    }
  }
}

// The relay-accept message of the shared nbfx vectors, and its text form.
TEST(Load, BinaryBodiesGiveTheTreeOfTheirText) {
  const char* hex =
      "56020b0173040b0161065608440a1e0082990d52656c61796564416363657074440c1e00829946687474703a2f2f736368656d61732e"
      "6d6963726f736f66742e636f6d2f323030352f31322f536572766963654d6f64656c2f41646472657373696e672f416e6f6e796d6f75"
      "7301560e400d52656c617965644163636570740843687474703a2f2f736368656d61732e6d6963726f736f66742e636f6d2f6e657473"
      "657276696365732f323030392f30352f736572766963656275732f636f6e6e65637409016929687474703a2f2f7777772e77332e6f72"
      "672f323030312f584d4c536368656d612d696e7374616e636540024964992430303030303030302d303030302d303030302d30303030"
      "2d303030303030303030303030010101";
  std::string binary;
  for (const char* p = hex; p[0] && p[1]; p += 2) binary += static_cast<char>(std::stoi(std::string(p, 2), nullptr, 16));
  const char* text =
      R"(<s:Envelope xmlns:s="http://www.w3.org/2003/05/soap-envelope" xmlns:a="http://www.w3.org/2005/08/addressing">)"
      R"(<s:Header><a:Action s:mustUnderstand="1">RelayedAccept</a:Action><a:To s:mustUnderstand="1">)"
      R"(http://schemas.microsoft.com/2005/12/ServiceModel/Addressing/Anonymous</a:To></s:Header><s:Body>)"
      R"(<RelayedAccept xmlns="http://schemas.microsoft.com/netservices/2009/05/servicebus/connect" )"
      R"(xmlns:i="http://www.w3.org/2001/XMLSchema-instance"><Id>00000000-0000-0000-0000-000000000000</Id>)"
      R"(</RelayedAccept></s:Body></s:Envelope>)";
  EXPECT_EQ(OutlineOf(binary), OutlineOf(text));
}

// Binary bodies, whatever records carry them, give the tree of the text they stand for.
TEST(Load, BinaryRecordFormsGiveTheTreeOfTheirText) {
  const struct {
    const char* name;
    std::string binary;
    std::string text;
  } cases[] = {
      {"text split by a comment", FromHex("400161980178020163980179" "01"), "<a>x<!--c-->y</a>"},
      {"text runs joined", FromHex("400161887b8498026869a8" "01"), "<a>123falsehi</a>"},
      {"white space alone kept, beside elements dropped",
       FromHex("400161980120400162980120" "01" "980120" "01"), "<a> <b> </b> </a>"},
      {"line ends and tabs as sent", FromHex("40016198057809790d7a" "01"), "<a>x\ty&#13;z</a>"},
      {"list as an attribute value", FromHex("400161040162a4887b86a6" "01"), "<a b='123 true'/>"},
      {"array at the top: two roots, refused", FromHex("03400162018d02" "01000000" "ffffffff"), "<b>1</b><b>-1</b>"},
      {"array inside", FromHex("400161" "03400162018d02" "01000000" "ffffffff" "01"), "<a><b>1</b><b>-1</b></a>"},
      {"typed values", FromHex("400161" "40016b" "8d2a000000" "40016c" "b501" "40016d" "ab0e" "01"),
       "<a><k>42</k><l>true</l><m>Body</m></a>"},
      {"prefixes and declarations", FromHex("56020b0173040b016106560e0101"),
       "<s:Envelope xmlns:s='http://www.w3.org/2003/05/soap-envelope' "
       "xmlns:a='http://www.w3.org/2005/08/addressing'><s:Body/></s:Envelope>"},
      {"non-ASCII names and text", Binary(kEnvelope), kEnvelope},
      {"an order", Binary(Order(50)), Order(50)},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(OutlineOf(c.binary), OutlineOf(c.text)) << c.name;
    EXPECT_EQ(ElementTextsOf(c.binary), ElementTextsOf(c.text)) << c.name;
  }
}

// Slow and memory-hungry: run with --gtest_also_run_disabled_tests.
TEST(Load, DISABLED_TwoHundredMegabytes) {
  const std::string body = Order(2200000);
  ASSERT_GT(body.size(), 200u << 20);
  CSoapReader reader(kOptions);
  ASSERT_TRUE(Load(reader, body));
  void* doc = reader.getXpiDocument();
  void* order = xpi_get_first_child(doc, xpi_get_first_child(doc, xpi_get_document_root(doc)));
  std::size_t lines = 0;
  for (void* line = xpi_get_first_child(doc, order); line; line = xpi_get_next_sibling(doc, line)) ++lines;
  EXPECT_EQ(lines, 2200000u);
}

}  // namespace
