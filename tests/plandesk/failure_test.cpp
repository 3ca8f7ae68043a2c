// Hostile and broken input: unsafe service names, bad folders, damaged files, NULL pointers.
#include "plandesk_test_support.h"

#include "test_system.h"
#include "win32/com_object.h"

namespace plandesk_test {
namespace {

namespace fs = std::filesystem;

class PlanDeskFailure : public PlanDeskTest {
 protected:
  // A failed store: failure HRESULT, VARIANT_FALSE, and error information mentioning `reason`.
  void ExpectRefused(const StoreCall& call, const std::string& reason) {
    EXPECT_TRUE(FAILED(call.hr)) << std::hex << call.hr;
    EXPECT_EQ(call.result, VARIANT_FALSE);
    const std::string description = TakeErrorDescription();
    EXPECT_NE(description.find(reason), std::string::npos) << description;
  }
};

bool IsReadableFileName(const std::string& name) {
  if (name.empty() || name.size() > 200 || name[0] == '.' || name[0] == ' ') return false;
  for (const unsigned char c : name) {
    if (c < 0x20 || c == 0x7F || c == '/' || c == '\\') return false;
  }
  return true;
}

TEST_F(PlanDeskFailure, UnsafeServiceNamesLandInsideTheScriptFolder) {
  const win32::OleString names[] = {
      OLESTR("../escaped"),
      OLESTR("..\\..\\escaped"),
      OLESTR("/etc/passwd"),
      OLESTR(".."),
      OLESTR("."),
      OLESTR(" . "),
      OLESTR(".hidden"),
      OLESTR("trailing. . "),
      OLESTR("line\nbreak\ttab\x1b[31m"),
      win32::OleString(OLESTR("nul\0inside"), 10),
      OLESTR("<>:\"|?*"),
      OLESTR("CON"),
      OLESTR("nul.txt"),
      OLESTR("Com1"),
      OLESTR("LPT9.config"),
      OLESTR("\u202Egnp.exe"),
      OLESTR("half \xD800 surrogate"),
      win32::OleString(10000, OLESTR('s')),
      win32::OleString(5000, OLESTR('\u00E9')),
  };
  const std::vector<std::string> outside = FolderEntries(folder_.parent_path());
  for (const win32::OleString& name : names) {
    SCOPED_TRACE(Utf8(name.substr(0, 40)));
    const StoreCall call = Store(Values{}, name);
    ASSERT_EQ(call.hr, S_OK);
    ASSERT_EQ(call.result, VARIANT_TRUE);
    const fs::path file = ConfigFile(name);
    EXPECT_EQ(file.parent_path(), folder_);
    EXPECT_TRUE(IsReadableFileName(file.filename().u8string())) << file.filename();
    EXPECT_TRUE(ReadBinding(file).found);
  }
  EXPECT_EQ(FolderEntries(folder_).size(), std::size(names)) << "two names shared a file";
  EXPECT_EQ(FolderEntries(folder_.parent_path()), outside) << "something was written outside the script folder";
}

TEST_F(PlanDeskFailure, BadScriptFolderIsRefusedWithAReason) {
  WriteFileBytes(folder_ / "plain-file", "x");
  const struct {
    std::string folder;
    const char* reason;
  } cases[] = {
      {(folder_ / "absent").string(), "does not exist"},
      {(folder_ / "absent" / "deeper").string(), "does not exist"},
      {(folder_ / "plain-file").string(), "is not a folder"},
      {(folder_ / "plain-file" / "below").string(), "does not exist"},
      {"", "no script folder"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.folder);
    ExpectRefused(Store(Values{}, OLESTR("Calculator"), c.folder), c.reason);
  }
  EXPECT_EQ(FolderEntries(folder_), std::vector<std::string>{"plain-file"});
}

TEST_F(PlanDeskFailure, FolderThatCannotBeWrittenIsRefusedWithAReason) {
  SKIP_ON_WINDOWS("folders are closed by access lists there, not by permission bits");
  // Permission bits do not stop root; a folder of the process file system stops everyone.
  std::string folder = "/proc";
  if (!testing_support::RunsAsRoot()) {
    fs::permissions(folder_, fs::perms(0500));
    folder = folder_.string();
  }
  ExpectRefused(Store(Values{}, OLESTR("Calculator"), folder), "cannot");
}

TEST_F(PlanDeskFailure, DamagedExistingFileIsLeftAsItIs) {
  const std::string damaged[] = {
      "<configuration><system.serviceModel>",
      "<configuration><bindings></configuration>",
      "not xml at all",
      "<configuration/>trailing text",
      "<configuration/><configuration/>",
      "<appSettings><add key='k'/></appSettings>",
      std::string("\x00\x01\x02garbage", 10),
  };
  for (const std::string& bytes : damaged) {
    SCOPED_TRACE(bytes);
    WriteFileBytes(ConfigFile(OLESTR("Calculator")), bytes);
    ExpectRefused(Store(Values{}), "left as it is");
    EXPECT_EQ(testing_support::ReadFile(ConfigFile(OLESTR("Calculator"))), bytes);
  }
  EXPECT_EQ(FolderEntries(folder_).size(), 1u);
}

// Files past what a configuration can be would be written back many times larger (indentation
// grows with depth): they are refused, and their near neighbours kept.
TEST_F(PlanDeskFailure, ExistingFilesBeyondAConfigurationsBoundsAreLeftAsTheyAre) {
  auto nested = [](int depth) {
    std::string xml = "<configuration>";
    for (int i = 1; i < depth; ++i) xml += "<a>";
    for (int i = 1; i < depth; ++i) xml += "</a>";
    return xml + "</configuration>";
  };
  const struct {
    const char* name;
    std::string bytes;
    const char* reason;  // nullptr: stored
  } cases[] = {
      {"65 deep", nested(65), "more than 64 deep"},
      {"100,000 deep", nested(100000), "more than 64 deep"},
      {"64 deep", nested(64), nullptr},
      {"over 1 MiB", "<configuration>" + std::string(1 << 20, ' ') + "</configuration>", "too large"},
      {"just under 1 MiB", "<configuration>" + std::string((1 << 20) - 40, ' ') + "</configuration>", nullptr},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    WriteFileBytes(ConfigFile(OLESTR("Calculator")), c.bytes);
    if (c.reason == nullptr) {
      EXPECT_EQ(Store(Values{}).hr, S_OK);
      EXPECT_NE(testing_support::ReadFile(ConfigFile(OLESTR("Calculator"))).find("<binding name="), std::string::npos);
    } else {
      ExpectRefused(Store(Values{}), c.reason);
      EXPECT_EQ(testing_support::ReadFile(ConfigFile(OLESTR("Calculator"))), c.bytes);
    }
  }
}

TEST_F(PlanDeskFailure, DoctypesAreKeptButNeverInterpreted) {
  const std::string secret = (folder_ / "secret.txt").string();
  WriteFileBytes(secret, "MARKER-FROM-ELSEWHERE");
  std::string laughs = "<!ENTITY l0 \"lol\">";
  for (int i = 1; i < 10; ++i) {
    std::string ten;
    for (int k = 0; k < 10; ++k) ten += "&l" + std::to_string(i - 1) + ";";
    laughs += "<!ENTITY l" + std::to_string(i) + " \"" + ten + "\">";
  }
  const std::string files[] = {
      "<!DOCTYPE configuration [<!ENTITY x SYSTEM \"file://" + secret + "\">]><configuration><k>&x;</k></configuration>",
      "<!DOCTYPE configuration [" + laughs + "]><configuration><k>&l9;</k></configuration>",
  };
  for (const std::string& file : files) {
    WriteFileBytes(ConfigFile(OLESTR("Calculator")), file);
    EXPECT_EQ(Store(Values{}).hr, S_OK);
    const std::string written = testing_support::ReadFile(ConfigFile(OLESTR("Calculator")));
    EXPECT_EQ(written.find("MARKER"), std::string::npos);
    EXPECT_NE(written.find("<!DOCTYPE configuration"), std::string::npos);
    EXPECT_LT(written.size(), file.size() + 1024);
  }
}

TEST_F(PlanDeskFailure, ValuesThatXmlCannotCarryAreRefused) {
  Values values;
  values.authenticationMode = OLESTR("UserNameOverTransport");
  values.password = win32::OleString(OLESTR("pass\0word"), 9);
  ExpectRefused(Store(values), "password");
  values.password = OLESTR("bell\a");
  ExpectRefused(Store(values), "password");
  values.password = OLESTR("fine");
  ExpectRefused(Store(values, OLESTR("Calculator"), folder_.string(), 1, OLESTR("port\x01")), "port name");
  ExpectRefused(Store(values, OLESTR("Calculator"), folder_.string() + std::string("\0/elsewhere", 11)), "NUL");
  EXPECT_TRUE(FolderEntries(folder_).empty());
}

TEST_F(PlanDeskFailure, NullPointersAreRefused) {
  auto utilities = CreateByProgId<IPersistSilverlightPalisades>(PlanDesk::kProgIdSilverlightPalisades);
  auto settings = CreateByProgId<IPersistSilverlightConfigurationSettings>(
      PlanDesk::kProgIdSilverlightConfigurationSettings);
  ASSERT_TRUE(utilities && settings);
  win32::Bstr folder(win32::Widen(folder_.string(), CP_UTF8));
  VARIANT_BOOL result = 0x5A5A;
  EXPECT_EQ(utilities->raw_StoreConfigurationToFile(nullptr, nullptr, folder.get(), 1, nullptr, &result), E_POINTER);
  EXPECT_EQ(result, VARIANT_FALSE);
  EXPECT_NE(TakeErrorDescription().find("settings"), std::string::npos);
  EXPECT_EQ(utilities->raw_StoreConfigurationToFile(settings, nullptr, folder.get(), 1, nullptr, nullptr), E_POINTER);
  EXPECT_NE(TakeErrorDescription().find("result"), std::string::npos);
  EXPECT_TRUE(FolderEntries(folder_).empty());

  // NULL BSTRs are empty strings: an unnamed service, an unnamed port, empty values.
  EXPECT_EQ(utilities->raw_StoreConfigurationToFile(settings, nullptr, folder.get(), 1, nullptr, &result), S_OK);
  EXPECT_EQ(result, VARIANT_TRUE);
  const StoredBinding stored = ReadBinding(ConfigFile(OLESTR("")), "");
  EXPECT_TRUE(stored.found);
  EXPECT_EQ(stored.values, (Values{OLESTR(""), OLESTR(""), OLESTR(""), OLESTR(""), OLESTR(""), OLESTR("")}));
}

// Settings of another implementation whose transport cannot be read.
class UnreadableSettings final
    : public win32::ComObject<UnreadableSettings, IPersistSilverlightConfigurationSettings> {
 public:
  HRESULT STDMETHODCALLTYPE get_MessageEncoding(BSTR* value) override { return Give(value); }
  HRESULT STDMETHODCALLTYPE put_MessageEncoding(BSTR) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE get_Transport(BSTR*) override { return E_ACCESSDENIED; }
  HRESULT STDMETHODCALLTYPE put_Transport(BSTR) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE get_AddressingVersion(BSTR* value) override { return Give(value); }
  HRESULT STDMETHODCALLTYPE put_AddressingVersion(BSTR) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE raw_Reserved13() override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE raw_Reserved14() override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE get_AuthenticationMode(BSTR* value) override { return Give(value); }
  HRESULT STDMETHODCALLTYPE put_AuthenticationMode(BSTR) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE raw_Reserved17() override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE raw_Reserved18() override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE get_UserName(BSTR* value) override { return Give(value); }
  HRESULT STDMETHODCALLTYPE put_UserName(BSTR) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE get_Password(BSTR* value) override { return Give(value); }
  HRESULT STDMETHODCALLTYPE put_Password(BSTR) override { return S_OK; }

 private:
  static HRESULT Give(BSTR* value) {
    *value = SysAllocString(OLESTR("x"));
    return S_OK;
  }
};

TEST_F(PlanDeskFailure, SettingsThatCannotBeReadAreRefused) {
  auto utilities = CreateByProgId<IPersistSilverlightPalisades>(PlanDesk::kProgIdSilverlightPalisades);
  CComPtr<IPersistSilverlightConfigurationSettings> settings;
  ASSERT_EQ(UnreadableSettings::Create(PlanDesk::IID_IPersistSilverlightConfigurationSettings,
                                       reinterpret_cast<void**>(&settings)),
            S_OK);
  win32::Bstr folder(win32::Widen(folder_.string(), CP_UTF8));
  VARIANT_BOOL result = 0x5A5A;
  EXPECT_EQ(utilities->raw_StoreConfigurationToFile(settings, nullptr, folder.get(), 1, nullptr, &result),
            E_ACCESSDENIED);
  EXPECT_EQ(result, VARIANT_FALSE);
  EXPECT_NE(TakeErrorDescription().find("transport"), std::string::npos);
  EXPECT_TRUE(FolderEntries(folder_).empty());
}

}  // namespace
}  // namespace plandesk_test
