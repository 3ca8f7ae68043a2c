#include "config/config.h"

#include "temp_dir.h"

#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>

namespace {

using testing_support::TempDir;

struct StoreDeleter {
  void operator()(void* store) const { delete_config(store); }
};
using Store = std::unique_ptr<void, StoreDeleter>;

std::optional<std::string> Lookup(void* store, const char* section, const char* key) {
  const char* value = config_get_attrib_val(store, nullptr, section, key);
  return value ? std::optional<std::string>(value) : std::nullopt;
}

template <std::size_t N>
std::string Bytes(const char (&text)[N]) {
  return std::string(text, N - 1);
}

struct LookupCase {
  const char* name;
  std::string file;
  const char* section;
  const char* key;
  std::optional<std::string> expected;
};

TEST(ConfigStore, ReadsProfileSyntax) {
  const LookupCase cases[] = {
      {"plain", "[GENERAL]\nAutoDetectMode=Yes\n", "GENERAL", "AutoDetectMode", "Yes"},
      {"crlf", "[GENERAL]\r\nAutoDetectMode=Yes\r\n", "GENERAL", "AutoDetectMode", "Yes"},
      {"lone cr", "[GENERAL]\rAutoDetectMode=Yes\r", "GENERAL", "AutoDetectMode", "Yes"},
      {"bom", "\xEF\xBB\xBF[GENERAL]\nA=1\n", "GENERAL", "A", "1"},
      {"names without case", "[general]\nautodetectmode=on\n", "GENERAL", "AutoDetectMode", "on"},
      {"blanks trimmed", "  [ GENERAL ]  \n\t key \t=  true  \n", "GENERAL", "key", "true"},
      {"comments", "; c\n# c\n[GENERAL]\n;A=1\nA=2\n", "GENERAL", "A", "2"},
      {"semicolon is value", "[S]\nA=x ; y\n", "S", "A", "x ; y"},
      {"quotes removed", "[S]\nA=\" spaced \"\n", "S", "A", " spaced "},
      {"empty value", "[S]\nA=\n", "S", "A", ""},
      {"first duplicate key", "[S]\nA=1\nA=2\n", "S", "A", "1"},
      {"first duplicate section", "[S]\nA=1\n[S]\nA=2\nB=3\n", "S", "B", std::nullopt},
      {"missing key", "[S]\nA=1\n", "S", "B", std::nullopt},
      {"missing section", "[S]\nA=1\n", "T", "A", std::nullopt},
      {"key before any section", "A=1\n[S]\n", "S", "A", std::nullopt},
      {"indented line is a key", "[S]\nA=1\n  B=2\n", "S", "B", "2"},
      {"no equals sign", "[S]\njunk\nA=1\n", "S", "A", "1"},
      {"value keeps '='", "[S]\nA=b=c\n", "S", "A", "b=c"},
      {"1 MB line", "[S]\nA=" + std::string(1 << 20, 'x') + "\nB=2\n", "S", "B", "2"},
      {"binary", Bytes("\0\xff\x01\x80junk\n[S]\nA=1\n\0\0"), "S", "A", "1"},
      {"empty file", "", "S", "A", std::nullopt},
  };
  for (const LookupCase& c : cases) {
    TempDir dir;
    const std::string file = dir.Write("f.ini", c.file);
    Store store(new_config());
    ASSERT_EQ(config_add_ini_file_source(store.get(), file.c_str()), 0) << c.name;
    EXPECT_EQ(Lookup(store.get(), c.section, c.key), c.expected) << c.name;
  }
}

TEST(ConfigStore, SourcesAreAskedInTheOrderAdded) {
  TempDir dir;
  const std::string first = dir.Write("a.ini", "[S]\nA=first\n");
  const std::string second = dir.Write("b.ini", "[S]\nA=second\nB=only second\n");
  Store store(new_config());
  ASSERT_EQ(config_add_ini_file_source(store.get(), first.c_str()), 0);
  ASSERT_EQ(config_add_ini_file_source(store.get(), second.c_str()), 0);
  const char* a = config_get_attrib_val(store.get(), nullptr, "S", "A");
  EXPECT_EQ(Lookup(store.get(), "S", "A"), "first");
  EXPECT_EQ(Lookup(store.get(), "S", "B"), "only second");
  // Values stay valid while the store lives, even after more sources are added.
  ASSERT_EQ(config_add_ini_file_source(store.get(), first.c_str()), 0);
  EXPECT_STREQ(a, "first");
}

TEST(ConfigStore, BadCallsGiveResultsNotCrashes) {
  TempDir dir;
  Store store(new_config());
  ASSERT_NE(store, nullptr);
  EXPECT_NE(config_add_ini_file_source(store.get(), (dir.str() + "/missing.ini").c_str()), 0);
  EXPECT_NE(config_add_ini_file_source(store.get(), dir.str().c_str()), 0) << "a folder";
  EXPECT_NE(config_add_ini_file_source(store.get(), nullptr), 0);
  EXPECT_NE(config_add_ini_file_source(nullptr, "x"), 0);
  EXPECT_EQ(config_get_attrib_val(nullptr, nullptr, "S", "A"), nullptr);
  EXPECT_EQ(config_get_attrib_val(store.get(), nullptr, nullptr, "A"), nullptr);
  delete_config(nullptr);
  // Windows-style separators name the same file.
  dir.Write("dat/f.ini", "[S]\nA=1\n");
  std::filesystem::create_directories(dir.path() / "bin");
  EXPECT_EQ(config_add_ini_file_source(store.get(), (dir.str() + "\\bin\\..\\dat\\f.ini").c_str()), 0);
  EXPECT_EQ(Lookup(store.get(), "S", "A"), "1");
}

TEST(ConfigException, CopiesOwnTheirMessage) {
  CKvBaseException empty;
  EXPECT_STREQ(*empty, "");
  CKvBaseException original("disk on fire");
  CKvBaseException copy(original);
  CKvBaseException assigned;
  assigned = original;
  assigned = assigned;
  EXPECT_STREQ(*copy, "disk on fire");
  EXPECT_STREQ(*assigned, "disk on fire");
  EXPECT_NE(*copy, *original);
}

}  // namespace
