// Shared by the Vaultline tests: creation by ProgID, a scratch folder, and the leak check that
// every test ends with.
#pragma once

#include "contracts/vaultline_interfaces.h"
#include "win32/com_object.h"
#include "win32/diagnostics.h"
#include "win32/strings.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace vaultline_test {

using namespace Vaultline;

inline win32::Bstr Ansi(std::string_view text) { return win32::Bstr(win32::Widen(text)); }

// The text a BSTR-returning get gives, or "<failed>"; the BSTR is freed.
template <class Get>
std::u16string GetString(Get get) {
  win32::Bstr text;
  if (FAILED(get(text.out()))) return u"<failed>";
  return std::u16string(text.view());
}

class VaultlineTest : public ::testing::Test {
 public:
  void SetUp() override {
    ASSERT_EQ(S_OK, CoInitialize(nullptr));
    objects_ = ComDiagLiveObjects();
    bstrs_ = ComDiagLiveBstrs();
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    dir_ = std::filesystem::temp_directory_path() /
           ("vaultline-" + std::string(info->test_suite_name()) + "-" + info->name());
    std::filesystem::remove_all(dir_);
    std::filesystem::create_directories(dir_);
  }
  void TearDown() override {
    SetErrorInfo(0, nullptr);
    EXPECT_EQ(objects_, ComDiagLiveObjects()) << "COM objects leaked";
    EXPECT_EQ(bstrs_, ComDiagLiveBstrs()) << "BSTRs leaked";
    CoUninitialize();
    std::filesystem::remove_all(dir_);
  }

  template <class I>
  static CComPtr<I> Create(const char* progId) {
    CLSID clsid{};
    EXPECT_EQ(S_OK, CLSIDFromProgID(win32::Widen(progId).c_str(), &clsid));
    CComPtr<I> object;
    EXPECT_EQ(S_OK, CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IidOf<I>(),
                                     reinterpret_cast<void**>(&object)));
    return object;
  }
  static CComPtr<IPersistSilverlightList> NewList() {
    return Create<IPersistSilverlightList>(kSilverlightListProgId);
  }
  static CComPtr<IPersistSilverlightListItemRO> NewItem() {
    return Create<IPersistSilverlightListItemRO>(kSilverlightListItemROProgId);
  }
  static CComPtr<IPersistSilverlightListItemRO> ItemOf(IPersistSilverlightList* list, BSTR key) {
    CComPtr<IPersistSilverlightListItemRO> item;
    EXPECT_EQ(S_OK, list->GetItemByKey(key).QueryInterface(&item.p));
    return item;
  }
  static LONG CountOf(IPersistSilverlightList* list) {
    LONG count = -1;
    EXPECT_EQ(S_OK, list->get_Count(&count));
    return count;
  }
  // The description of the thread's error information; empty when there is none.
  static std::u16string TakeErrorDescription() {
    CComPtr<IErrorInfo> info;
    if (GetErrorInfo(0, &info) != S_OK || !info) return {};
    return GetString([&](BSTR* out) { return info->GetDescription(out); });
  }

  std::string Path(const std::string& name) const { return (dir_ / name).string(); }
  static std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
  }
  static void WriteFile(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
  }

  std::filesystem::path dir_;

 private:
  long objects_ = 0;
  long bstrs_ = 0;
};

}  // namespace vaultline_test
