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
    win32::OleString service;
    const char* file;
  } cases[] = {
      {OLESTR("Calculator"), "Calculator.config"}, {OLESTR("B\u00FCro Dienst"), "B\xC3\xBCro Dienst.config"},
      {OLESTR("svc.v2"), "svc.v2.config"},         {OLESTR("a..b"), "a..b.config"},
      {OLESTR("CONSOLE"), "CONSOLE.config"},       {OLESTR("COM10"), "COM10.config"},
      {OLESTR(""), "unnamed-service.config"},
  };
  for (const auto& c : cases) EXPECT_EQ(SafeFileName(c.service), c.file);
}

TEST(SafeFileName, UnsafeNamesAreMadeSafeAndHashed) {
  const struct {
    win32::OleString service;
    const char* stem;
  } cases[] = {
      {OLESTR("a/b\\c"), "a_b_c"},           {OLESTR("../../etc/passwd"), "_.._etc_passwd"},
      {OLESTR(".."), "unnamed-service"},     {OLESTR("  .x. "), "x"},
      {OLESTR("tab\there"), "tab_here"},     {OLESTR("del\x7F c1\x85"), "del_ c1_"},
      {OLESTR("<>:\"|?*"), "_______"},       {OLESTR("\u202Eexe.txt"), "_exe.txt"},
      {OLESTR("lone \xDC00"), "lone _"},     {OLESTR("con"), "_con"},
      {OLESTR("Nul.txt"), "_Nul.txt"},       {OLESTR("lpt3 .log"), "_lpt3 .log"},
      {OLESTR("COM\u00B9"), "_COM\xC2\xB9"},
  };
  for (const auto& c : cases) EXPECT_TRUE(IsHashed(SafeFileName(c.service), c.stem));
}

TEST(SafeFileName, LongNamesAreCutAtWholeCharactersAndStayDistinct) {
  const std::string ascii = SafeFileName(win32::OleString(10000, OLESTR('s')));
  EXPECT_TRUE(IsHashed(ascii, std::string(120, 's')));
  EXPECT_NE(ascii, SafeFileName(win32::OleString(10001, OLESTR('s'))));

  // 40 three-byte characters fit in 120 bytes; a four-byte pair is never split.
  std::string euros;
  for (int i = 0; i < 40; ++i) euros += "\xE2\x82\xAC";
  EXPECT_TRUE(IsHashed(SafeFileName(win32::OleString(100, OLESTR('\u20AC'))), euros));
  win32::OleString pairs;
  for (int i = 0; i < 40; ++i) pairs += OLESTR("\U0001F511");
  const std::string cut = SafeFileName(pairs);
  EXPECT_EQ(cut.size(), 30 * 4 + 9 + 7) << "30 whole pairs, hash, extension";
}

TEST(SafeFileName, NamesThatDifferOnlyInUnsafePartsGetDifferentFiles) {
  const win32::OleString services[] = {OLESTR("a/b"),  OLESTR("a\\b"), OLESTR("a:b"), OLESTR("a_b"), OLESTR(".a_b"),
                                       OLESTR("a_b."), OLESTR(".."),   OLESTR("."),   OLESTR("CON"), OLESTR("_CON")};
  std::set<std::string> files;
  for (const auto& service : services) files.insert(SafeFileName(service));
  EXPECT_EQ(files.size(), std::size(services));
}

}  // namespace
