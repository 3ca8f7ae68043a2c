// Code-page conversions, lstrcmpiA and GUID text.
#include "com_test_support.h"
#include "test_system.h"
#include "win32/kernel.h"
#include "win32/strings.h"

#include <string>

using testing_support::kWindows;

namespace {

constexpr int kNoPointer = -1;  // `used`: pass no lpUsedDefaultChar

TEST(ConversionTest, Table) {
  const bool wine = testing_support::RunsUnderWine();
  const struct {
    const char* name;
    bool toWide;
    UINT codePage;
    DWORD flags;
    bool nullSource;
    std::string narrow;  // source, or expected result
    win32::OleString wide;  // source, or expected result
    int srcLen;           // -1: up to and with the NUL
    int dstLen;           // 0: a length-only call
    int result;
    DWORD error;  // when result is 0
    int used;     // expected *lpUsedDefaultChar, or kNoPointer
  } cases[] = {
      {"-1 counts the NUL", true, CP_ACP, 0, false, "foobar", {OLESTR("foobar"), 7}, -1, 16, 7, 0, kNoPointer},
      {"explicit length adds no NUL", true, CP_ACP, 0, false, "foobar", OLESTR("foobar"), 6, 16, 6, 0, kNoPointer},
      {"length only", true, CP_ACP, 0, false, "foobar", OLESTR(""), -1, 0, 7, 0, kNoPointer},
      {"one short", true, CP_ACP, 0, false, "foobar", OLESTR(""), -1, 6, 0, ERROR_INSUFFICIENT_BUFFER, kNoPointer},
      {"NULL source", true, CP_ACP, 0, true, "", OLESTR(""), -1, 16, 0, ERROR_INVALID_PARAMETER, kNoPointer},
      {"zero length", true, CP_ACP, 0, false, "x", OLESTR(""), 0, 16, 0, ERROR_INVALID_PARAMETER, kNoPointer},
      {"1252 high block", true, 1252, 0, false, "\x80\x9F\x8A\xF6", OLESTR("\u20AC\u0178\u0160\u00F6"), 4, 16, 4, 0,
       kNoPointer},
      {"undefined 0x90 is no error", true, CP_ACP, MB_ERR_INVALID_CHARS, false, "\x90", OLESTR("\u0090"), 1, 16, 1, 0,
       kNoPointer},
      {"UTF-8 with a supplementary character", true, CP_UTF8, 0, false, "J\xC3\xB6rg\xF0\x9F\x98\x80",
       OLESTR("J\u00F6rg\U0001F600"), 9, 16, 6, 0, kNoPointer},
      // One U+FFFD for each maximal ill-formed part, as Unicode recommends; Wine takes the
      // surrogate's first two bytes (ED A0) for one part.
      {"invalid UTF-8 becomes U+FFFD", true, CP_UTF8, 0, false, "a\xFF\xC0\x80\xED\xA0\x80z",
       wine ? OLESTR("a\uFFFD\uFFFD\uFFFD\uFFFD\uFFFDz") : OLESTR("a\uFFFD\uFFFD\uFFFD\uFFFD\uFFFD\uFFFDz"), 8, 16,
       wine ? 7 : 8, 0, kNoPointer},
      {"invalid UTF-8 refused", true, CP_UTF8, MB_ERR_INVALID_CHARS, false, "a\xFF", OLESTR(""), 2, 16, 0,
       ERROR_NO_UNICODE_TRANSLATION, kNoPointer},

      {"-1 counts the NUL", false, CP_ACP, 0, false, {"foobar", 7}, OLESTR("foobar"), -1, 16, 7, 0, FALSE},
      {"one short", false, CP_ACP, 0, false, "", OLESTR("foobar"), -1, 6, 0, ERROR_INSUFFICIENT_BUFFER, kNoPointer},
      {"high block back", false, CP_ACP, 0, false, "\x80\x9F\x90", OLESTR("\u20AC\u0178\u0090"), 3, 16, 3, 0, FALSE},
      {"Cyrillic is not in 1252", false, CP_ACP, 0, false, {"Th?i", 5}, OLESTR("Th\u0440i"), -1, 16, 5, 0, TRUE},
      {"no best fit when asked", false, CP_ACP, WC_NO_BEST_FIT_CHARS, false, "?", OLESTR("\u0141"), 1, 16, 1, 0, TRUE},
      // Windows maps to look-alikes unless asked not to; our runtime never does.
      {"best fit by default", false, CP_ACP, 0, false, kWindows ? "L" : "?", OLESTR("\u0141"), 1, 16, 1, 0,
       kWindows ? FALSE : TRUE},
      {"C1 control outside the table", false, CP_ACP, 0, false, "?", OLESTR("\u0080"), 1, 16, 1, 0, TRUE},
      {"a real '?'", false, CP_ACP, 0, false, "?", OLESTR("?"), 1, 16, 1, 0, FALSE},
      {"length only still reports", false, CP_ACP, 0, false, "", OLESTR("\u0440"), 1, 0, 1, 0, TRUE},
      {"each surrogate half", false, CP_ACP, 0, false, "??", OLESTR("\U0001F600"), 2, 16, 2, 0, TRUE},
      {"UTF-8", false, CP_UTF8, 0, false, "J\xC3\xB6rg\xF0\x9F\x98\x80", OLESTR("J\u00F6rg\U0001F600"), 6, 16, 9, 0,
       kNoPointer},
      {"lone surrogate to UTF-8", false, CP_UTF8, 0, false, "\xEF\xBF\xBD", OLESTR("\xD800"), 1, 16, 3, 0, kNoPointer},
      // Wine converts and reports the flag as not used.
      {"UTF-8 takes no used flag", false, CP_UTF8, 0, false, wine ? "a" : "", OLESTR("a"), 1, 16, wine ? 1 : 0,
       ERROR_INVALID_PARAMETER, FALSE},
      {"NULL source", false, CP_ACP, 0, true, "", OLESTR(""), -1, 16, 0, ERROR_INVALID_PARAMETER, kNoPointer},
      {"zero length", false, CP_ACP, 0, false, "", OLESTR("x"), 0, 16, 0, ERROR_INVALID_PARAMETER, kNoPointer},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.toWide ? "to UTF-16: " : "from UTF-16: ") + c.name);
    SetLastError(ERROR_SUCCESS);
    int result = 0;
    if (c.toWide) {
      win32::OleString out(32, OLESTR('#'));
      result = MultiByteToWideChar(c.codePage, c.flags, c.nullSource ? nullptr : c.narrow.data(), c.srcLen,
                                   c.dstLen ? out.data() : nullptr, c.dstLen);
      if (result > 0 && c.dstLen > 0) {
        EXPECT_EQ(out.substr(0, result), c.wide);
      }
    } else {
      std::string out(32, '#');
      BOOL used = 2;
      result = WideCharToMultiByte(c.codePage, c.flags, c.nullSource ? nullptr : c.wide.data(), c.srcLen,
                                   c.dstLen ? out.data() : nullptr, c.dstLen, nullptr,
                                   c.used == kNoPointer ? nullptr : &used);
      if (result > 0 && c.dstLen > 0) {
        EXPECT_EQ(out.substr(0, result), c.narrow);
      }
      if (result > 0 && c.used != kNoPointer) {
        EXPECT_EQ(used, c.used);
      }
    }
    EXPECT_EQ(result, c.result);
    if (result == 0) {
      EXPECT_EQ(GetLastError(), c.error);
    }
  }
}

