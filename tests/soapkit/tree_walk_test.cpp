// The tree as the xpi_ functions present it: names, attribute order, which children count, texts
// in windows-1252, and what NULL or mismatched handles get.
#include "soapkit_test_support.h"

#include "msbin1_writer.h"

#include <cstdint>
#include <vector>

namespace {

using namespace soapkit_test;

// A body as text and, where the decoder is built in, as its binary twin: the two trees must
// behave alike.
std::vector<std::string> Forms(const std::string& text) {
  std::vector<std::string> forms = {text};
  forms.push_back(testing_support::BinaryTwin(text));
  return forms;
}

TEST(TreeWalk, OutlinesOfTypicalShapes) {
  const struct {
    const char* body;
    const char* outline;
  } cases[] = {
      // prefixes dropped from element and attribute names; xmlns declarations kept, in order
      {R"(<s:Envelope xmlns:s="urn:s" xmlns:a="urn:a" xmlns="urn:d" a:x="1" y="2"><s:Body/></s:Envelope>)",
       "Envelope{s=urn:s a=urn:a xmlns=urn:d x=1 y=2}(Body)"},
      // layout white space, comments and PIs are not nodes: the first child is still the Header
      {"<?xml version=\"1.0\"?>\n<!-- recorded -->\n<s:Envelope xmlns:s=\"urn:s\">\n  <!-- c -->\n  <?pi x?>\n"
       "  <s:Header>\n    <a/>\n  </s:Header>\n  <s:Body> </s:Body>\n</s:Envelope>\n<!-- after -->",
       "Envelope{s=urn:s}(Header(a) Body)"},
      // text with other characters is a node, named "": an Envelope whose first child is not the Header
      {"<s:Envelope>junk<s:Header/>x</s:Envelope>", R"(Envelope("junk" Header "x"))"},
      {"<a>&amp;<b/><![CDATA[c]]><![CDATA[ ]]>\t<c/></a>", R"(a("&" b "c" c))"},
      // the DOCTYPE is skipped, not a node
      {"<!DOCTYPE a><a><b/></a>", "a(b)"},
      // a prefix is the text up to the first colon
      {"<p:q:r xmlns:p='u'/>", "q:r{p=u}"},
  };
  for (const auto& c : cases) EXPECT_EQ(OutlineOf(c.body), c.outline) << c.body;
}

TEST(TreeWalk, TextsArriveInWindows1252) {
  const struct {
    const char* body;  // UTF-8; the root's text and its attribute t are both examined
    const char* text;
  } cases[] = {
      {"<a t='J\xC3\xB6rg'>J\xC3\xB6rg</a>", "J\xF6rg"},
      {"<a t='\xE2\x82\xAC'>\xE2\x82\xAC</a>", "\x80"},              // the euro sign is in the code page
      {"<a t='\xCE\xA9'>\xCE\xA9</a>", "?"},                        // Greek capital omega is not
      {"<a t='\xF0\x9F\x98\x80'>\xF0\x9F\x98\x80</a>", "??"},       // outside the BMP: one '?' per UTF-16 unit
      {"<a t='&amp;&lt;&gt;&quot;&apos;'>&amp;&lt;&gt;&quot;&apos;</a>", "&<>\"'"},
      {"<a t='&#x41;&#233;&#x20AC;'>&#x41;&#233;&#x20AC;</a>", "A\xE9\x80"},
      {"<a t='&undeclared;'>&undeclared;</a>", "&undeclared;"},
  };
  for (const auto& c : cases) {
    CSoapReader reader(kOptions);
    ASSERT_TRUE(Load(reader, c.body)) << c.body;
    void* doc = reader.getXpiDocument();
    void* root = xpi_get_document_root(doc);
    EXPECT_EQ(Text(doc, root), c.text) << c.body;
    EXPECT_EQ(Text(doc, xpi_get_next_attr(doc, root, nullptr)), c.text) << c.body;
  }
  EXPECT_EQ(OutlineOf("<Stra\xC3\x9F" "e S\xC3\xA9=''/>"), "Stra\xDF" "e{S\xE9=}");
}

TEST(TreeWalk, ElementTextIsItsOwnTextChildrenJoined) {
  const struct {
    const char* body;
    const char* text;
  } cases[] = {
      {"<a>x<b>inner</b>y<![CDATA[<z>]]></a>", "xy<z>"},  // descendants' text left out
      {"<a>\n  <b/>\n</a>", ""},                          // layout white space dropped
      {"<a> x <b/> </a>", " x "},                         // kept where it is part of the text
      {"<a>   </a>", "   "},                              // an element holding white space alone
      {"<a>l1\r\nl2\rl3</a>", "l1\nl2\nl3"},              // line ends as XML normalises them
      {"<a/>", ""},
  };
  for (const auto& c : cases) {
    CSoapReader reader(kOptions);
    ASSERT_TRUE(Load(reader, c.body)) << c.body;
    EXPECT_EQ(Text(reader.getXpiDocument(), xpi_get_document_root(reader.getXpiDocument())), c.text) << c.body;
  }
  EXPECT_EQ(OutlineOf("<a t='x\ty\nz'/>"), "a{t=x y z}");  // attribute white space normalised
}

TEST(TreeWalk, NullAndMismatchedHandlesAreHarmless) {
  for (const std::string& body : Forms("<a x='1'>t<b/></a>")) {
    SCOPED_TRACE(testing::PrintToString(body));
    CSoapReader reader(kOptions);
    EXPECT_EQ(reader.getXpiDocument(), nullptr);
    ASSERT_TRUE(Load(reader, body));
    void* doc = reader.getXpiDocument();
    void* root = xpi_get_document_root(doc);
    void* attr = xpi_get_next_attr(doc, root, nullptr);
    void* text = xpi_get_first_child(doc, root);
    ASSERT_TRUE(root && attr && text);
    EXPECT_NE(reinterpret_cast<std::uintptr_t>(attr) & 1, 0u);
    EXPECT_EQ(reinterpret_cast<std::uintptr_t>(root) & 1, 0u);

    EXPECT_EQ(xpi_get_document_root(nullptr), nullptr);
    for (void* d : {static_cast<void*>(nullptr), doc}) {
      EXPECT_EQ(xpi_get_first_child(d, nullptr), nullptr);
      EXPECT_EQ(xpi_get_next_sibling(d, nullptr), nullptr);
      EXPECT_EQ(xpi_get_next_attr(d, nullptr, nullptr), nullptr);
    }
    EXPECT_EQ(xpi_get_first_child(nullptr, root), nullptr);
    EXPECT_EQ(xpi_get_next_sibling(nullptr, text), nullptr);
    EXPECT_EQ(xpi_get_next_attr(nullptr, root, nullptr), nullptr);
    EXPECT_EQ(xpi_get_first_child(doc, attr), nullptr);
    EXPECT_EQ(xpi_get_first_child(doc, text), nullptr);
    EXPECT_EQ(xpi_get_next_sibling(doc, attr), nullptr);
    EXPECT_EQ(xpi_get_next_sibling(doc, root), nullptr);
    EXPECT_EQ(xpi_get_next_attr(doc, attr, nullptr), nullptr);
    EXPECT_EQ(xpi_get_next_attr(doc, text, nullptr), nullptr);
    EXPECT_EQ(xpi_get_next_attr(doc, root, text), nullptr);

    // Failures leave the text empty, whatever it held.
    const struct {
      void* doc;
      void* node;
      int flags;
      int status;
    } failures[] = {{nullptr, root, 0, XPI_E_HANDLE}, {doc, nullptr, 0, XPI_E_HANDLE}, {doc, root, 1, XPI_E_FLAGS}};
    for (const auto& f : failures) {
      OsStrMb out;
      xfvOsStrConstructFromBytes(&out, "stale", 5);
      EXPECT_EQ(xpi_get_node_name(f.doc, f.node, out, f.flags), f.status);
      EXPECT_TRUE(out.IsEmpty());
      if (f.flags != 0) continue;
      xfvOsStrConstructFromBytes(&out, "stale", 5);
      EXPECT_EQ(xpi_get_node_text(f.doc, f.node, out), f.status);
      EXPECT_TRUE(out.IsEmpty());
    }
    OsStrMb out;
    EXPECT_EQ(xpi_get_node_name(doc, text, out, 0), XPI_OK);
    EXPECT_TRUE(out.IsEmpty());
    EXPECT_EQ(xpi_get_node_text(doc, text, out), XPI_OK);
    EXPECT_EQ(Str(out), "t");
    // An attribute handle whose record is missing.
    void* const bogus = reinterpret_cast<void*>(std::uintptr_t{1});
    EXPECT_EQ(xpi_get_node_name(doc, bogus, out, 0), XPI_E_HANDLE);
    EXPECT_EQ(xpi_get_node_text(doc, bogus, out), XPI_E_HANDLE);
    EXPECT_EQ(xpi_get_next_attr(doc, root, bogus), nullptr);
  }
}

TEST(TreeWalk, HandlesAcrossLoadsAndReaders) {
  CSoapReader reader(kOptions);
  CSoapReader other(kOptions);
  ASSERT_TRUE(Load(other, "<kept>v</kept>"));
  void* otherRoot = xpi_get_document_root(other.getXpiDocument());

  const std::string body = "<first a='1'/>";
  OsStrBin bytes = Body(body);
  ASSERT_TRUE(reader.load(bytes));
  EXPECT_EQ(Str(bytes), body);  // parsed on a copy
  void* doc = reader.getXpiDocument();
  EXPECT_EQ(xpi_get_document_root(doc), xpi_get_document_root(doc));  // the same handle at every call

  ASSERT_TRUE(Load(reader, "<second/>"));
  EXPECT_EQ(reader.getXpiDocument(), doc);
  EXPECT_EQ(Name(doc, xpi_get_document_root(doc)), "second");

  EXPECT_FALSE(Load(reader, "not xml"));
  EXPECT_EQ(reader.getXpiDocument(), nullptr);
  EXPECT_EQ(xpi_get_document_root(doc), nullptr);  // a kept document handle stays safe

  ASSERT_TRUE(Load(reader, "<third/>"));
  EXPECT_EQ(Name(reader.getXpiDocument(), xpi_get_document_root(reader.getXpiDocument())), "third");
  EXPECT_EQ(Text(other.getXpiDocument(), otherRoot), "v");  // readers are independent

  // Text and binary bodies take turns in one reader, each walked as its kind.
  for (const char* name : {"fourth", "fifth", "sixth"}) {
    for (const std::string& form : Forms(std::string("<") + name + " a='1'>v</" + name + ">")) {
      ASSERT_TRUE(Load(reader, form));
      void* root = xpi_get_document_root(reader.getXpiDocument());
      EXPECT_EQ(Name(reader.getXpiDocument(), root), name);
      EXPECT_EQ(Text(reader.getXpiDocument(), root), "v");
      EXPECT_EQ(Attributes(reader.getXpiDocument(), root), (std::vector<std::pair<std::string, std::string>>{{"a", "1"}}));
    }
  }
}

}  // namespace
