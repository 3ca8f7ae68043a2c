#include "frame/bool_text.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

namespace {

// nullopt: the text says nothing, so the default comes back.
struct Case {
  const char* text;
  std::optional<bool> result;
};

TEST(OptionText, TheFirstOneOrTwoBytesDecide) {
  const Case cases[] = {
      {nullptr, std::nullopt}, {"", std::nullopt},       {"true", true},          {"TRUE", true},
      {"T", true},             {"yes", true},            {"Y", true},             {"1", true},
      {"10", true},            {"Yellow", true},         {"false", false},        {"F", false},
      {"no", false},           {"N", false},             {"0", false},            {"0.5", false},
      {"nope", false},         {"on", true},             {"ON", true},            {"On", true},
      {"online", true},        {"oN", true},             {"off", false},          {"OFF", false},
      {"of", false},           {"Of", false},            {"o", std::nullopt},     {"O", std::nullopt},
      {"ok", std::nullopt},    {" true", std::nullopt},  {"\ttrue", std::nullopt}, {"2", std::nullopt},
      {"-1", std::nullopt},    {"+1", std::nullopt},     {"enabled", std::nullopt}, {"\xD9" "es", std::nullopt},
      {"\xFF", std::nullopt},  {"o\xCE", std::nullopt},
  };
  for (const Case& c : cases) {
    for (const bool fallback : {false, true}) {
      const bool expected = c.result.value_or(fallback);
      EXPECT_EQ(xfbKvwiWebInfraGetBoolFromString(c.text, fallback), expected)
          << '"' << (c.text ? c.text : "NULL") << "\" with default " << fallback;
    }
  }
}

TEST(OptionText, NeverReadsPastTheTerminator) {
  // A one-byte allocation: reading a second byte after "t" or "" would be caught by ASan.
  for (const char first : {'t', '\0', '1'}) {
    std::unique_ptr<char[]> text(new char[first ? 2 : 1]);
    text[0] = first;
    if (first) text[1] = '\0';
    (void)xfbKvwiWebInfraGetBoolFromString(text.get(), false);
  }
}

}  // namespace
