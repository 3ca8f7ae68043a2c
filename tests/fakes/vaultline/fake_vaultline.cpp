#include "fake_vaultline.h"

#include "win32/com_object.h"
#include "win32/strings.h"

#include <functional>
#include <stdexcept>
#include <utility>

namespace fakes {
namespace {

using namespace Vaultline;
using State = FakeVaultlineState;

std::string Text(BSTR text) { return win32::Narrow(win32::ToView(text)); }

// Counts a call; its answer under the failure switch.
HRESULT Answer(State& state, const std::string& name) {
  if (++state.callCount == state.failCall) {
    state.failedCall = name;
    return E_FAIL;
  }
  const auto told = state.answers.find(name);
  return told == state.answers.end() ? S_OK : told->second;
}

HRESULT GetText(State& state, const FakeItemValues& values, const char* name, BSTR* out) {
  *out = nullptr;
  if (const HRESULT hr = Answer(state, std::string("get ") + name); FAILED(hr)) return hr;
  const auto found = values.texts.find(name);
  const win32::OleString text = found == values.texts.end() ? win32::OleString() : found->second;
  *out = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
  return *out ? S_OK : E_OUTOFMEMORY;
}

HRESULT PutText(State& state, FakeItemValues& values, const char* name, BSTR text) {
  state.calls.push_back(std::string("put ") + name + "=" + Text(text));
  if (const HRESULT hr = Answer(state, std::string("put ") + name); FAILED(hr)) return hr;
  values.texts[name] = win32::OleString(win32::ToView(text));
  return S_OK;
}

template <class T>
HRESULT GetScalar(State& state, T value, const char* name, T* out) {
  if (const HRESULT hr = Answer(state, std::string("get ") + name); FAILED(hr)) return hr;
  *out = value;
  return S_OK;
}

template <class T>
HRESULT PutScalar(State& state, T& value, const char* name, T newValue) {
  state.calls.push_back(std::string("put ") + name + "=" + std::to_string(newValue));
  if (const HRESULT hr = Answer(state, std::string("put ") + name); FAILED(hr)) return hr;
  value = newValue;
  return S_OK;
}

// Both property holders below have `state_` and `values_`.
#define FAKE_TEXT(Name)                                                                              \
  HRESULT STDMETHODCALLTYPE get_##Name(BSTR* out) override { return GetText(*state_, *values_, #Name, out); } \
  HRESULT STDMETHODCALLTYPE put_##Name(BSTR text) override { return PutText(*state_, *values_, #Name, text); }
#define FAKE_SCALAR(Name, Type, member)                                                                        \
  HRESULT STDMETHODCALLTYPE get_##Name(Type* out) override { return GetScalar(*state_, values_->member, #Name, out); } \
  HRESULT STDMETHODCALLTYPE put_##Name(Type value) override { return PutScalar(*state_, values_->member, #Name, value); }

class FakeSettings final : public win32::ComObject<FakeSettings, IPersistSilverlightConnectionSettings> {
 public:
  FakeSettings(std::shared_ptr<State> state, std::shared_ptr<FakeItemValues> values)
      : state_(std::move(state)), values_(std::move(values)) {}

  HRESULT STDMETHODCALLTYPE raw_Reserved7() override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE raw_Reserved8() override { return E_NOTIMPL; }
  FAKE_SCALAR(ConnectionFlag1, VARIANT_BOOL, connectionFlag1)
  FAKE_TEXT(ConnectionText1)
  FAKE_TEXT(ConnectionText2)
  FAKE_SCALAR(ConnectionFlag2, VARIANT_BOOL, connectionFlag2)
  FAKE_TEXT(ConnectionText3)
  FAKE_SCALAR(ConnectionNumber1, LONG, connectionNumber1)
  FAKE_TEXT(ProxyPortStr)
  FAKE_TEXT(ConnectionText4)
  FAKE_TEXT(ConnectionText5)

 private:
  std::shared_ptr<State> state_;
  std::shared_ptr<FakeItemValues> values_;
};

class FakeItem final
    : public win32::ComObject<FakeItem, IPersistSilverlightListItemRO, IPersistSilverlightListItem> {
 public:
  FakeItem(std::shared_ptr<State> state, FakeItemValues values)
      : state_(std::move(state)), values_(std::make_shared<FakeItemValues>(std::move(values))) {}

  const FakeItemValues& values() const { return *values_; }

  FAKE_SCALAR(ItemFlag, VARIANT_BOOL, itemFlag)
  FAKE_TEXT(WsdlUrl)
  FAKE_TEXT(ItemName)
  FAKE_TEXT(ItemKey)
  FAKE_TEXT(ItemText)
  HRESULT STDMETHODCALLTYPE get_ConnectionSettings(IPersistSilverlightConnectionSettings** out) override {
    *out = nullptr;
    if (const HRESULT hr = Answer(*state_, "get ConnectionSettings"); FAILED(hr)) return hr;
    return FakeSettings::Create(IidOf<IPersistSilverlightConnectionSettings>(), reinterpret_cast<void**>(out), state_,
                                values_);
  }

 private:
  std::shared_ptr<State> state_;
  std::shared_ptr<FakeItemValues> values_;
};

#undef FAKE_TEXT
#undef FAKE_SCALAR

class FakeList final : public win32::ComObject<FakeList, IPersistSilverlightList> {
 public:
  explicit FakeList(std::shared_ptr<State> state) : state_(std::move(state)) {}