TEST(ConversionTest, WidenAndNarrow) {
  const win32::OleString jorg = win32::Widen("J\xC3\xB6rg", CP_UTF8);
  EXPECT_EQ(jorg, OLESTR("J\u00F6rg"));
  EXPECT_EQ(win32::Narrow(jorg), "J\xF6rg");
  EXPECT_EQ(win32::Narrow(jorg, CP_UTF8), "J\xC3\xB6rg");
  EXPECT_EQ(win32::Widen("J\xF6rg"), jorg);
  EXPECT_EQ(win32::Widen(std::string_view("a\0b", 3)), win32::OleString(OLESTR("a\0b"), 3));
  EXPECT_EQ(win32::Narrow(OLESTR("\u0440\u00E9")), "?\xE9");
  // No look-alikes: a fullwidth backslash must not turn into a path separator.
  EXPECT_EQ(win32::Narrow(OLESTR("\u0141\uFF3C")), "??");
  EXPECT_EQ(win32::Widen(""), OLESTR(""));
  try {
    win32::Widen("x", 12345);
    ADD_FAILURE() << "no exception";
  } catch (const _com_error& e) {
    EXPECT_EQ(e.Error(), HRESULT_FROM_WIN32(ERROR_INVALID_PARAMETER));
  }
}

TEST(LstrcmpiTest, Table) {
  constexpr int kUnequal = 2;  // either sign, as long as it is not equality
  const struct {
    const char* a;
    const char* b;
    int expected;
  } cases[] = {
      {"Salut", "SaLuT", 0},   {"\xE9t\xE9", "\xC9T\xC9", 0}, {"e", "\xE9", -1},     {"co-op", "coop", kUnequal},
      {"a-", "a", 1},          {"a'", "a", 1},               {"a", "B", -1},        {"a", "z", -1},
      {"ab", "abc", -1},       {"_x", "a", -1},              {"{", "a", -1},        {"A", "{", 1},
      {"EndDialog", "_Property", 1}, {"#", ".", -1},         {"1", "a", -1},        {"9", "A", -1},
      {"a\0b", "a", 0},        {"", "", 0},                  {nullptr, nullptr, 0}, {nullptr, "", -1},
      {"a", nullptr, 1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.a ? c.a : "NULL") + " vs " + (c.b ? c.b : "NULL"));
    const int forward = lstrcmpiA(c.a, c.b);
    const int backward = lstrcmpiA(c.b, c.a);
    EXPECT_TRUE(forward >= -1 && forward <= 1) << forward;
    EXPECT_EQ(backward, -forward);
    if (c.expected == kUnequal) {
      EXPECT_NE(forward, 0);
    } else {
      EXPECT_EQ(forward, c.expected);
    }
  }
}

