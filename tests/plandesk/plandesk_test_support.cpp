#include "plandesk_test_support.h"

#include "safe_file_name.h"
#include "test_system.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>

namespace plandesk_test {

namespace fs = std::filesystem;

void PlanDeskTest::SetUp() {
  init_ = CoInitialize(nullptr);
  ASSERT_TRUE(SUCCEEDED(init_));
  root_ = testing_support::MakeTempFolder("plandesk-test-");
  ASSERT_FALSE(root_.empty());
  folder_ = root_ / "script";
  fs::create_directory(folder_);
}

void PlanDeskTest::TearDown() {
  std::error_code ec;
  fs::permissions(folder_, fs::perms::owner_all, fs::perm_options::add, ec);
  fs::remove_all(root_, ec);
  if (SUCCEEDED(init_)) CoUninitialize();
}

fs::path PlanDeskTest::ConfigFile(win32::OleStringView service) const {
  return folder_ / fs::u8path(plandesk::SafeFileName(service));
}

StoreCall PlanDeskTest::Store(const Values& values, win32::OleStringView service, const std::string& folder,
                              VARIANT_BOOL createIfMissing, win32::OleStringView port) {
  StoreCall call;
  auto settings = CreateByProgId<IPersistSilverlightConfigurationSettings>(
      PlanDesk::kProgIdSilverlightConfigurationSettings);
  auto utilities = CreateByProgId<IPersistSilverlightPalisades>(PlanDesk::kProgIdSilverlightPalisades);
  if (!settings || !utilities) return call;
  PutValues(settings, values, !values.authenticationMode.empty());
  win32::Bstr serviceName(service), scriptPath(win32::Widen(folder, CP_UTF8)), portName(port);
  call.hr = utilities->raw_StoreConfigurationToFile(settings, serviceName.get(), scriptPath.get(), createIfMissing,
                                                    portName.get(), &call.result);
  return call;
}

std::string PlanDeskTest::TakeErrorDescription() {
  CComPtr<IErrorInfo> info;
  if (GetErrorInfo(0, &info) != S_OK || !info) return {};
  win32::Bstr description;
  EXPECT_EQ(info->GetDescription(description.out()), S_OK);
  return Utf8(description.view());
}

void PutValues(IPersistSilverlightConfigurationSettings* settings, const Values& values, bool withSecurity) {
  using Setter = HRESULT (STDMETHODCALLTYPE IPersistSilverlightConfigurationSettings::*)(BSTR);
  const auto put = [settings](Setter setter, const win32::OleString& value) {
    win32::Bstr text(value);
    EXPECT_EQ((settings->*setter)(text.get()), S_OK);
  };
  put(&IPersistSilverlightConfigurationSettings::put_MessageEncoding, values.messageEncoding);
  put(&IPersistSilverlightConfigurationSettings::put_Transport, values.transport);
  put(&IPersistSilverlightConfigurationSettings::put_AddressingVersion, values.addressingVersion);
  if (!withSecurity) return;
  put(&IPersistSilverlightConfigurationSettings::put_AuthenticationMode, values.authenticationMode);
  put(&IPersistSilverlightConfigurationSettings::put_UserName, values.userName);
  put(&IPersistSilverlightConfigurationSettings::put_Password, values.password);
}

namespace {

win32::OleString Utf16(const char* text) { return win32::Widen(text, CP_UTF8); }

pugi::xml_node ChildNamed(pugi::xml_node parent, std::initializer_list<const char*> names) {
  for (const pugi::xml_node child : parent.children()) {
    for (const char* name : names) {
      if (std::strcmp(child.name(), name) == 0) return child;
    }
  }
  return {};
}

}  // namespace

StoredBinding ReadBinding(const fs::path& file, const std::string& port) {
  StoredBinding stored;
  pugi::xml_document document;
  if (!document.load_file(file.c_str(), pugi::parse_default | pugi::parse_declaration)) return stored;
  const pugi::xml_node binding = document.child("configuration")
                                     .child("system.serviceModel")
                                     .child("bindings")
                                     .child("customBinding")
                                     .find_child_by_attribute("binding", "name", port.c_str());
  if (!binding) return stored;
  stored.found = true;

  const pugi::xml_node encoding = ChildNamed(binding, {"textMessageEncoding", "binaryMessageEncoding", "messageEncoding"});
  stored.encodingElement = encoding.name();
  stored.values.messageEncoding =
      Utf16(stored.encodingElement == "messageEncoding" ? encoding.attribute("name").value() : encoding.name());
  stored.values.addressingVersion = Utf16(encoding.attribute("addressingVersion").value());

  const pugi::xml_node transport = ChildNamed(binding, {"KvHttpEngineTransport", "transport"});
  stored.transportElement = transport.name();
  stored.values.transport =
      Utf16(stored.transportElement == "transport" ? transport.attribute("kind").value() : transport.name());

  const pugi::xml_node security = binding.child("security");
  stored.hasSecurity = bool(security);
  stored.values.authenticationMode = Utf16(security.attribute("authenticationMode").value());
  stored.values.userName = Utf16(security.attribute("userName").value());
  stored.values.password = Utf16(security.attribute("password").value());
  return stored;
}

void WriteFileBytes(const fs::path& file, const std::string& bytes) {
  std::ofstream(file, std::ios::binary) << bytes;
}

std::vector<std::string> FolderEntries(const fs::path& folder) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder)) names.push_back(entry.path().filename().u8string());
  std::sort(names.begin(), names.end());
  return names;
}

void PrintTo(const Values& values, std::ostream* out) {
  *out << "{" << Utf8(values.messageEncoding) << ", " << Utf8(values.transport) << ", \"" << Utf8(values.addressingVersion)
       << "\", \"" << Utf8(values.authenticationMode) << "\", \"" << Utf8(values.userName) << "\", \""
       << Utf8(values.password) << "\"}";
}

std::string Utf8(win32::OleStringView text) { return win32::Narrow(text, CP_UTF8); }

}  // namespace plandesk_test
