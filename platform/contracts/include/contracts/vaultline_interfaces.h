// The persist-object interfaces of the Vaultline component, as the library calls them. Binary
// interfaces: slot order, IIDs and CLSIDs are what the compiled component and library share.
//
// Conventions (those of type-library imports): a method's virtual is `raw_Name`, a property's
// virtuals are `get_Name(T* out)` / `put_Name(T value)`. Only the operations whose failure the
// caller acts on have an inline wrapper (`Name`, `GetName`, `PutName`) that raises _com_error
// through win32::RaiseOnFailure; everything else is called through its virtual. Strings are BSTRs in
// and out: a BSTR a get returns belongs to the caller. Flags are VARIANT_BOOL (-1 true, 0 false).
//
// Slots are fixed: IUnknown 0-2, IDispatch 3-6, own members from 7. `raw_ReservedN` members only
// hold their slot and answer E_NOTIMPL.
#pragma once

#include "win32/com.h"
#include "win32/comerror.h"
#include "win32/comptr.h"
#include "win32/iid.h"
#include "win32/strings.h"

namespace Vaultline {

struct IPersistSilverlightList;
struct IPersistSilverlightListItem;
struct IPersistSilverlightListItemRO;
struct IPersistSilverlightConnectionSettings;

inline constexpr IID IID_IPersistSilverlightList = {
    0x75734A5D, 0xD867, 0x4302, {0xA6, 0x3B, 0x98, 0x55, 0xA6, 0xDB, 0x2B, 0x61}};
inline constexpr IID IID_IPersistSilverlightListItem = {
    0x0A8633E3, 0x50A2, 0x4F3C, {0xB7, 0xDE, 0x24, 0xC5, 0x08, 0xB5, 0xD0, 0x99}};
inline constexpr IID IID_IPersistSilverlightListItemRO = {
    0xB0C5FA3E, 0x6A16, 0x47B3, {0xB2, 0x9D, 0xB2, 0x3F, 0x1C, 0x34, 0x18, 0xC0}};
inline constexpr IID IID_IPersistSilverlightConnectionSettings = {
    0xDAEF8A6B, 0x945C, 0x4D3F, {0xA5, 0x71, 0x8E, 0x7E, 0x00, 0xD1, 0x4A, 0x22}};

// The creatable classes: a list ({BE9D2810-FCD2-4107-A4E7-B99983BD16E1}) and a new, empty item
// ({19C74680-F01A-475C-BAF8-830DD281FC7C}). Callers create them by ProgID, in-process, unaggregated.
inline constexpr CLSID CLSID_SilverlightList = {
    0xBE9D2810, 0xFCD2, 0x4107, {0xA4, 0xE7, 0xB9, 0x99, 0x83, 0xBD, 0x16, 0xE1}};
inline constexpr CLSID CLSID_SilverlightListItemRO = {
    0x19C74680, 0xF01A, 0x475C, {0xBA, 0xF8, 0x83, 0x0D, 0xD2, 0x81, 0xFC, 0x7C}};
inline constexpr OLECHAR kProgIdSilverlightList[] = OLESTR("Ostrum.Kelvane.Silverlight.SilverlightList");
inline constexpr OLECHAR kProgIdSilverlightListItemRO[] = OLESTR("Ostrum.Kelvane.Silverlight.SilverlightListItemRO");

}  // namespace Vaultline

PL_DECLARE_IID(Vaultline::IPersistSilverlightList, Vaultline::IID_IPersistSilverlightList);
PL_DECLARE_IID(Vaultline::IPersistSilverlightListItem, Vaultline::IID_IPersistSilverlightListItem);
PL_DECLARE_IID(Vaultline::IPersistSilverlightListItemRO, Vaultline::IID_IPersistSilverlightListItemRO);
PL_DECLARE_IID(Vaultline::IPersistSilverlightConnectionSettings, Vaultline::IID_IPersistSilverlightConnectionSettings);