  HRESULT STDMETHODCALLTYPE raw_SaveEx(BSTR aFileName, LONG aClearFileBeforeSave) override {
    Log("SaveEx " + Text(aFileName) + " " + std::to_string(aClearFileBeforeSave));
    if (const HRESULT hr = Answer(*state_, "SaveEx"); FAILED(hr)) return hr;
    std::vector<FakeEntry> stored;
    for (const Entry& entry : entries_) {
      const auto* item = dynamic_cast<const FakeItem*>(entry.item.p);
      if (item == nullptr) return E_INVALIDARG;
      stored.push_back({entry.key, item->values()});
    }
    state_->stored = std::move(stored);
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE raw_Reserved8() override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE raw_Load(BSTR aFileName) override {
    Log("Load " + Text(aFileName));
    if (const HRESULT hr = Answer(*state_, "Load"); FAILED(hr)) return hr;
    entries_.clear();
    for (const FakeEntry& stored : state_->stored) {
      Entry entry{stored.key, {}};
      const HRESULT hr = FakeItem::Create(IidOf<IPersistSilverlightListItemRO>(),
                                          reinterpret_cast<void**>(&entry.item), state_, stored.values);
      if (FAILED(hr)) return hr;
      entries_.push_back(std::move(entry));
    }
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE raw_GetItemByKey(BSTR aKey, IPersistSilverlightListItem** out) override {
    Log("GetItemByKey " + Text(aKey));
    *out = nullptr;
    if (const HRESULT hr = Answer(*state_, "GetItemByKey"); FAILED(hr)) return hr;
    const Entry* entry = Find(aKey);
    return entry ? entry->item.QueryInterface(out) : HRESULT_FROM_WIN32(ERROR_NOT_FOUND);
  }
  HRESULT STDMETHODCALLTYPE raw_AddItemByKey(BSTR aKey, IPersistSilverlightListItemRO* aItemObject) override {
    Log("AddItemByKey " + Text(aKey));
    if (const HRESULT hr = Answer(*state_, "AddItemByKey"); FAILED(hr)) return hr;
    if (Find(aKey)) return HRESULT_FROM_WIN32(ERROR_ALREADY_EXISTS);
    entries_.push_back({Text(aKey), CComPtr<IPersistSilverlightListItemRO>(aItemObject)});
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE get_Count(LONG* out) override {
    *out = static_cast<LONG>(entries_.size());
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE raw_ContainsItemWithKey(BSTR aKey, VARIANT_BOOL* out) override {
    Log("ContainsItemWithKey " + Text(aKey));
    *out = VARIANT_FALSE;
    if (const HRESULT hr = Answer(*state_, "ContainsItemWithKey"); FAILED(hr)) return hr;
    *out = Find(aKey) ? state_->presentAnswer : VARIANT_FALSE;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE get_UseStatus(VARIANT_BOOL* out) override {
    *out = useStatus_;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE put_UseStatus(VARIANT_BOOL value) override {
    Log("PutUseStatus " + std::to_string(value));
    if (const HRESULT hr = Answer(*state_, "PutUseStatus"); FAILED(hr)) return hr;
    useStatus_ = value;
    return S_OK;
  }

 private:
  struct Entry {
    std::string key;
    CComPtr<IPersistSilverlightListItemRO> item;
  };

  void Log(std::string call) { state_->calls.push_back(std::move(call)); }
  const Entry* Find(BSTR key) const {
    for (const Entry& entry : entries_) {
      if (entry.key == Text(key)) return &entry;
    }
    return nullptr;
  }

  std::shared_ptr<State> state_;
  std::vector<Entry> entries_;
  VARIANT_BOOL useStatus_ = VARIANT_FALSE;
};

// Logs each creation and answers under the failure switch before making anything.
class FakeFactory final : public win32::ComObject<FakeFactory, IClassFactory> {
 public:
  using Make = std::function<HRESULT(REFIID, void**)>;
  FakeFactory(std::shared_ptr<State> state, const char* name, Make make)
      : state_(std::move(state)), name_(name), make_(std::move(make)) {}

  HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID riid, void** ppv) override {
    *ppv = nullptr;
    state_->calls.push_back(name_);
    if (outer) return CLASS_E_NOAGGREGATION;
    const HRESULT answer = Answer(*state_, name_);
    return FAILED(answer) ? answer : make_(riid, ppv);
  }
  HRESULT STDMETHODCALLTYPE LockServer(BOOL) override { return S_OK; }

 private:
  std::shared_ptr<State> state_;
  std::string name_;
  Make make_;
};

DWORD Register(REFCLSID clsid, const std::shared_ptr<State>& state, const char* name, FakeFactory::Make make) {
  CComPtr<IClassFactory> factory;
  DWORD cookie = 0;
  if (FAILED(FakeFactory::Create(IID_IClassFactory, reinterpret_cast<void**>(&factory), state, name, std::move(make))) ||
      FAILED(CoRegisterClassObject(clsid, factory, CLSCTX_INPROC_SERVER, REGCLS_MULTIPLEUSE, &cookie))) {
    throw std::logic_error("the fake Vaultline classes need an apartment to be registered in");
  }
  return cookie;
}

}  // namespace

FakeVaultline::FakeVaultline() {
  const std::shared_ptr<State>& state = state_;
  listCookie_ = Register(CLSID_SilverlightList, state, "CreateList",
                         [state](REFIID riid, void** ppv) { return FakeList::Create(riid, ppv, state); });
  itemCookie_ = Register(CLSID_SilverlightListItemRO, state, "CreateItem",
                         [state](REFIID riid, void** ppv) { return FakeItem::Create(riid, ppv, state, state->newItem); });
}

FakeVaultline::~FakeVaultline() {
  CoRevokeClassObject(itemCookie_);
  CoRevokeClassObject(listCookie_);
}

std::vector<std::string> FakeVaultline::TakeCalls() { return std::exchange(state_->calls, {}); }

}  // namespace fakes
