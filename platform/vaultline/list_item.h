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

  VAULTLINE_SCALAR_PROPERTY(ItemFlag, VARIANT_BOOL, kItemSource, values_.itemFlag)
  VAULTLINE_TEXT_PROPERTY(WsdlUrl, kItemSource, values_.wsdlUrl)
  VAULTLINE_TEXT_PROPERTY(ItemName, kItemSource, values_.itemName)
  VAULTLINE_TEXT_PROPERTY(ItemKey, kItemSource, values_.itemKey)
  VAULTLINE_TEXT_PROPERTY(ItemText, kItemSource, values_.itemText)
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
  VAULTLINE_SCALAR_PROPERTY(ConnectionFlag1, VARIANT_BOOL, kSettingsSource, values().connectionFlag1)
  VAULTLINE_TEXT_PROPERTY(ConnectionText1, kSettingsSource, values().connectionText1)
  VAULTLINE_TEXT_PROPERTY(ConnectionText2, kSettingsSource, values().connectionText2)
  VAULTLINE_SCALAR_PROPERTY(ConnectionFlag2, VARIANT_BOOL, kSettingsSource, values().connectionFlag2)
  VAULTLINE_TEXT_PROPERTY(ConnectionText3, kSettingsSource, values().connectionText3)
  VAULTLINE_SCALAR_PROPERTY(ConnectionNumber1, LONG, kSettingsSource, values().connectionNumber1)
  VAULTLINE_TEXT_PROPERTY(ProxyPortStr, kSettingsSource, values().proxyPortStr)
  VAULTLINE_TEXT_PROPERTY(ConnectionText4, kSettingsSource, values().connectionText4)
  VAULTLINE_TEXT_PROPERTY(ConnectionText5, kSettingsSource, values().connectionText5)

  HRESULT STDMETHODCALLTYPE InterfaceSupportsErrorInfo(REFIID riid) noexcept override;

 private:
  ItemValues& values() noexcept { return owner_->values_; }

  CComPtr<ListItem> owner_;
};

}  // namespace vaultline
