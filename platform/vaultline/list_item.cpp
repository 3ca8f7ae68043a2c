#include "list_item.h"

namespace vaultline {
namespace {

// Known only inside the component: QueryInterface for it yields the ListItem itself.
constexpr IID kListItemImplIid = {0x0BFF68DA, 0xEC66, 0x4FAE, {0x82, 0x09, 0x83, 0xEF, 0x0E, 0x20, 0x8D, 0x10}};

}  // namespace

CComPtr<ListItem> ListItem::New() noexcept {
  void* created = nullptr;
  CComPtr<ListItem> item;
  if (SUCCEEDED(Create(Vaultline::IID_IPersistSilverlightListItemRO, &created))) {
    item.Attach(static_cast<ListItem*>(static_cast<IPersistSilverlightListItemRO*>(created)));
  }
  return item;
}

CComPtr<ListItem> ListItem::FromInterface(IPersistSilverlightListItemRO* object) noexcept {
  CComPtr<ListItem> item;
  void* found = nullptr;
  if (object && SUCCEEDED(object->QueryInterface(kListItemImplIid, &found)) && found) {
    item.Attach(static_cast<ListItem*>(static_cast<IPersistSilverlightListItemRO*>(found)));
  }
  return item;
}

void* ListItem::QueryExtra(REFIID riid) noexcept {
  return riid == kListItemImplIid ? static_cast<IPersistSilverlightListItemRO*>(this) : nullptr;
}

HRESULT ListItem::get_ConnectionSettings(IPersistSilverlightConnectionSettings** out) noexcept {
  return RunMethod(kItemSource, [&] {
    if (out == nullptr) return E_POINTER;
    *out = nullptr;
    if (settingsView_ != nullptr) {
      settingsView_->AddRef();
      *out = settingsView_;
      return S_OK;
    }
    void* created = nullptr;
    const HRESULT hr = ConnectionSettings::Create(Vaultline::IID_IPersistSilverlightConnectionSettings, &created, this);
    if (FAILED(hr)) return hr;
    *out = static_cast<IPersistSilverlightConnectionSettings*>(created);
    settingsView_ = static_cast<ConnectionSettings*>(*out);
    return S_OK;
  });
}

HRESULT ListItem::InterfaceSupportsErrorInfo(REFIID riid) noexcept {
  return riid == Vaultline::IID_IPersistSilverlightListItemRO || riid == Vaultline::IID_IPersistSilverlightListItem
             ? S_OK
             : S_FALSE;
}

ConnectionSettings::~ConnectionSettings() {
  if (owner_->settingsView_ == this) owner_->settingsView_ = nullptr;
}

HRESULT ConnectionSettings::InterfaceSupportsErrorInfo(REFIID riid) noexcept {
  return riid == Vaultline::IID_IPersistSilverlightConnectionSettings ? S_OK : S_FALSE;
}

}  // namespace vaultline
