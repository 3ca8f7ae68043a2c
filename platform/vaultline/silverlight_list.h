// The keyed list of items and its file (the file form is in list_file.h).
//
// - Keys compare without case, as the ini section names they are kept in do (ASCII and
//   Windows-1252 letters: "Jörg" and "JÖRG" are one key, "a" and "a " are two); a key keeps the
//   spelling it was added with. Items stay in the order they were added (or read).
// - AddItemByKey with a key the list holds refuses it: HRESULT_FROM_WIN32(ERROR_ALREADY_EXISTS),
//   0x800700B7, and the list stays as it was. Only items made by this component are taken
//   (E_INVALIDARG otherwise); the list keeps the item object itself, so later puts on it show.
//   GetItemByKey of a key that is not there fails with HRESULT_FROM_WIN32(ERROR_NOT_FOUND),
//   0x80070490.
// - Load replaces the whole content of the list with the file's; a missing file gives an empty
//   list and S_OK, a damaged one what can be read. A failed Load leaves the list as it was.
// - SaveEx(file, 0) writes the list into the file and keeps everything else in it: other
//   sections with their comments, and the items of keys this list does not hold. A nonzero flag
//   replaces the file with the list alone.
// - SaveEx writes through a temporary file that is renamed over the old one: a failed or
//   interrupted save leaves the old file whole. Reading fails with
//   HRESULT_FROM_WIN32(ERROR_READ_FAULT) (0x8007001E), writing with ERROR_WRITE_FAULT
//   (0x8007001D); a file over 256 MiB is refused with ERROR_FILE_TOO_LARGE (0x800700DF) by Load
//   and by SaveEx(..., 0), which reads the file to keep what is not the list's.
// - UseStatus (VARIANT_FALSE at first) is kept and read back; nothing else depends on it.
// - Every failure leaves error information naming what could not be done and why.
#pragma once

#include "com_method.h"
#include "list_item.h"

#include "contracts/vaultline_interfaces.h"

#include <string>
#include <unordered_map>
#include <vector>

namespace vaultline {

using Vaultline::IPersistSilverlightList;

inline const ErrorSource kListSource{&Vaultline::IID_IPersistSilverlightList, Vaultline::kProgIdSilverlightList, CP_ACP};

class SilverlightList final : public win32::ComObject<SilverlightList, IPersistSilverlightList, ISupportErrorInfo> {
 public:
  HRESULT STDMETHODCALLTYPE raw_SaveEx(BSTR aFileName, LONG aClearFileBeforeSave) noexcept override;
  HRESULT STDMETHODCALLTYPE raw_Reserved8() noexcept override { return win32::NotImplemented(kListSource); }
  HRESULT STDMETHODCALLTYPE raw_Load(BSTR aFileName) noexcept override;
  HRESULT STDMETHODCALLTYPE raw_GetItemByKey(BSTR aKey, IPersistSilverlightListItem** out) noexcept override;
  HRESULT STDMETHODCALLTYPE raw_AddItemByKey(BSTR aKey, IPersistSilverlightListItemRO* aItemObject) noexcept override;
  HRESULT STDMETHODCALLTYPE get_Count(LONG* out) noexcept override;
  HRESULT STDMETHODCALLTYPE raw_ContainsItemWithKey(BSTR aKey, VARIANT_BOOL* out) noexcept override;
  HRESULT STDMETHODCALLTYPE get_UseStatus(VARIANT_BOOL* out) noexcept override {
    return GetScalar(kListSource, useStatus_, out);
  }
  HRESULT STDMETHODCALLTYPE put_UseStatus(VARIANT_BOOL value) noexcept override {
    return PutScalar(kListSource, useStatus_, value);
  }

  HRESULT STDMETHODCALLTYPE InterfaceSupportsErrorInfo(REFIID riid) noexcept override;

 private:
  struct Entry {
    std::string key;  // as first spelled, in the ANSI code page
    CComPtr<ListItem> item;
  };

  const Entry* Find(BSTR key) const;

  std::vector<Entry> entries_;                          // in order of addition
  std::unordered_map<std::string, std::size_t> index_;  // FoldKey(key) -> position in entries_
  VARIANT_BOOL useStatus_ = VARIANT_FALSE;
};

}  // namespace vaultline
