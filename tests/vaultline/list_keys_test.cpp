// Keys: compared without case, refused when taken, and looked up as the library does.
#include "vaultline_test_support.h"

#include <cstdint>

namespace vaultline_test {
namespace {

constexpr HRESULT kKeyExists = HRESULT_FROM_WIN32(ERROR_ALREADY_EXISTS);
constexpr HRESULT kKeyNotFound = HRESULT_FROM_WIN32(ERROR_NOT_FOUND);

CComPtr<IPersistSilverlightListItemRO> ItemWithUrl(const char* url) {
  CComPtr<IPersistSilverlightListItemRO> item = VaultlineTest::Create<IPersistSilverlightListItemRO>(
      kProgIdSilverlightListItemRO);
  item->put_WsdlUrl(Ansi(url).get());
  return item;
}

TEST_F(VaultlineTest, KeysCompareWithoutCaseOfAnsiLetters) {
  struct Case {
    const char* added;  // ANSI (Windows-1252) bytes
    const char* probe;
    bool same;
  };
  const Case cases[] = {
      {"Service", "SERVICE", true},   {"J\xF6rg", "J\xD6RG", true},     {"\x9Cuvre", "\x8CUVRE", true},
      {"\xFF", "\x9F", true},         {"stra\xDF" "e", "STRASSE", false}, {"a", "a ", false},
      {"co-op", "coop", false},       {"", " ", false},                  {"x1", "X1", true},
  };
  for (const Case& c : cases) {
    CComPtr<IPersistSilverlightList> list = NewList();
    list->AddItemByKey(Ansi(c.added).get(), ItemWithUrl("u"));
    EXPECT_EQ(c.same ? VARIANT_TRUE : VARIANT_FALSE, list->ContainsItemWithKey(Ansi(c.probe).get()))
        << c.added << " / " << c.probe;
    EXPECT_EQ(c.same ? kKeyExists : S_OK, list->raw_AddItemByKey(Ansi(c.probe).get(), ItemWithUrl("v")));
  }
}

TEST_F(VaultlineTest, TakenKeyIsRefusedAndTheListStaysAsItWas) {
  CComPtr<IPersistSilverlightList> list = NewList();
  ASSERT_EQ(S_OK, list->AddItemByKey(Ansi("Svc").get(), ItemWithUrl("first")));
  EXPECT_EQ(kKeyExists, list->raw_AddItemByKey(Ansi("SVC").get(), ItemWithUrl("second")));
  EXPECT_NE(win32::OleString::npos, TakeErrorDescription().find(OLESTR("SVC")));
  try {
    list->AddItemByKey(Ansi("svc").get(), ItemWithUrl("third"));
    ADD_FAILURE() << "a taken key was accepted";
  } catch (const _com_error& e) {
    EXPECT_EQ(kKeyExists, e.Error());
    EXPECT_FALSE(e.Description().empty());
  }
  EXPECT_EQ(1, CountOf(list));
  CComPtr<IPersistSilverlightListItemRO> item = ItemOf(list, Ansi("svc").get());
  EXPECT_EQ(OLESTR("first"), GetString([&](BSTR* out) { return item->get_WsdlUrl(out); }));
  // The key keeps its first spelling in the file.
  list->SaveEx(Ansi(Path("l.ini")).get(), 1);
  const std::string text = ReadFile(Path("l.ini"));
  EXPECT_NE(std::string::npos, text.find("[SilverlightList/Svc]\r\n"));
  EXPECT_EQ(text.find("[SilverlightList/"), text.rfind("[SilverlightList/"));
}

TEST_F(VaultlineTest, AbsentKeyFailsWithReason) {
  CComPtr<IPersistSilverlightList> list = NewList();
  EXPECT_EQ(VARIANT_FALSE, list->ContainsItemWithKey(Ansi("nope").get()));
  EXPECT_EQ(VARIANT_FALSE, list->ContainsItemWithKey(nullptr));
  try {
    list->GetItemByKey(Ansi("nope").get());
    ADD_FAILURE() << "absent key found";
  } catch (const _com_error& e) {
    EXPECT_EQ(kKeyNotFound, e.Error());
    EXPECT_NE(win32::OleString::npos, e.Description().find(OLESTR("nope")));
  }
  auto* out = reinterpret_cast<IPersistSilverlightListItem*>(std::uintptr_t{1});
  EXPECT_EQ(kKeyNotFound, list->raw_GetItemByKey(Ansi("nope").get(), &out));
  EXPECT_EQ(nullptr, out);
  EXPECT_EQ(E_POINTER, list->raw_GetItemByKey(Ansi("nope").get(), nullptr));
  EXPECT_EQ(E_POINTER, list->raw_ContainsItemWithKey(nullptr, nullptr));
}

// An item of another component: the list cannot read its values, so it must refuse it rather
// than take it for one of its own.
class ForeignItem final : public win32::ComObject<ForeignItem, IPersistSilverlightListItemRO> {
 public:
#define FOREIGN(Name, Type) \
  HRESULT STDMETHODCALLTYPE Name(Type) override { return E_NOTIMPL; }
  FOREIGN(get_ItemFlag, VARIANT_BOOL*) FOREIGN(put_ItemFlag, VARIANT_BOOL) FOREIGN(get_WsdlUrl, BSTR*)
  FOREIGN(put_WsdlUrl, BSTR) FOREIGN(get_ItemName, BSTR*) FOREIGN(put_ItemName, BSTR) FOREIGN(get_ItemKey, BSTR*)
  FOREIGN(put_ItemKey, BSTR) FOREIGN(get_ItemText, BSTR*) FOREIGN(put_ItemText, BSTR)
  FOREIGN(get_ConnectionSettings, IPersistSilverlightConnectionSettings**)
#undef FOREIGN
};

TEST_F(VaultlineTest, RefusesItemsItDidNotMakeAndNullItems) {
  CComPtr<IPersistSilverlightList> list = NewList();
  CComPtr<IPersistSilverlightListItemRO> foreign;
  ASSERT_EQ(S_OK, ForeignItem::Create(IidOf<IPersistSilverlightListItemRO>(), reinterpret_cast<void**>(&foreign)));
  EXPECT_EQ(E_INVALIDARG, list->raw_AddItemByKey(Ansi("k").get(), foreign));
  EXPECT_EQ(E_POINTER, list->raw_AddItemByKey(Ansi("k").get(), nullptr));
  EXPECT_EQ(0, CountOf(list));
}

TEST_F(VaultlineTest, UseStatusIsKept) {
  CComPtr<IPersistSilverlightList> list = NewList();
  VARIANT_BOOL status = 7;
  EXPECT_EQ(S_OK, list->get_UseStatus(&status));
  EXPECT_EQ(VARIANT_FALSE, status);
  list->PutUseStatus(VARIANT_TRUE);
  EXPECT_EQ(S_OK, list->get_UseStatus(&status));
  EXPECT_EQ(VARIANT_TRUE, status);
  list->PutUseStatus(0);
  EXPECT_EQ(S_OK, list->get_UseStatus(&status));
  EXPECT_EQ(0, status);
}

TEST_F(VaultlineTest, ManyItemsKeepTheirOrderAndKeys) {
  constexpr int kItems = 20000;
  CComPtr<IPersistSilverlightList> list = NewList();
  for (int i = 0; i < kItems; ++i) {
    list->AddItemByKey(Ansi("key" + std::to_string(i)).get(), ItemWithUrl(std::to_string(i).c_str()));
  }
  list->SaveEx(Ansi(Path("many.ini")).get(), 1);
  CComPtr<IPersistSilverlightList> loaded = NewList();
  loaded->Load(Ansi(Path("many.ini")).get());
  ASSERT_EQ(kItems, CountOf(loaded));
  const std::string text = ReadFile(Path("many.ini"));
  std::size_t previous = 0;
  for (int i = 0; i < kItems; i += 997) {
    const std::size_t at = text.find("[SilverlightList/key" + std::to_string(i) + "]");
    ASSERT_NE(std::string::npos, at);
    EXPECT_LE(previous, at) << "file order";
    previous = at;
    CComPtr<IPersistSilverlightListItemRO> item = ItemOf(loaded, Ansi("KEY" + std::to_string(i)).get());
    EXPECT_EQ(win32::Widen(std::to_string(i)), GetString([&](BSTR* out) { return item->get_WsdlUrl(out); }));
  }
}

}  // namespace
}  // namespace vaultline_test
