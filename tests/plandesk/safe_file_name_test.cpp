// The file-name rule on its own: exact results for the documented examples and the bounds.
#include "safe_file_name.h"

#include <gtest/gtest.h>

#include <regex>
#include <set>

namespace {

using plandesk::SafeFileName;

// "<stem>-<8 hex digits>.config"
::testing::AssertionResult IsHashed(const std::string& name, const std::string& stem) {
  static const std::regex hashed("(.*)-[0-9a-f]{8}\\.config");
  std::smatch match;
  if (!std::regex_match(name, match, hashed)) return ::testing::AssertionFailure() << name << " has no hash";
  if (match[1] != stem) return ::testing::AssertionFailure() << name << ": stem is not " << stem;
  return ::testing::AssertionSuccess();
}

TEST(SafeFileName, SafeNamesStayAsTheyAre) {
  const struct {
    std::u16string service;
    const char* file;
  } cases[] = {
      {u"Calculator", "Calculator.config"},
      {u"B\u00FCro Dienst", "B\xC3\xBCro Dienst.config"},
      {u"svc.v2", "svc.v2.config"},
      {u"a..b", "a..b.config"},
      {u"CONSOLE", "CONSOLE.config"},
      {u"COM10", "COM10.config"},
      {u"", "unnamed-service.config"},
  };
  for (const auto& c : cases) EXPECT_EQ(SafeFileName(c.service), c.file);
}

TEST(SafeFileName, UnsafeNamesAreMadeSafeAndHashed) {
  const struct {
    std::u16string service;
    const char* stem;
  } cases[] = {
      {u"a/b\\c", "a_b_c"},
      {u"../../etc/passwd", "_.._etc_passwd"},
      {u"..", "unnamed-service"},
      {u"  .x. ", "x"},
      {u"tab\there", "tab_here"},
      {u"del\x7F c1\x85", "del_ c1_"},
      {u"<>:\"|?*", "_______"},
      {u"\u202Eexe.txt", "_exe.txt"},
      {u"lone \xDC00", "lone _"},
      {u"con", "_con"},
      {u"Nul.txt", "_Nul.txt"},
      {u"lpt3 .log", "_lpt3 .log"},
      {u"COM\u00B9", "_COM\xC2\xB9"},
  };
  for (const auto& c : cases) EXPECT_TRUE(IsHashed(SafeFileName(c.service), c.stem));
}

TEST(SafeFileName, LongNamesAreCutAtWholeCharactersAndStayDistinct) {
  const std::string ascii = SafeFileName(std::u16string(10000, u's'));
  EXPECT_TRUE(IsHashed(ascii, std::string(120, 's')));
  EXPECT_NE(ascii, SafeFileName(std::u16string(10001, u's')));

  // 40 three-byte characters fit in 120 bytes; a four-byte pair is never split.
  std::string euros;
  for (int i = 0; i < 40; ++i) euros += "\xE2\x82\xAC";
  EXPECT_TRUE(IsHashed(SafeFileName(std::u16string(100, u'\u20AC')), euros));
  std::u16string pairs;
  for (int i = 0; i < 40; ++i) pairs += u"\U0001F511";
  const std::string cut = SafeFileName(pairs);
  EXPECT_EQ(cut.size(), 30 * 4 + 9 + 7) << "30 whole pairs, hash, extension";
}

TEST(SafeFileName, NamesThatDifferOnlyInUnsafePartsGetDifferentFiles) {
  const std::u16string services[] = {u"a/b", u"a\\b", u"a:b", u"a_b", u".a_b", u"a_b.", u"..", u".", u"CON", u"_CON"};
  std::set<std::string> files;
  for (const auto& service : services) files.insert(SafeFileName(service));
  EXPECT_EQ(files.size(), std::size(services));
}

}  // namespace
