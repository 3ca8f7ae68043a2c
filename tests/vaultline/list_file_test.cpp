// The list in its file: what a save keeps, what a load makes of missing and damaged files, and the
// write through a temporary file.
#include "test_system.h"
#include "vaultline_test_support.h"

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <vector>

namespace vaultline_test {
namespace {

namespace fs = std::filesystem;

constexpr HRESULT kReadFault = HRESULT_FROM_WIN32(ERROR_READ_FAULT);
constexpr HRESULT kWriteFault = HRESULT_FROM_WIN32(ERROR_WRITE_FAULT);
constexpr HRESULT kTooLarge = HRESULT_FROM_WIN32(ERROR_FILE_TOO_LARGE);

// The section the list writes for an item that has only its WsdlUrl set.
std::string Section(const std::string& header, const std::string& url, const std::string& eol = "\r\n") {
  std::string text = "[SilverlightList/" + header + "]" + eol + "WsdlUrl=" + url + eol;
  for (const char* entry : {"ItemKey=", "ItemName=", "ItemText=", "ItemFlag=0", "ConnectionFlag1=0",
                            "ConnectionText1=", "ConnectionText2=", "ConnectionFlag2=0", "ConnectionText3=",
                            "ConnectionNumber1=0", "ProxyPortStr=", "ConnectionText4=", "ConnectionText5="}) {
    text += entry + eol;
  }
  return text + eol;
}

class ListFileTest : public VaultlineTest {
 protected:
  // A list holding "a" -> u1 and "GENERAL" -> u2, in that order.
  static CComPtr<IPersistSilverlightList> ListOfTwo() {
    CComPtr<IPersistSilverlightList> list = NewList();
    for (const auto& [key, url] : {std::pair{"a", "u1"}, std::pair{"GENERAL", "u2"}}) {
      CComPtr<IPersistSilverlightListItemRO> item = NewItem();
      item->put_WsdlUrl(Ansi(url).get());
      list->AddItemByKey(Ansi(key).get(), item);
    }
    return list;
  }
  static HRESULT Save(IPersistSilverlightList* list, const std::string& path, LONG clear) {
    return list->raw_SaveEx(Ansi(path).get(), clear);
  }
  static HRESULT Load(IPersistSilverlightList* list, const std::string& path) {
    return list->raw_Load(Ansi(path).get());
  }
  static win32::OleString UrlOf(IPersistSilverlightList* list, const char* key) {
    CComPtr<IPersistSilverlightListItemRO> item = ItemOf(list, Ansi(key).get());
    return GetString([&](BSTR* out) { return item->get_WsdlUrl(out); });
  }
  // Names in the scratch folder other than `expected`: leftovers of a write.
  std::vector<std::string> Strays(const std::vector<std::string>& expected) const {
    std::vector<std::string> strays;
    for (const auto& entry : fs::directory_iterator(dir_.path())) {
      const std::string name = entry.path().filename().string();
      if (std::find(expected.begin(), expected.end(), name) == expected.end()) strays.push_back(name);
    }
    return strays;
  }
};

TEST_F(ListFileTest, KeepingSaveRewritesOnlyTheListsSections) {
  const std::string options = "; Recording options\r\n[GENERAL]\r\n; Detect\r\nAutoDetectMode=Yes\r\n";
  struct Case {
    const char* name;
    std::string before;
    std::string after;
  };
  const Case cases[] = {
      {"options only", options, options + "\r\n" + Section("a", "u1") + Section("GENERAL", "u2")},
      {"LF line ends and a byte-order mark", "\xEF\xBB\xBF[GENERAL]\nAutoDetectMode=Yes\n\n",
       "\xEF\xBB\xBF[GENERAL]\nAutoDetectMode=Yes\n\n" + Section("a", "u1", "\n") + Section("GENERAL", "u2", "\n")},
      {"CR line ends", "[GENERAL]\rA=1\r", "[GENERAL]\rA=1\r\r" + Section("a", "u1", "\r") + Section("GENERAL", "u2", "\r")},
      {"empty file", "", Section("a", "u1") + Section("GENERAL", "u2")},
      {"items first; the comment that introduces the options stays in front of them",
       "[SilverlightList/a]\r\nWsdlUrl=old\r\n\r\n; options follow\r\n[GENERAL]\r\nAutoDetectMode=Yes\r\n",
       Section("a", "u1") + Section("GENERAL", "u2") + "; options follow\r\n[GENERAL]\r\nAutoDetectMode=Yes\r\n"},
      {"an item the list does not hold is kept; new items follow it",
       "[GENERAL]\r\nX=1\r\n[SilverlightList/other]\r\nWsdlUrl=kept\r\n[Tail]\r\nY=2\r\n",
       "[GENERAL]\r\nX=1\r\n[SilverlightList/other]\r\nWsdlUrl=kept\r\n\r\n" + Section("a", "u1") +
           Section("GENERAL", "u2") + "[Tail]\r\nY=2\r\n"},
      {"a key twice: the first section is rewritten, the second dropped",
       "[SilverlightList/a]\r\nWsdlUrl=first\r\n[SILVERLIGHTLIST/A]\r\nWsdlUrl=second\r\n; tail\r\n",
       Section("a", "u1") + Section("GENERAL", "u2") + "; tail\r\n"},
  };
  const std::string path = Path("silverlight_ro.ini");
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    dir_.Write("silverlight_ro.ini", c.before);
    CComPtr<IPersistSilverlightList> list = ListOfTwo();
    ASSERT_EQ(S_OK, Save(list, path, 0));
    EXPECT_EQ(c.after, ReadFile(path));
    ASSERT_EQ(S_OK, Save(list, path, 0));
    EXPECT_EQ(c.after, ReadFile(path)) << "a second save changes nothing";
  }
}

TEST_F(ListFileTest, ClearingSaveLeavesTheListAlone) {
  const std::string path = dir_.Write("l.ini", "\xEF\xBB\xBF[GENERAL]\nAutoDetectMode=Yes\n[SilverlightList/x]\nWsdlUrl=x\n");
  ASSERT_EQ(S_OK, Save(ListOfTwo(), path, 1));
  EXPECT_EQ(Section("a", "u1") + Section("GENERAL", "u2"), ReadFile(path));
  ASSERT_EQ(S_OK, Save(NewList(), path, -1));
  EXPECT_EQ("", ReadFile(path));
}

TEST_F(ListFileTest, KeepingSaveKeepsWhatAnotherListSavedMeanwhile) {
  const std::string path = dir_.Write("l.ini", "[GENERAL]\r\nAutoDetectMode=Yes\r\n");
  CComPtr<IPersistSilverlightList> first = ListOfTwo();
  CComPtr<IPersistSilverlightList> second = NewList();
  ASSERT_EQ(S_OK, Load(second, path));
  second->AddItemByKey(Ansi("b").get(), NewItem());
  ASSERT_EQ(S_OK, Save(second, path, 0));
  // The first list has its own "a": rewritten in place; "b" is not its own and stays.
  CComPtr<IPersistSilverlightListItemRO> a = ItemOf(first, Ansi("a").get());
  ASSERT_EQ(S_OK, Save(first, path, 0));
  a->put_WsdlUrl(Ansi("changed").get());
  ASSERT_EQ(S_OK, Save(first, path, 0));
  CComPtr<IPersistSilverlightList> reader = NewList();
  ASSERT_EQ(S_OK, Load(reader, path));
  EXPECT_EQ(3, CountOf(reader));
  EXPECT_EQ(OLESTR("changed"), UrlOf(reader, "a"));
  EXPECT_EQ(OLESTR(""), UrlOf(reader, "b"));
  const std::string text = ReadFile(path);
  EXPECT_LT(text.find("[SilverlightList/b]"), text.find("[SilverlightList/a]")) << "in the order they were saved";
}

TEST_F(ListFileTest, MissingFileLoadsAsEmptyList) {
  CComPtr<IPersistSilverlightList> list = ListOfTwo();
  for (const std::string& path : {Path("absent.ini"), Path("no/such/folder/l.ini")}) {
    ASSERT_EQ(S_OK, Load(list, path)) << path;
    EXPECT_EQ(0, CountOf(list));
    EXPECT_FALSE(fs::exists(path));
  }
}

TEST_F(ListFileTest, DamagedFilesGiveWhatCanBeRead) {
  struct Case {
    const char* name;
    std::string text;
    LONG count;
    const char* key;  // then its WsdlUrl
    const OLECHAR* url;
  };
  const Case cases[] = {
      {"binary junk", std::string("\0\xFF\x01[\x80]\r\n\0=\0", 11), 0, nullptr, nullptr},
      {"cut off in an entry", "[SilverlightList/a]\r\nWsdlUrl=http://h", 1, "a", OLESTR("http://h")},
      {"header without ']'", "[SilverlightList/a\r\nWsdlUrl=x\r\n", 0, nullptr, nullptr},
      {"lines without '='", "[SilverlightList/a]\r\njunk\r\nWsdlUrl=x\r\n", 1, "a", OLESTR("x")},
      {"first section and entry of a key win",
       "[SilverlightList/a]\nWsdlUrl=1\nWsdlUrl=2\n[silverlightlist/A]\nWsdlUrl=3\n", 1, "a", OLESTR("1")},
      {"unknown escapes stand for themselves", "[SilverlightList/a]\nWsdlUrl=\\q\\x4G\\\n", 1, "a",
       OLESTR("\\q\\x4G\\")},
      {"empty key", "[SilverlightList/]\nWsdlUrl=e\n", 1, "", OLESTR("e")},
      {"a line of a megabyte", "[SilverlightList/a]\nWsdlUrl=" + std::string(1 << 20, 'x') + "\n", 1, "a", nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string path = dir_.Write("damaged.ini", c.text);
    CComPtr<IPersistSilverlightList> list = NewList();
    ASSERT_EQ(S_OK, Load(list, path));
    EXPECT_EQ(c.count, CountOf(list));
    if (c.url) {
      EXPECT_EQ(c.url, UrlOf(list, c.key));
    }
  }
  // Numbers that do not parse or do not fit leave the defaults; the others still count.
  const std::string path = dir_.Write("numbers.ini",
                                      "[SilverlightList/n]\nItemFlag=70000\nConnectionFlag1=x\nConnectionFlag2=-1\n"
                                      "ConnectionNumber1=2147483648\n");
  CComPtr<IPersistSilverlightList> list = NewList();
  ASSERT_EQ(S_OK, Load(list, path));
  CComPtr<IPersistSilverlightListItemRO> item = ItemOf(list, Ansi("n").get());
  CComPtr<IPersistSilverlightConnectionSettings> settings = item->GetConnectionSettings();
  VARIANT_BOOL flag = 7, flag1 = 7, flag2 = 7;
  LONG number = 7;
  item->get_ItemFlag(&flag);
  settings->get_ConnectionFlag1(&flag1);
  settings->get_ConnectionFlag2(&flag2);
  settings->get_ConnectionNumber1(&number);
  EXPECT_EQ(0, flag);
  EXPECT_EQ(0, flag1);
  EXPECT_EQ(-1, flag2);
  EXPECT_EQ(0, number);
}

// Whatever a damaged file holds, what the list read is written so that it reads back the same: a
// second load-and-save generation changes no byte, with the file kept or cleared.
TEST_F(ListFileTest, MutatedFilesSettleAfterOneSave) {
  std::string valid = "\xEF\xBB\xBF; options\r\n[GENERAL]\r\nAutoDetectMode=Yes\r\n\r\n";
  valid += Section("one", "http://h/a?wsdl") + Section("t\\x77o \\x5B2\\x5D", "\\x20 \\r\\n=;\\\"") +
           "; between\r\n[Other]\r\nk=v\r\n" + Section("GENERAL", "x");
  std::uint32_t seed = 12345;
  const auto next = [&seed](std::uint32_t bound) {
    seed = seed * 1103515245u + 12345u;
    return (seed >> 8) % bound;
  };
  const char inserts[] = {'[', ']', '\\', '=', '\r', '\n', '\0', ';', '"', ' ', '\t', 'x', '\xF6'};
  const std::string damaged = Path("damaged.ini"), kept1 = Path("kept1.ini"), kept2 = Path("kept2.ini");
  const std::string cleared1 = Path("cleared1.ini"), cleared2 = Path("cleared2.ini");
  for (int round = 0; round < 60; ++round) {
    std::string text = valid;
    for (std::uint32_t edits = 1 + next(6); edits > 0; --edits) {
      const std::size_t at = next(static_cast<std::uint32_t>(text.size()) + 1);
      switch (next(3)) {
        case 0: text.insert(at, 1, inserts[next(sizeof inserts)]); break;
        case 1: text.erase(at, next(40)); break;
        default: text.insert(at, text.substr(next(static_cast<std::uint32_t>(text.size())), next(60))); break;
      }
    }
    SCOPED_TRACE("round " + std::to_string(round));
    dir_.Write("damaged.ini", text);
    dir_.Write("kept1.ini", text);
    CComPtr<IPersistSilverlightList> first = NewList(), second = NewList();
    ASSERT_EQ(S_OK, Load(first, damaged));
    ASSERT_EQ(S_OK, Save(first, kept1, 0));
    ASSERT_EQ(S_OK, Save(first, cleared1, 1));
    dir_.Write("kept2.ini", ReadFile(kept1));
    ASSERT_EQ(S_OK, Load(second, kept1));
    EXPECT_EQ(CountOf(first), CountOf(second));
    ASSERT_EQ(S_OK, Save(second, kept2, 0));
    ASSERT_EQ(S_OK, Save(second, cleared2, 1));
    ASSERT_EQ(ReadFile(kept1), ReadFile(kept2));
    ASSERT_EQ(ReadFile(cleared1), ReadFile(cleared2));
  }
}

TEST_F(ListFileTest, SaveReplacesTheFileByRenameAndKeepsItsPermissions) {
  const std::string path = dir_.Write("l.ini", "[GENERAL]\r\nAutoDetectMode=Yes\r\n");
  fs::permissions(path, fs::perms::owner_read | fs::perms::owner_write);
  fs::create_hard_link(path, Path("old.ini"));
  ASSERT_EQ(S_OK, Save(ListOfTwo(), path, 0));
  EXPECT_EQ("[GENERAL]\r\nAutoDetectMode=Yes\r\n", ReadFile(Path("old.ini"))) << "the old file was not written into";
  EXPECT_NE(std::string::npos, ReadFile(path).find("[SilverlightList/GENERAL]"));
  if (!testing_support::kWindows) {  // Windows keeps a read-only flag, not permission bits
    EXPECT_EQ(fs::perms::owner_read | fs::perms::owner_write, fs::status(path).permissions());
  }
  EXPECT_EQ(std::vector<std::string>{}, Strays({"l.ini", "old.ini"}));
}

TEST_F(ListFileTest, SaveThatFailsHalfWayLosesNothing) {
  SKIP_ON_WINDOWS("a process there has no limit on the size of the files it writes");
  const std::string original = "[GENERAL]\r\n; kept\r\nAutoDetectMode=Yes\r\n" + Section("old", "keep me");
  const std::string path = dir_.Write("l.ini", original);
  CComPtr<IPersistSilverlightList> list = NewList();
  for (int i = 0; i < 100; ++i) list->AddItemByKey(Ansi("key" + std::to_string(i)).get(), NewItem());
  for (LONG clear : {0, 1}) {
    HRESULT hr = S_OK;
    {
      testing_support::FileSizeLimit limit(4096);
      hr = Save(list, path, clear);
    }
    EXPECT_EQ(kWriteFault, hr);
    EXPECT_NE(win32::OleString::npos, TakeErrorDescription().find(OLESTR("cannot save the list")));
    EXPECT_EQ(original, ReadFile(path));
    EXPECT_EQ(std::vector<std::string>{}, Strays({"l.ini"}));
  }
}

TEST_F(ListFileTest, FilesThatCannotBeReadOrWritten) {
  CComPtr<IPersistSilverlightList> list = ListOfTwo();
  // A folder where the file should be: neither load nor save, and the list stays as it was.
  fs::create_directory(Path("folder.ini"));
  EXPECT_EQ(kReadFault, Load(list, Path("folder.ini")));
  EXPECT_EQ(kReadFault, Save(list, Path("folder.ini"), 0));
  EXPECT_EQ(kWriteFault, Save(list, Path("missing/l.ini"), 1));
  EXPECT_EQ(E_INVALIDARG, Save(list, "", 0));
  EXPECT_EQ(E_INVALIDARG, Load(list, ""));
  EXPECT_EQ(2, CountOf(list));
  // Over the size a list file may have (a sparse file): refused where it would be read, but a
  // clearing save does not need to read it.
  const std::string huge = Path("huge.ini");
  dir_.Write("huge.ini", "");
  fs::resize_file(huge, (std::uintmax_t(256) << 20) + 1);
  EXPECT_EQ(kTooLarge, Load(list, huge));
  EXPECT_EQ(kTooLarge, Save(list, huge, 0));
  EXPECT_EQ((std::uintmax_t(256) << 20) + 1, fs::file_size(huge));
  EXPECT_EQ(S_OK, Save(list, huge, 1));
  EXPECT_EQ(Section("a", "u1") + Section("GENERAL", "u2"), ReadFile(huge));
  SetErrorInfo(0, nullptr);
}

}  // namespace
}  // namespace vaultline_test