namespace Vaultline {

// A keyed list of items that is loaded from and saved to an ini file. Keys compare without case.
struct IPersistSilverlightList : IDispatch {
  // 7: writes the list into the file; nonzero `aClearFileBeforeSave` replaces the whole file,
  // 0 keeps everything else in it, the items of keys this list does not hold included.
  virtual HRESULT STDMETHODCALLTYPE raw_SaveEx(BSTR aFileName, LONG aClearFileBeforeSave) = 0;
  virtual HRESULT STDMETHODCALLTYPE raw_Reserved8() = 0;
  // 9: replaces the list's content with the file's; a missing file gives an empty list.
  virtual HRESULT STDMETHODCALLTYPE raw_Load(BSTR aFileName) = 0;
  // 10: the item stored under the key (one reference for the caller); fails when there is none.
  virtual HRESULT STDMETHODCALLTYPE raw_GetItemByKey(BSTR aKey, IPersistSilverlightListItem** out) = 0;
  // 11: stores the item (the list takes a reference); fails, list unchanged, when the key is taken.
  virtual HRESULT STDMETHODCALLTYPE raw_AddItemByKey(BSTR aKey, IPersistSilverlightListItemRO* aItemObject) = 0;
  // 12: the number of items.
  virtual HRESULT STDMETHODCALLTYPE get_Count(LONG* out) = 0;
  // 13: VARIANT_TRUE (-1) when the key is present, VARIANT_FALSE (0) when not.
  virtual HRESULT STDMETHODCALLTYPE raw_ContainsItemWithKey(BSTR aKey, VARIANT_BOOL* out) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_UseStatus(VARIANT_BOOL* out) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_UseStatus(VARIANT_BOOL value) = 0;

  HRESULT SaveEx(BSTR aFileName, LONG aClearFileBeforeSave) {
    return win32::RaiseOnFailure(raw_SaveEx(aFileName, aClearFileBeforeSave), this);
  }
  HRESULT Load(BSTR aFileName) { return win32::RaiseOnFailure(raw_Load(aFileName), this); }
  CComPtr<IPersistSilverlightListItem> GetItemByKey(BSTR aKey) {
    CComPtr<IPersistSilverlightListItem> item;
    win32::RaiseOnFailure(raw_GetItemByKey(aKey, &item), this);
    return item;
  }
  HRESULT AddItemByKey(BSTR aKey, IPersistSilverlightListItemRO* aItemObject) {
    return win32::RaiseOnFailure(raw_AddItemByKey(aKey, aItemObject), this);
  }
  VARIANT_BOOL ContainsItemWithKey(BSTR aKey) {
    VARIANT_BOOL present = VARIANT_FALSE;
    win32::RaiseOnFailure(raw_ContainsItemWithKey(aKey, &present), this);
    return present;
  }
  void PutUseStatus(VARIANT_BOOL value) { win32::RaiseOnFailure(put_UseStatus(value), this); }
};

// An item as the list hands it out; ask it for IPersistSilverlightListItemRO.
struct IPersistSilverlightListItem : IDispatch {};

// One item's own values.
struct IPersistSilverlightListItemRO : IDispatch {
  virtual HRESULT STDMETHODCALLTYPE get_ItemFlag(VARIANT_BOOL* out) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_ItemFlag(VARIANT_BOOL value) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_WsdlUrl(BSTR* out) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_WsdlUrl(BSTR value) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_ItemName(BSTR* out) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_ItemName(BSTR value) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_ItemKey(BSTR* out) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_ItemKey(BSTR value) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_ItemText(BSTR* out) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_ItemText(BSTR value) = 0;
  // 17: the item's own settings (not a copy): one reference for the caller.
  virtual HRESULT STDMETHODCALLTYPE get_ConnectionSettings(IPersistSilverlightConnectionSettings** out) = 0;

  CComPtr<IPersistSilverlightConnectionSettings> GetConnectionSettings() {
    CComPtr<IPersistSilverlightConnectionSettings> settings;
    win32::RaiseOnFailure(get_ConnectionSettings(&settings), this);
    return settings;
  }
};

// The connection settings of one item.
struct IPersistSilverlightConnectionSettings : IDispatch {
  virtual HRESULT STDMETHODCALLTYPE raw_Reserved7() = 0;
  virtual HRESULT STDMETHODCALLTYPE raw_Reserved8() = 0;
  virtual HRESULT STDMETHODCALLTYPE get_ConnectionFlag1(VARIANT_BOOL* out) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_ConnectionFlag1(VARIANT_BOOL value) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_ConnectionText1(BSTR* out) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_ConnectionText1(BSTR value) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_ConnectionText2(BSTR* out) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_ConnectionText2(BSTR value) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_ConnectionFlag2(VARIANT_BOOL* out) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_ConnectionFlag2(VARIANT_BOOL value) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_ConnectionText3(BSTR* out) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_ConnectionText3(BSTR value) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_ConnectionNumber1(LONG* out) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_ConnectionNumber1(LONG value) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_ProxyPortStr(BSTR* out) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_ProxyPortStr(BSTR value) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_ConnectionText4(BSTR* out) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_ConnectionText4(BSTR value) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_ConnectionText5(BSTR* out) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_ConnectionText5(BSTR value) = 0;

  win32::Bstr GetProxyPortStr() {
    win32::Bstr text;
    win32::RaiseOnFailure(get_ProxyPortStr(text.out()), this);
    return text;
  }
};

}  // namespace Vaultline
