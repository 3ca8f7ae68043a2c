// The list item and its connection-settings object.
//
// A new item holds empty texts, VARIANT_FALSE (0) flags, ConnectionNumber1 0 and an empty
// ProxyPortStr. Every value reads back as it was put, in memory and after a saved file is
// loaded: a flag put as VARIANT_TRUE comes back as -1 (and one put as 1 as 1), a text as its
// ANSI (Windows-1252) form, byte for byte. The settings object is a view of the item's own
// values, not a copy: while the caller holds it, every get of ConnectionSettings hands out that
// same object. Objects belong to the apartment that made them; they take no locks.
#pragma once

#include "com_method.h"
#include "item_values.h"

#include "contracts/vaultline_interfaces.h"

namespace vaultline {

using Vaultline::IPersistSilverlightConnectionSettings;
using Vaultline::IPersistSilverlightListItem;
using Vaultline::IPersistSilverlightListItemRO;

inline const ErrorSource kItemSource{&Vaultline::IID_IPersistSilverlightListItemRO,
                                     Vaultline::kProgIdSilverlightListItemRO, CP_ACP};
inline const ErrorSource kSettingsSource{&Vaultline::IID_IPersistSilverlightConnectionSettings,
                                         Vaultline::kProgIdSilverlightListItemRO, CP_ACP};

class ConnectionSettings;

class ListItem final : public win32::ComObject<ListItem, IPersistSilverlightListItemRO, IPersistSilverlightListItem,
                                               ISupportErrorInfo> {
 public:
  ListItem() noexcept = default;

  // A new item with the defaults; NULL when memory runs out.
  static CComPtr<ListItem> New() noexcept;
  // The item behind `object` (one more reference), or NULL when this component did not make it.
  static CComPtr<ListItem> FromInterface(IPersistSilverlightListItemRO* object) noexcept;

  ItemValues& values() noexcept { return values_; }
  const ItemValues& values() const noexcept { return values_; }

  HRESULT STDMETHODCALLTYPE get_ItemFlag(VARIANT_BOOL* out) noexcept override {
    return GetScalar(kItemSource, values_.itemFlag, out);
  }
  HRESULT STDMETHODCALLTYPE put_ItemFlag(VARIANT_BOOL value) noexcept override {
    return PutScalar(kItemSource, values_.itemFlag, value);
  }
  HRESULT STDMETHODCALLTYPE get_WsdlUrl(BSTR* out) noexcept override { return GetText(kItemSource, values_.wsdlUrl, out); }
  HRESULT STDMETHODCALLTYPE put_WsdlUrl(BSTR value) noexcept override {
    return PutText(kItemSource, values_.wsdlUrl, value);
  }
  HRESULT STDMETHODCALLTYPE get_ItemName(BSTR* out) noexcept override {
    return GetText(kItemSource, values_.itemName, out);
  }
  HRESULT STDMETHODCALLTYPE put_ItemName(BSTR value) noexcept override {
    return PutText(kItemSource, values_.itemName, value);
  }
  HRESULT STDMETHODCALLTYPE get_ItemKey(BSTR* out) noexcept override { return GetText(kItemSource, values_.itemKey, out); }
  HRESULT STDMETHODCALLTYPE put_ItemKey(BSTR value) noexcept override {
    return PutText(kItemSource, values_.itemKey, value);
  }
  HRESULT STDMETHODCALLTYPE get_ItemText(BSTR* out) noexcept override {
    return GetText(kItemSource, values_.itemText, out);
  }
  HRESULT STDMETHODCALLTYPE put_ItemText(BSTR value) noexcept override {
    return PutText(kItemSource, values_.itemText, value);
  }
  HRESULT STDMETHODCALLTYPE get_ConnectionSettings(IPersistSilverlightConnectionSettings** out) noexcept override;

  HRESULT STDMETHODCALLTYPE InterfaceSupportsErrorInfo(REFIID riid) noexcept override;
  // Answers the component's private IID, by which the list knows its own items.
  void* QueryExtra(REFIID riid) noexcept;

 private:
  friend class ConnectionSettings;

  ItemValues values_;
  ConnectionSettings* settingsView_ = nullptr;  // not a reference: the view holds the item
};

class ConnectionSettings final
    : public win32::ComObject<ConnectionSettings, IPersistSilverlightConnectionSettings, ISupportErrorInfo> {
 public:
  // Holds a reference to `owner` for its whole life.
  explicit ConnectionSettings(ListItem* owner) noexcept : owner_(owner) {}
  ~ConnectionSettings();

  HRESULT STDMETHODCALLTYPE raw_Reserved7() noexcept override { return win32::NotImplemented(kSettingsSource); }
  HRESULT STDMETHODCALLTYPE raw_Reserved8() noexcept override { return win32::NotImplemented(kSettingsSource); }
  HRESULT STDMETHODCALLTYPE get_ConnectionFlag1(VARIANT_BOOL* out) noexcept override {
    return GetScalar(kSettingsSource, values().connectionFlag1, out);
  }
  HRESULT STDMETHODCALLTYPE put_ConnectionFlag1(VARIANT_BOOL value) noexcept override {
    return PutScalar(kSettingsSource, values().connectionFlag1, value);
  }
  HRESULT STDMETHODCALLTYPE get_ConnectionText1(BSTR* out) noexcept override {
    return GetText(kSettingsSource, values().connectionText1, out);
  }
  HRESULT STDMETHODCALLTYPE put_ConnectionText1(BSTR value) noexcept override {
    return PutText(kSettingsSource, values().connectionText1, value);
  }
  HRESULT STDMETHODCALLTYPE get_ConnectionText2(BSTR* out) noexcept override {
    return GetText(kSettingsSource, values().connectionText2, out);
  }
  HRESULT STDMETHODCALLTYPE put_ConnectionText2(BSTR value) noexcept override {
    return PutText(kSettingsSource, values().connectionText2, value);
  }
  HRESULT STDMETHODCALLTYPE get_ConnectionFlag2(VARIANT_BOOL* out) noexcept override {
    return GetScalar(kSettingsSource, values().connectionFlag2, out);
  }
  HRESULT STDMETHODCALLTYPE put_ConnectionFlag2(VARIANT_BOOL value) noexcept override {
    return PutScalar(kSettingsSource, values().connectionFlag2, value);
  }
  HRESULT STDMETHODCALLTYPE get_ConnectionText3(BSTR* out) noexcept override {
    return GetText(kSettingsSource, values().connectionText3, out);
  }
  HRESULT STDMETHODCALLTYPE put_ConnectionText3(BSTR value) noexcept override {
    return PutText(kSettingsSource, values().connectionText3, value);
  }
  HRESULT STDMETHODCALLTYPE get_ConnectionNumber1(LONG* out) noexcept override {
    return GetScalar(kSettingsSource, values().connectionNumber1, out);
  }
  HRESULT STDMETHODCALLTYPE put_ConnectionNumber1(LONG value) noexcept override {
    return PutScalar(kSettingsSource, values().connectionNumber1, value);
  }
  HRESULT STDMETHODCALLTYPE get_ProxyPortStr(BSTR* out) noexcept override {
    return GetText(kSettingsSource, values().proxyPortStr, out);
  }
  HRESULT STDMETHODCALLTYPE put_ProxyPortStr(BSTR value) noexcept override {
    return PutText(kSettingsSource, values().proxyPortStr, value);
  }
  HRESULT STDMETHODCALLTYPE get_ConnectionText4(BSTR* out) noexcept override {
    return GetText(kSettingsSource, values().connectionText4, out);
  }
  HRESULT STDMETHODCALLTYPE put_ConnectionText4(BSTR value) noexcept override {
    return PutText(kSettingsSource, values().connectionText4, value);
  }
  HRESULT STDMETHODCALLTYPE get_ConnectionText5(BSTR* out) noexcept override {
    return GetText(kSettingsSource, values().connectionText5, out);
  }
  HRESULT STDMETHODCALLTYPE put_ConnectionText5(BSTR value) noexcept override {
    return PutText(kSettingsSource, values().connectionText5, value);
  }

  HRESULT STDMETHODCALLTYPE InterfaceSupportsErrorInfo(REFIID riid) noexcept override;

 private:
  ItemValues& values() noexcept { return owner_->values_; }

  CComPtr<ListItem> owner_;
};

}  // namespace vaultline
