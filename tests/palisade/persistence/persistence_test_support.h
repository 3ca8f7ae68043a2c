// Shared by the persistence tests: a product folder ("bin" as the module directory, "dat" beside
// it), records filled with values no operation writes, and lists written with the real component.
#pragma once

#include "com_test_support.h"
#include "contracts/vaultline_interfaces.h"
#include "hostrt32/hostrt32.h"
#include "palisade/silverlight_objects_management.h"
#include "temp_dir.h"
#include "win32/strings.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <utility>
#include <vector>

namespace persistence_test {

using testing_support::ReadFile;

class PersistenceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ::testing::Test::SetUp();
    std::filesystem::create_directories(dir.path() / "bin");
    std::filesystem::create_directories(dir.path() / "dat");
    os_set_module_dir_name((dir.str() + "/bin").c_str());
  }
  void TearDown() override {
    os_set_module_dir_name(nullptr);
    ::testing::Test::TearDown();
  }

  std::string HistoryFile() const { return dir.str() + "/dat/silverlight_ro.ini"; }
  // A folder below the scratch folder, created, as a caller would name it.
  std::string Folder(const std::string& name) const {
    std::filesystem::create_directories(dir.path() / name);
    return dir.str() + "/" + name;
  }

  testing_support::TempDir dir;
};

// A record whose every member differs from what an operation would write into it.
inline WsdlData CallersWsdlData() {
  return {"caller url", true, "caller 1", "caller 2", true, "caller 3", "caller port", "caller 4", "caller 5"};
}
inline WsdlErrorData CallersErrorData() {
  WsdlErrorData data;
  static_cast<WsdlData&>(data) = CallersWsdlData();
  data.entryFound = false;
  data.endPoint = "caller endpoint";
  data.errorText = "caller text";
  return data;
}

// Every member, in record order, so that one comparison shows all differences.
inline std::string Describe(const WsdlData& d) {
  const auto flag = [](bool value) { return value ? "true" : "false"; };
  return "wsdlUrl=" + d.wsdlUrl + " connectionFlag1=" + flag(d.connectionFlag1) + " connectionText1=" +
         d.connectionText1 + " connectionText2=" + d.connectionText2 + " connectionFlag2=" + flag(d.connectionFlag2) +
         " connectionText3=" + d.connectionText3 + " proxyPortStr=" + d.proxyPortStr + " connectionText4=" +
         d.connectionText4 + " connectionText5=" + d.connectionText5;
}
inline std::string Describe(const WsdlErrorData& d) {
  return Describe(static_cast<const WsdlData&>(d)) + " entryFound=" + (d.entryFound ? "true" : "false") +
         " endPoint=" + d.endPoint + " errorText=" + d.errorText;
}

// Writes a list file with the real component: one item per key, with its WsdlUrl.
inline void WriteList(const std::string& path, const std::vector<std::pair<std::string, std::string>>& urls) {
  using namespace Vaultline;
  Apartment apartment;
  CComPtr<IPersistSilverlightList> list;
  ASSERT_EQ(S_OK, list.CoCreateInstance(kProgIdSilverlightList, nullptr, CLSCTX_INPROC_SERVER));
  for (const auto& [key, url] : urls) {
    CComPtr<IPersistSilverlightListItemRO> item;
    ASSERT_EQ(S_OK, item.CoCreateInstance(kProgIdSilverlightListItemRO, nullptr, CLSCTX_INPROC_SERVER));
    item->put_WsdlUrl(win32::Bstr(win32::Widen(url)).get());
    ASSERT_EQ(S_OK, list->raw_AddItemByKey(win32::Bstr(win32::Widen(key)).get(), item));
  }
  ASSERT_EQ(S_OK, list->raw_SaveEx(win32::Bstr(win32::Widen(path)).get(), 0));
}

}  // namespace persistence_test
