// Shared by the Vaultline tests: creation by ProgID in an apartment of the test's own and a scratch
// folder.
#pragma once

#include "com_test_support.h"
#include "contracts/vaultline_interfaces.h"
#include "temp_dir.h"
#include "win32/com_object.h"
#include "win32/strings.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

namespace vaultline_test {

using namespace Vaultline;
using testing_support::ReadFile;

inline win32::Bstr Ansi(std::string_view text) { return win32::Bstr(win32::Widen(text)); }

// The text a BSTR-returning get gives, or "<failed>"; the BSTR is freed.
template <class Get>
win32::OleString GetString(Get get) {
  win32::Bstr text;
  if (FAILED(get(text.out()))) return OLESTR("<failed>");
  return win32::OleString(text.view());
}

class VaultlineTest : public ::testing::Test {
 public:
  void SetUp() override {
    ::testing::Test::SetUp();
    apartment_.emplace();
    ASSERT_EQ(S_OK, apartment_->hr());
  }
  void TearDown() override {
    SetErrorInfo(0, nullptr);
    apartment_.reset();
    ::testing::Test::TearDown();
  }

  template <class I>
  static CComPtr<I> Create(const OLECHAR* progId) {
    CComPtr<I> object;
    EXPECT_EQ(S_OK, object.CoCreateInstance(progId, nullptr, CLSCTX_INPROC_SERVER));
    return object;
  }
  static CComPtr<IPersistSilverlightList> NewList() {
    return Create<IPersistSilverlightList>(kProgIdSilverlightList);
  }
  static CComPtr<IPersistSilverlightListItemRO> NewItem() {
    return Create<IPersistSilverlightListItemRO>(kProgIdSilverlightListItemRO);
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
  static win32::OleString TakeErrorDescription() {
    CComPtr<IErrorInfo> info;
    if (GetErrorInfo(0, &info) != S_OK || !info) return {};
    return GetString([&](BSTR* out) { return info->GetDescription(out); });
  }

  std::string Path(const std::string& name) const { return (dir_.path() / name).string(); }

  testing_support::TempDir dir_;

 private:
  std::optional<Apartment> apartment_;
};

}  // namespace vaultline_test