TEST(GuidTextTest, RoundTripAndRefusals) {
  constexpr GUID guid = {0x01234567, 0x89AB, 0xCDEF, {0x01, 0x23, 0x45, 0x67, 0x89, 0xAB, 0xCD, 0xEF}};
  OLECHAR text[40];
  EXPECT_EQ(StringFromGUID2(guid, text, 38), 0);
  ASSERT_EQ(StringFromGUID2(guid, text, 39), 39);
  EXPECT_EQ(win32::OleString(text), OLESTR("{01234567-89AB-CDEF-0123-456789ABCDEF}"));
  CLSID parsed = CLSID_NULL;
  EXPECT_EQ(CLSIDFromString(text, &parsed), S_OK);
  EXPECT_EQ(parsed, guid);
  EXPECT_EQ(CLSIDFromString(OLESTR("{01234567-89ab-cdef-0123-456789abcdef}"), &parsed), S_OK);
  EXPECT_EQ(parsed, guid);
  EXPECT_EQ(CLSIDFromString(OLESTR("{01234567-89AB-CDEF-0123-456789ABCDEF}"), nullptr), E_INVALIDARG);
  for (const OLECHAR* bad :
       {OLESTR("01234567-89AB-CDEF-0123-456789ABCDEF"), OLESTR("{01234567-89AB-CDEF-0123-456789ABCDE}"),
        OLESTR("{01234567-89AB-CDEF-0123-456789ABCDEF0}"), OLESTR("{0123456-789AB-CDEF-0123-456789ABCDEF}"),
        OLESTR("{01234567-89AB-CDEF-0123-456789ABCDEG}"), OLESTR("{01234567-89AB-CDEF-012345-6789ABCDEF}"),
        OLESTR("(01234567-89AB-CDEF-0123-456789ABCDEF)"), OLESTR(""), OLESTR("{}")}) {
    SCOPED_TRACE(std::string(bad, bad + std::char_traits<OLECHAR>::length(bad)));
    EXPECT_EQ(CLSIDFromString(bad, &parsed), CO_E_CLASSSTRING);
  }
}

}  // namespace
