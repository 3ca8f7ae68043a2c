// Every property round-trips, in memory and through a saved file, for texts that the ini form
// cannot hold as they are.
#include "vaultline_test_support.h"

#include <cstdint>
#include <vector>

namespace vaultline_test {
namespace {

using Item = IPersistSilverlightListItemRO;

struct TextProperty {
  const char* name;
  HRESULT (*put)(Item*, BSTR);
  HRESULT (*get)(Item*, BSTR*);
};
template <class T>
struct ScalarProperty {
  const char* name;
  HRESULT (*put)(Item*, T);
  HRESULT (*get)(Item*, T*);
};

#define ITEM_PROPERTY(Name) \
  {#Name, [](Item* i, auto v) { return i->put_##Name(v); }, [](Item* i, auto* out) { return i->get_##Name(out); }}
#define SETTINGS_PROPERTY(Name)                                          \
  {#Name, [](Item* i, auto v) { return i->GetConnectionSettings()->put_##Name(v); }, \
   [](Item* i, auto* out) { return i->GetConnectionSettings()->get_##Name(out); }}

const TextProperty kTexts[] = {
    ITEM_PROPERTY(WsdlUrl),         ITEM_PROPERTY(ItemName),        ITEM_PROPERTY(ItemKey),
    ITEM_PROPERTY(ItemText),        SETTINGS_PROPERTY(ConnectionText1), SETTINGS_PROPERTY(ConnectionText2),
    SETTINGS_PROPERTY(ConnectionText3), SETTINGS_PROPERTY(ProxyPortStr), SETTINGS_PROPERTY(ConnectionText4),
    SETTINGS_PROPERTY(ConnectionText5),
};
const ScalarProperty<VARIANT_BOOL> kFlags[] = {
    ITEM_PROPERTY(ItemFlag), SETTINGS_PROPERTY(ConnectionFlag1), SETTINGS_PROPERTY(ConnectionFlag2)};
const ScalarProperty<LONG> kNumbers[] = {SETTINGS_PROPERTY(ConnectionNumber1)};

struct Nasty {
  win32::OleString put;
  win32::OleString expected;  // the text after a trip through the ANSI code page
};

const std::vector<Nasty>& NastyTexts() {
  static const std::vector<Nasty> texts = [] {
    std::vector<Nasty> t;
    for (const OLECHAR* same : {OLESTR(""),
                                OLESTR("plain"),
                                OLESTR(" lead"),
                                OLESTR("trail "),
                                OLESTR("  "),
                                OLESTR("\t"),
                                OLESTR("\ttab\tinside\t"),
                                OLESTR("a=b"),
                                OLESTR("=start"),
                                OLESTR(";semi"),
                                OLESTR("#hash"),
                                OLESTR("[bracket]"),
                                OLESTR("]"),
                                OLESTR("["),
                                OLESTR("\"quoted\""),
                                OLESTR("\""),
                                OLESTR("back\\slash"),
                                OLESTR("\\"),
                                OLESTR("\\x41\\n\\"),
                                OLESTR("cr\rmid"),
                                OLESTR("lf\nmid"),
                                OLESTR("crlf\r\nmid"),
                                OLESTR("\r\n"),
                                OLESTR("J\u00F6rg"),
                                OLESTR("\u20AC 5"),
                                OLESTR("\u0081\u00FF"),
                                OLESTR("\x7F del"),
                                OLESTR("[SilverlightList/x]"),
                                OLESTR("k=v\r\n[GENERAL]\r\nAutoDetectMode=0")}) {
      t.push_back({same, same});
    }
    t.push_back({win32::OleString(OLESTR("nul\0byte"), 8), win32::OleString(OLESTR("nul\0byte"), 8)});
    t.push_back({OLESTR("\u03A9mega"), OLESTR("?mega")});
    t.push_back({OLESTR("\U0001F600"), OLESTR("??")});
    return t;
  }();
  return texts;
}

const VARIANT_BOOL kFlagValues[] = {0, -1, 1, 2, -32768, 32767};
const LONG kNumberValues[] = {0, 1, -1, INT32_MIN, INT32_MAX, 8080};

TEST_F(VaultlineTest, NewItemHasItsStatedDefaults) {
  CComPtr<Item> item = NewItem();
  for (const TextProperty& p : kTexts) {
    EXPECT_EQ(OLESTR(""), GetString([&](BSTR* out) { return p.get(item, out); })) << p.name;
  }
  for (const auto& p : kFlags) {
    VARIANT_BOOL value = 7;
    EXPECT_EQ(S_OK, p.get(item, &value));
    EXPECT_EQ(VARIANT_FALSE, value) << p.name;
  }
  LONG number = 7;
  EXPECT_EQ(S_OK, kNumbers[0].get(item, &number));
  EXPECT_EQ(0, number);
}

TEST_F(VaultlineTest, EveryPropertyRoundTripsInMemory) {
  for (const Nasty& text : NastyTexts()) {
    CComPtr<Item> item = NewItem();
    win32::Bstr value(text.put);
    for (const TextProperty& p : kTexts) {
      EXPECT_EQ(S_OK, p.put(item, value.get()));
      EXPECT_EQ(text.expected, GetString([&](BSTR* out) { return p.get(item, out); })) << p.name;
    }
  }
  CComPtr<Item> item = NewItem();
  for (VARIANT_BOOL flag : kFlagValues) {
    for (const auto& p : kFlags) {
      VARIANT_BOOL back = 0;
      EXPECT_EQ(S_OK, p.put(item, flag));
      EXPECT_EQ(S_OK, p.get(item, &back));
      EXPECT_EQ(flag, back) << p.name;
    }
  }
  for (LONG number : kNumberValues) {
    LONG back = 0;
    EXPECT_EQ(S_OK, kNumbers[0].put(item, number));
    EXPECT_EQ(S_OK, kNumbers[0].get(item, &back));
    EXPECT_EQ(number, back);
  }
}

TEST_F(VaultlineTest, EveryPropertyAndKeyRoundTripsThroughTheFile) {
  const auto& texts = NastyTexts();
  const std::string path = Path("list.ini");
  {
    CComPtr<IPersistSilverlightList> list = NewList();
    for (std::size_t i = 0; i < texts.size(); ++i) {
      CComPtr<Item> item = NewItem();
      win32::Bstr value(texts[i].put);
      for (const TextProperty& p : kTexts) p.put(item, value.get());
      for (const auto& p : kFlags) p.put(item, kFlagValues[i % std::size(kFlagValues)]);
      kNumbers[0].put(item, kNumberValues[i % std::size(kNumberValues)]);
      ASSERT_EQ(S_OK, list->AddItemByKey(value.get(), item)) << i;
    }
    list->SaveEx(Ansi(path).get(), 1);
  }
  CComPtr<IPersistSilverlightList> loaded = NewList();
  loaded->Load(Ansi(path).get());
  ASSERT_EQ(static_cast<LONG>(texts.size()), CountOf(loaded));
  for (std::size_t i = 0; i < texts.size(); ++i) {
    win32::Bstr key(texts[i].expected);
    ASSERT_EQ(VARIANT_TRUE, loaded->ContainsItemWithKey(key.get())) << i;
    CComPtr<Item> item = ItemOf(loaded, key.get());
    for (const TextProperty& p : kTexts) {
      EXPECT_EQ(texts[i].expected, GetString([&](BSTR* out) { return p.get(item, out); })) << p.name << " #" << i;
    }
    for (const auto& p : kFlags) {
      VARIANT_BOOL flag = 0;
      p.get(item, &flag);
      EXPECT_EQ(kFlagValues[i % std::size(kFlagValues)], flag) << p.name << " #" << i;
    }
    LONG number = 0;
    kNumbers[0].get(item, &number);
    EXPECT_EQ(kNumberValues[i % std::size(kNumberValues)], number) << i;
  }
}

TEST_F(VaultlineTest, AnItemIsSharedNotCopied) {
  CComPtr<IPersistSilverlightList> list = NewList();
  CComPtr<Item> item = NewItem();
  CComPtr<IPersistSilverlightConnectionSettings> settings = item->GetConnectionSettings();
  EXPECT_EQ(settings.p, item->GetConnectionSettings().p) << "the item's own settings object";
  list->AddItemByKey(Ansi("k").get(), item);
  // Puts after the add, through both pointers, show in the list's item and in what it saves.
  item->put_WsdlUrl(Ansi("http://late").get());
  item.Release();
  settings->put_ProxyPortStr(Ansi("3128").get());
  settings.Release();
  CComPtr<Item> stored = ItemOf(list, Ansi("k").get());
  EXPECT_EQ(OLESTR("http://late"), GetString([&](BSTR* out) { return stored->get_WsdlUrl(out); }));
  const win32::Bstr port = stored->GetConnectionSettings()->GetProxyPortStr();
  EXPECT_EQ(OLESTR("3128"), port.view());
}

}  // namespace
}  // namespace vaultline_test
