// What the PlanDesk tests share: a fixture that enters COM, gives each test a fresh script folder
// and fails a test that leaks objects or BSTRs; creation by ProgID as the library does it; a store
// call; and a reader that takes a stored binding apart again.
#pragma once

#include "contracts/plandesk_interfaces.h"
#include "temp_dir.h"
#include "win32/diagnostics.h"
#include "win32/strings.h"

#include <gtest/gtest.h>
#include <pugixml.hpp>

#include <filesystem>
#include <string>
#include <vector>

namespace plandesk_test {

using PlanDesk::IPersistSilverlightConfigurationSettings;
using PlanDesk::IPersistSilverlightPalisades;

// The six values of a binding as a caller sets them (UTF-16, as they cross).
struct Values {
  win32::OleString messageEncoding = OLESTR("textMessageEncoding");
  win32::OleString transport = OLESTR("KvHttpEngineTransport");
  win32::OleString addressingVersion;
  win32::OleString authenticationMode;
  win32::OleString userName;
  win32::OleString password;
};

inline bool operator==(const Values& a, const Values& b) {
  return a.messageEncoding == b.messageEncoding && a.transport == b.transport &&
         a.addressingVersion == b.addressingVersion && a.authenticationMode == b.authenticationMode &&
         a.userName == b.userName && a.password == b.password;
}
void PrintTo(const Values& values, std::ostream* out);

// A binding as read back from a file; `found` false when the file or the binding is missing.
struct StoredBinding {
  bool found = false;
  std::string encodingElement, transportElement;
  Values values;
  bool hasSecurity = false;
};

struct StoreCall {
  HRESULT hr = E_FAIL;
  VARIANT_BOOL result = 0x5A5A;
};

class PlanDeskTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // The file a service's configuration lives in (the name the component gives it).
  std::filesystem::path ConfigFile(win32::OleStringView service) const;
  // Sets `values` the way the library does (the security three only with a mode) and stores them.
  StoreCall Store(const Values& values, win32::OleStringView service, const std::string& folder,
                  VARIANT_BOOL createIfMissing = 1, win32::OleStringView port = OLESTR("BasicPort"));
  StoreCall Store(const Values& values, win32::OleStringView service = OLESTR("Calculator")) {
    return Store(values, service, folder_.string());
  }
  // The description of the thread's error information, consumed; "" when there is none.
  static std::string TakeErrorDescription();

  std::filesystem::path folder_;

 private:
  std::filesystem::path root_;
  HRESULT init_ = E_FAIL;
};

template <class T>
CComPtr<T> CreateByProgId(const OLECHAR* progId) {
  CComPtr<T> object;
  EXPECT_EQ(object.CoCreateInstance(progId, nullptr, CLSCTX_INPROC_SERVER), S_OK);
  return object;
}

// Sets the six values on a settings object, each through a BSTR freed after the call.
void PutValues(IPersistSilverlightConfigurationSettings* settings, const Values& values, bool withSecurity);

StoredBinding ReadBinding(const std::filesystem::path& file, const std::string& port = "BasicPort");
void WriteFileBytes(const std::filesystem::path& file, const std::string& bytes);
// The names in a folder, sorted.
std::vector<std::string> FolderEntries(const std::filesystem::path& folder);
std::string Utf8(win32::OleStringView text);

}  // namespace plandesk_test
