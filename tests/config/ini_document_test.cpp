#include "config/ini_document.h"

#include <gtest/gtest.h>

namespace {

TEST(IniDocument, WritesBackWhatItRead) {
  const std::string texts[] = {
      "; options\r\n[GENERAL]\r\nAutoDetectMode=Yes ; keep\r\n\r\n[Other]\r\nx = \"q\"\r\n",
      "[a]\nb=c\n  odd line\n# comment\n",
      "no section\n[s]\n",
      "\xEF\xBB\xBF[GENERAL]\r\nA=1\r\n",
      // A second mark is the first line's text; written back, it must not become the file's mark.
      "\xEF\xBB\xBF\xEF\xBB\xBFkey=value\n",
  };
  for (const std::string& text : texts) EXPECT_EQ(ini::Document::Parse(text).Serialize(), text);
}

TEST(IniDocument, ChangedSectionsLeaveTheRestAlone) {
  ini::Document doc = ini::Document::Parse("; top\n[GENERAL]\nA=1\n[List]\nold=1\n");
  auto& sections = doc.sections();
  sections.erase(sections.begin() + 2);
  doc.AppendSection("List").lines.push_back(ini::Document::MakeEntry("new", "2"));
  EXPECT_EQ(doc.Serialize(), "; top\n[GENERAL]\nA=1\n[List]\nnew=2\n");
  ASSERT_NE(doc.Find("list", "NEW"), nullptr);
  EXPECT_EQ(*doc.Find("list", "NEW"), "2");
}

TEST(IniDocument, NamesCompareLikeTheProfileFunctions) {
  EXPECT_TRUE(ini::SameName("GENERAL", "general"));
  EXPECT_TRUE(ini::SameName("\xC9t\xE9", "\xE9T\xC9"));  // accented letters fold too
  EXPECT_FALSE(ini::SameName("e", "\xE9"));
  EXPECT_FALSE(ini::SameName("co-op", "coop"));
  EXPECT_FALSE(ini::SameName(std::string("a\0b", 3), std::string("a\0c", 3)));
}

}  // namespace
