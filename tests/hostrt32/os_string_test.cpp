#include "hostrt32/hostrt32.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <filesystem>
#include <string>

namespace {

std::string Contents(const OsStr& s) { return std::string(s.GetData(), s.GetLength()); }

OsStrBin Bin(const std::string& bytes) {
  OsStrBin s;
  xfvOsStrConstructFromBytes(&s, bytes.data(), bytes.size());
  return s;
}

TEST(OsString, UnsetHandlesShareTheCommonEmptyString) {
  OsStrBin bin;
  OsStrMb mb;
  EXPECT_EQ(bin.GetData(), xtOsStrCommonEmptyStr.chars);
  EXPECT_EQ(mb.GetData(), reinterpret_cast<char*>(&xtOsStrCommonEmptyStr) + 12);
  EXPECT_EQ(bin.GetLength(), 0u);
  EXPECT_STREQ(mb.GetData(), "");
  xfvOsStrDestruct(&bin);  // the shared string is never freed
  EXPECT_EQ(bin.GetData(), xtOsStrCommonEmptyStr.chars);
}

TEST(OsString, ConstructIgnoringNullsCopiesEveryByte) {
  const std::string body("<a>\0\0x</a>\0", 11);
  OsStrBin source = Bin(body);
  OsStrBin copy;
  xfvOsStrConstructByStrDataIgnoringNulls(&copy, &source);
  EXPECT_EQ(Contents(copy), body);
  EXPECT_NE(copy.GetData(), source.GetData()) << "a copy of its own, not a shared one";
  EXPECT_EQ(copy.GetData()[copy.GetLength()], '\0');
  xfvOsStrDestruct(&source);
  EXPECT_EQ(Contents(copy), body) << "the copy outlives its source";
  xfvOsStrDestruct(&copy);
  EXPECT_EQ(copy.GetLength(), 0u);
}

TEST(OsString, CopiesShareUntilTheLastHolderGoes) {
  OsStrBin a = Bin("payload");
  {
    OsStrBin b = a;  // by value, as the library receives bodies
    EXPECT_EQ(b.GetData(), a.GetData());
    OsStrBin c;
    c = b;
    c = c;  // self-assignment keeps the string alive
    EXPECT_EQ(Contents(c), "payload");
  }
  EXPECT_EQ(Contents(a), "payload");
}

TEST(OsString, ReconstructingReleasesWhatWasHeld) {
  OsStrBin s = Bin("first");
  xfvOsStrConstructFromBytes(&s, "second", 6);
  EXPECT_EQ(Contents(s), "second");
  xfvOsStrConstructFromBytes(&s, nullptr, 0);
  EXPECT_EQ(s.GetData(), xtOsStrCommonEmptyStr.chars);
  xfvOsStrConstructByStrDataIgnoringNulls(&s, nullptr);
  EXPECT_EQ(s.GetLength(), 0u);
}

TEST(OsString, RefillingKeepsASoleHoldersBlockButNeverASharedOne) {
  OsStrMb text;
  xfvOsStrConstructFromBytes(&text, "Envelope", 8);
  const char* block = text.GetData();
  xfvOsStrConstructFromBytes(&text, "Body", 4);
  EXPECT_EQ(text.GetData(), block) << "a shorter text fits the block it has";
  EXPECT_EQ(Contents(text), "Body");
  EXPECT_EQ(text.GetData()[4], '\0');

  OsStrMb other = text;  // now shared
  xfvOsStrConstructFromBytes(&text, "Header", 6);
  EXPECT_NE(text.GetData(), block);
  EXPECT_EQ(Contents(other), "Body") << "a holder of the old text keeps it";
  EXPECT_EQ(Contents(text), "Header");

  xfvOsStrConstructFromBytes(&text, text.GetData() + 1, 3);  // from its own characters
  EXPECT_EQ(Contents(text), "ead");
  const std::string longer(1000, 'x');
  xfvOsStrConstructFromBytes(&text, longer.data(), longer.size());
  EXPECT_EQ(Contents(text), longer);
}

TEST(OsString, CompareNoCaseUsesTheAnsiRules) {
  struct Case {
    std::string text;
    const char* other;
    bool equal;
  };
  const Case cases[] = {
      {"Envelope", "envelope", true},  {"ENVELOPE", "Envelope", true}, {"Header", "Headers", false},
      {"", nullptr, true},             {"x", nullptr, false},          {"J\xF6rg", "J\xD6RG", true},
      {"co-op", "coop", false},
  };
  for (const Case& c : cases) {
    OsStrMb mb;
    xfvOsStrConstructFromBytes(&mb, c.text.data(), c.text.size());
    EXPECT_EQ(mb.CompareNoCase(c.other) == 0, c.equal) << c.text << " vs " << (c.other ? c.other : "NULL");
  }
}

TEST(OsString, EmptyForNull) {
  const char* text = "x";
  EXPECT_EQ(fpszOsStrCharArrayEmptyForNull(text), text);
  EXPECT_STREQ(fpszOsStrCharArrayEmptyForNull(nullptr), "");
}

TEST(ModuleDirectory, ReportsTheExecutablesFolderOrTheOneSet) {
  char buffer[kOsMaxPath] = {};
  ASSERT_EQ(os_get_module_dir_name(buffer), buffer);
  EXPECT_TRUE(std::filesystem::path(buffer).is_absolute()) << buffer;
  const char last = buffer[std::strlen(buffer) - 1];
  EXPECT_TRUE(last != '/' && last != '\\') << "no closing separator: " << buffer;

  os_set_module_dir_name("/opt/product/bin/");
  char set[kOsMaxPath] = {};
  ASSERT_NE(os_get_module_dir_name(set), nullptr);
  EXPECT_STREQ(set, "/opt/product/bin");

  // 259 characters fit with their NUL; 260 do not, and a cut-off folder is never reported.
  for (const std::size_t length : {259u, 260u, 400u}) {
    const std::string dir = "/" + std::string(length - 1, 'd');
    os_set_module_dir_name(dir.c_str());
    char out[kOsMaxPath] = {};
    EXPECT_EQ(os_get_module_dir_name(out) != nullptr, length < kOsMaxPath) << length;
  }
  os_set_module_dir_name(nullptr);
  char again[kOsMaxPath] = {};
  ASSERT_NE(os_get_module_dir_name(again), nullptr);
  EXPECT_STREQ(again, buffer);
  EXPECT_EQ(os_get_module_dir_name(nullptr), nullptr);
}

}  // namespace
