#include "fake_plandesk.h"

#include "win32/com_object.h"
#include "win32/strings.h"

#include <gtest/gtest.h>

namespace fakes {

struct FakePlanDesk::State {
  PlanDeskRecord record;
  StoreAnswer storeAnswer;
  HRESULT setterResult = S_OK;
  bool withdrawn[2] = {false, false};
};

namespace {

using PlanDesk::IPersistSilverlightConfigurationSettings;
using PlanDesk::IPersistSilverlightPalisades;
using State = FakePlanDesk::State;

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

  HRESULT STDMETHODCALLTYPE get_MessageEncoding(BSTR*) override { return Other("get_MessageEncoding"); }
  HRESULT STDMETHODCALLTYPE put_MessageEncoding(BSTR value) override { return Set("MessageEncoding", value); }
  HRESULT STDMETHODCALLTYPE get_Transport(BSTR*) override { return Other("get_Transport"); }
  HRESULT STDMETHODCALLTYPE put_Transport(BSTR value) override { return Set("Transport", value); }
  HRESULT STDMETHODCALLTYPE get_AddressingVersion(BSTR*) override { return Other("get_AddressingVersion"); }
  HRESULT STDMETHODCALLTYPE put_AddressingVersion(BSTR value) override { return Set("AddressingVersion", value); }
  HRESULT STDMETHODCALLTYPE raw_Reserved13() override { return Other("Reserved13"); }
  HRESULT STDMETHODCALLTYPE raw_Reserved14() override { return Other("Reserved14"); }
  HRESULT STDMETHODCALLTYPE get_AuthenticationMode(BSTR*) override { return Other("get_AuthenticationMode"); }
  HRESULT STDMETHODCALLTYPE put_AuthenticationMode(BSTR value) override {
    return Set("AuthenticationMode", value);
  }
  HRESULT STDMETHODCALLTYPE raw_Reserved17() override { return Other("Reserved17"); }
  HRESULT STDMETHODCALLTYPE raw_Reserved18() override { return Other("Reserved18"); }
  HRESULT STDMETHODCALLTYPE get_UserName(BSTR*) override { return Other("get_UserName"); }
  HRESULT STDMETHODCALLTYPE put_UserName(BSTR value) override { return Set("UserName", value); }
  HRESULT STDMETHODCALLTYPE get_Password(BSTR*) override { return Other("get_Password"); }
  HRESULT STDMETHODCALLTYPE put_Password(BSTR value) override { return Set("Password", value); }

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

// A class object handing every new fake the shared record; a withdrawn class answers as one that
// is not registered.
template <class Fake>
class FakeFactory final : public win32::ComObject<FakeFactory<Fake>, IClassFactory> {
 public:
  FakeFactory(std::shared_ptr<State> state, FakePlanDesk::Class fake) : state_(std::move(state)), fake_(fake) {}

  HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID riid, void** ppv) override {
    if (ppv) *ppv = nullptr;
    if (outer) return CLASS_E_NOAGGREGATION;
    if (state_->withdrawn[fake_]) return REGDB_E_CLASSNOTREG;
    return Fake::Create(riid, ppv, state_);
  }
  HRESULT STDMETHODCALLTYPE LockServer(BOOL) override { return S_OK; }

 private:
  std::shared_ptr<State> state_;
  FakePlanDesk::Class fake_;
};

template <class Fake>
DWORD Register(REFCLSID clsid, const std::shared_ptr<State>& state, FakePlanDesk::Class fake) {
  CComPtr<IClassFactory> factory;
  DWORD cookie = 0;
  EXPECT_EQ(FakeFactory<Fake>::Create(IID_IClassFactory, reinterpret_cast<void**>(&factory), state, fake), S_OK);
  EXPECT_EQ(CoRegisterClassObject(clsid, factory, CLSCTX_INPROC_SERVER, REGCLS_MULTIPLEUSE, &cookie), S_OK);
  return cookie;
}

}  // namespace

bool operator==(const SettingsCall& a, const SettingsCall& b) { return a.member == b.member && a.text == b.text; }

void PrintTo(const SettingsCall& call, std::ostream* out) {
  *out << call.member << "=\"" << win32::Narrow(call.text, CP_UTF8) << "\"";
}

FakePlanDesk::FakePlanDesk() : state_(std::make_shared<State>()) {
  cookies_[kUtilities] = Register<FakeUtilities>(PlanDesk::CLSID_SilverlightPalisades, state_, kUtilities);
  cookies_[kSettings] = Register<FakeSettings>(PlanDesk::CLSID_SilverlightConfigurationSettings, state_, kSettings);
}

FakePlanDesk::~FakePlanDesk() {
  for (const DWORD cookie : cookies_) EXPECT_EQ(CoRevokeClassObject(cookie), S_OK);
}

void FakePlanDesk::Withdraw(Class fake) { state_->withdrawn[fake] = true; }

void FakePlanDesk::Restore(Class fake) { state_->withdrawn[fake] = false; }

void FakePlanDesk::AnswerStore(const StoreAnswer& answer) { state_->storeAnswer = answer; }

void FakePlanDesk::AnswerSetters(HRESULT hr) { state_->setterResult = hr; }

const PlanDeskRecord& FakePlanDesk::record() const { return state_->record; }

}  // namespace fakes
