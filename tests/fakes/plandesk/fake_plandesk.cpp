#include "fake_plandesk.h"

#include "win32/com_object.h"
#include "win32/registry.h"
#include "win32/strings.h"

#include <gtest/gtest.h>

namespace fakes {

struct FakePlanDesk::State {
  PlanDeskRecord record;
  StoreAnswer storeAnswer;
  HRESULT setterResult = S_OK;
};

namespace {

using PlanDesk::IPersistSilverlightConfigurationSettings;
using PlanDesk::IPersistSilverlightPalisades;
using State = FakePlanDesk::State;

constexpr CLSID kFakeUtilitiesClsid = {
    0x59BA3F0F, 0xC0D2, 0x41BE, {0xB8, 0xA3, 0xC7, 0x69, 0xA4, 0x09, 0xE0, 0x0A}};
constexpr CLSID kFakeSettingsClsid = {
    0x3A206554, 0x38D3, 0x4FF6, {0xB1, 0x28, 0x2D, 0x6D, 0xB8, 0x54, 0x6E, 0xDB}};
constexpr IID kIidRecordedSettings = {
    0x745C7708, 0x92DD, 0x4242, {0xB8, 0x4D, 0xD2, 0x87, 0x76, 0x76, 0x7D, 0x6F}};

// How the utilities fake tells its own settings objects apart from anything else it is handed.
struct IRecordedSettings : IUnknown {
  virtual int STDMETHODCALLTYPE Index() = 0;
};

}  // namespace
}  // namespace fakes

PL_DECLARE_IID(fakes::IRecordedSettings, fakes::kIidRecordedSettings);

namespace fakes {
namespace {

class FakeSettings final
    : public win32::ComObject<FakeSettings, IPersistSilverlightConfigurationSettings, IRecordedSettings> {
 public:
  explicit FakeSettings(std::shared_ptr<State> state)
      : state_(std::move(state)), index_(static_cast<int>(state_->record.settings.size())) {
    state_->record.settings.emplace_back();
  }
  ~FakeSettings() { state_->record.settings[index_].released = true; }

  HRESULT STDMETHODCALLTYPE raw_get_MessageEncoding(BSTR*) override { return Other("get_MessageEncoding"); }
  HRESULT STDMETHODCALLTYPE raw_put_MessageEncoding(BSTR value) override { return Set("MessageEncoding", value); }
  HRESULT STDMETHODCALLTYPE raw_get_Transport(BSTR*) override { return Other("get_Transport"); }
  HRESULT STDMETHODCALLTYPE raw_put_Transport(BSTR value) override { return Set("Transport", value); }
  HRESULT STDMETHODCALLTYPE raw_get_AddressingVersion(BSTR*) override { return Other("get_AddressingVersion"); }
  HRESULT STDMETHODCALLTYPE raw_put_AddressingVersion(BSTR value) override { return Set("AddressingVersion", value); }
  HRESULT STDMETHODCALLTYPE raw_Reserved13() override { return Other("Reserved13"); }
  HRESULT STDMETHODCALLTYPE raw_Reserved14() override { return Other("Reserved14"); }
  HRESULT STDMETHODCALLTYPE raw_get_AuthenticationMode(BSTR*) override { return Other("get_AuthenticationMode"); }
  HRESULT STDMETHODCALLTYPE raw_put_AuthenticationMode(BSTR value) override {
    return Set("AuthenticationMode", value);
  }
  HRESULT STDMETHODCALLTYPE raw_Reserved17() override { return Other("Reserved17"); }
  HRESULT STDMETHODCALLTYPE raw_Reserved18() override { return Other("Reserved18"); }
  HRESULT STDMETHODCALLTYPE raw_get_UserName(BSTR*) override { return Other("get_UserName"); }
  HRESULT STDMETHODCALLTYPE raw_put_UserName(BSTR value) override { return Set("UserName", value); }
  HRESULT STDMETHODCALLTYPE raw_get_Password(BSTR*) override { return Other("get_Password"); }
  HRESULT STDMETHODCALLTYPE raw_put_Password(BSTR value) override { return Set("Password", value); }

  int STDMETHODCALLTYPE Index() override { return index_; }

 private:
  HRESULT Set(const char* member, BSTR value) {
    state_->record.settings[index_].calls.push_back({member, win32::OleString(win32::ToView(value))});
    return state_->setterResult;
  }
  // The library calls none of these.
  HRESULT Other(const char* member) {
    state_->record.settings[index_].calls.push_back({member, {}});
    return E_NOTIMPL;
  }

  std::shared_ptr<State> state_;
  int index_;
};

class FakeUtilities final
    : public win32::ComObject<FakeUtilities, IPersistSilverlightPalisades, ISupportErrorInfo> {
 public:
  explicit FakeUtilities(std::shared_ptr<State> state) : state_(std::move(state)) {
    ++state_->record.utilitiesCreated;
    ++state_->record.utilitiesAlive;
  }
  ~FakeUtilities() { --state_->record.utilitiesAlive; }

  HRESULT STDMETHODCALLTYPE raw_StoreConfigurationToFile(IPersistSilverlightConfigurationSettings* settings,
                                                         BSTR serviceName, BSTR scriptPath,
                                                         VARIANT_BOOL createIfMissing, BSTR portName,
                                                         VARIANT_BOOL* result) override {
    StoreCall call;
    CComPtr<IRecordedSettings> recorded;
    if (settings && SUCCEEDED(settings->QueryInterface(kIidRecordedSettings, reinterpret_cast<void**>(&recorded)))) {
      call.settings = recorded->Index();
      call.settingsCalls = state_->record.settings[call.settings].calls;
    }
    call.serviceName = win32::ToView(serviceName);
    call.scriptPath = win32::ToView(scriptPath);
    call.portName = win32::ToView(portName);
    call.createIfMissing = createIfMissing;
    state_->record.stores.push_back(std::move(call));

    const StoreAnswer& answer = state_->storeAnswer;
    if (result) *result = answer.stored;
    if (FAILED(answer.hr) && !answer.errorDescription.empty()) {
      return win32::ReportError(answer.hr, PlanDesk::IID_IPersistSilverlightPalisades, OLESTR("FakePlanDesk"),
                                answer.errorDescription);
    }
    return answer.hr;
  }

  HRESULT STDMETHODCALLTYPE InterfaceSupportsErrorInfo(REFIID riid) override {
    return riid == PlanDesk::IID_IPersistSilverlightPalisades ? S_OK : S_FALSE;
  }

 private:
  std::shared_ptr<State> state_;
};

// A class object handing every new fake the shared record.
template <class Fake>
class FakeFactory final : public win32::ComObject<FakeFactory<Fake>, IClassFactory> {
 public:
  explicit FakeFactory(std::shared_ptr<State> state) : state_(std::move(state)) {}

  HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID riid, void** ppv) override {
    if (ppv) *ppv = nullptr;
    if (outer) return CLASS_E_NOAGGREGATION;
    return Fake::Create(riid, ppv, state_);
  }
  HRESULT STDMETHODCALLTYPE LockServer(BOOL) override { return S_OK; }

 private:
  std::shared_ptr<State> state_;
};

struct ClassEntry {
  const OLECHAR* progId;
  CLSID clsid;
  HRESULT (*createFactory)(const std::shared_ptr<State>&, IUnknown**);
};

template <class Fake>
HRESULT CreateFactory(const std::shared_ptr<State>& state, IUnknown** factory) {
  return FakeFactory<Fake>::Create(IID_IUnknown, reinterpret_cast<void**>(factory), state);
}

const ClassEntry kClasses[] = {
    {PlanDesk::kProgIdSilverlightPalisades, kFakeUtilitiesClsid, &CreateFactory<FakeUtilities>},
    {PlanDesk::kProgIdSilverlightConfigurationSettings, kFakeSettingsClsid, &CreateFactory<FakeSettings>},
};

}  // namespace

bool operator==(const SettingsCall& a, const SettingsCall& b) { return a.member == b.member && a.text == b.text; }

void PrintTo(const SettingsCall& call, std::ostream* out) {
  *out << call.member << "=\"" << win32::Narrow(call.text, CP_UTF8) << "\"";
}

FakePlanDesk::FakePlanDesk() : state_(std::make_shared<State>()) {
  Register(kUtilities);
  Register(kSettings);
}

FakePlanDesk::~FakePlanDesk() {
  Unregister(kUtilities);
  Unregister(kSettings);
}

void FakePlanDesk::Register(Class fake) {
  if (cookies_[fake] != 0) return;
  const ClassEntry& entry = kClasses[fake];
  CComPtr<IUnknown> factory;
  ASSERT_EQ(entry.createFactory(state_, &factory), S_OK);
  ASSERT_EQ(ComRegistryAdd(entry.progId, entry.clsid, nullptr), S_OK);
  EXPECT_EQ(CoRegisterClassObject(entry.clsid, factory, CLSCTX_INPROC_SERVER, REGCLS_MULTIPLEUSE, &cookies_[fake]),
            S_OK);
}

void FakePlanDesk::Unregister(Class fake) {
  if (cookies_[fake] == 0) return;
  EXPECT_EQ(CoRevokeClassObject(cookies_[fake]), S_OK);
  EXPECT_EQ(ComRegistryRemove(kClasses[fake].clsid), S_OK);
  cookies_[fake] = 0;
}

void FakePlanDesk::AnswerStore(const StoreAnswer& answer) { state_->storeAnswer = answer; }

void FakePlanDesk::AnswerSetters(HRESULT hr) { state_->setterResult = hr; }

const PlanDeskRecord& FakePlanDesk::record() const { return state_->record; }

}  // namespace fakes
