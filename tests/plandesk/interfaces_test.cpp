// The contract as a caller sees it: slot numbers, the classes behind the ProgIDs, the settings
// object's values and the raising wrapper.
#include "plandesk_test_support.h"

#include <cstdint>
#include <cstring>

namespace plandesk_test {
namespace {

// The vtable slot of a virtual member (Itanium C++ ABI: the pointer's first word is 1 + offset).
template <class Member>
std::size_t SlotOf(Member member) {
  std::uintptr_t word = 0;
  std::memcpy(&word, &member, sizeof word);
  return (word - 1) / sizeof(void*);
}

TEST(PlanDeskContract, NamedOperationsSitInTheirSlots) {
  using Settings = IPersistSilverlightConfigurationSettings;
  const struct {
    const char* name;
    std::size_t slot;
    std::size_t expected;
  } slots[] = {
      {"StoreConfigurationToFile", SlotOf(&IPersistSilverlightPalisades::raw_StoreConfigurationToFile), 7},
      {"MessageEncoding", SlotOf(&Settings::put_MessageEncoding), 8},
      {"Transport", SlotOf(&Settings::put_Transport), 10},
      {"AddressingVersion", SlotOf(&Settings::put_AddressingVersion), 12},
      {"AuthenticationMode", SlotOf(&Settings::put_AuthenticationMode), 16},
      {"UserName", SlotOf(&Settings::put_UserName), 20},
      {"Password", SlotOf(&Settings::put_Password), 22},
  };
  for (const auto& s : slots) EXPECT_EQ(s.slot, s.expected) << s.name;
}

class PlanDeskObjects : public PlanDeskTest {};

TEST_F(PlanDeskObjects, ProgIdsNameTheFixedClassesAndTheirInterfaces) {
  const struct {
    const OLECHAR* progId;
    CLSID clsid;
    IID iid;
  } classes[] = {
      {PlanDesk::kProgIdSilverlightPalisades, PlanDesk::CLSID_SilverlightPalisades,
       PlanDesk::IID_IPersistSilverlightPalisades},
      {PlanDesk::kProgIdSilverlightConfigurationSettings, PlanDesk::CLSID_SilverlightConfigurationSettings,
       PlanDesk::IID_IPersistSilverlightConfigurationSettings},
  };
  for (const auto& c : classes) {
    SCOPED_TRACE(Utf8(c.progId));
    CLSID clsid{};
    ASSERT_EQ(CLSIDFromProgID(c.progId, &clsid), S_OK);
    EXPECT_EQ(clsid, c.clsid);
    CComPtr<IUnknown> object;
    ASSERT_EQ(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown, reinterpret_cast<void**>(&object)),
              S_OK);
    for (const IID& iid : {c.iid, IID_IDispatch}) {
      CComPtr<IUnknown> other;
      EXPECT_EQ(object->QueryInterface(iid, reinterpret_cast<void**>(&other)), S_OK);
    }
    CComPtr<ISupportErrorInfo> support;
    ASSERT_EQ(object.QueryInterface(&support.p), S_OK);
    EXPECT_EQ(support->InterfaceSupportsErrorInfo(c.iid), S_OK);
    EXPECT_EQ(support->InterfaceSupportsErrorInfo(IID_IDispatch), S_FALSE);
  }
}

TEST_F(PlanDeskObjects, SettingsGiveBackWhatWasSetAndNullAsEmpty) {
  auto settings = CreateByProgId<IPersistSilverlightConfigurationSettings>(
      PlanDesk::kProgIdSilverlightConfigurationSettings);
  ASSERT_TRUE(settings);
  using Settings = IPersistSilverlightConfigurationSettings;
  const struct {
    HRESULT (STDMETHODCALLTYPE Settings::*put)(BSTR);
    HRESULT (STDMETHODCALLTYPE Settings::*get)(BSTR*);
    win32::OleString value;
  } fields[] = {
      {&Settings::put_MessageEncoding, &Settings::get_MessageEncoding, OLESTR("binaryMessageEncoding")},
      {&Settings::put_Transport, &Settings::get_Transport, OLESTR("KvHttpEngineTransport")},
      {&Settings::put_AddressingVersion, &Settings::get_AddressingVersion, OLESTR("None")},
      {&Settings::put_AuthenticationMode, &Settings::get_AuthenticationMode, OLESTR("UserNameOverTransport")},
      {&Settings::put_UserName, &Settings::get_UserName, OLESTR("j\u00FCrgen")},
      {&Settings::put_Password, &Settings::get_Password, win32::OleString(OLESTR("a\0b"), 3)},
  };
  for (const auto& f : fields) {
    win32::Bstr in(f.value), out;
    EXPECT_EQ((settings->*f.put)(in.get()), S_OK);
    ASSERT_EQ((settings->*f.get)(out.out()), S_OK);
    EXPECT_EQ(out.view(), f.value);
    EXPECT_EQ((settings->*f.put)(nullptr), S_OK);
    ASSERT_EQ((settings->*f.get)(out.out()), S_OK);
    ASSERT_NE(out.get(), nullptr);
    EXPECT_EQ(out.view(), OLESTR(""));
  }
  EXPECT_EQ(settings->get_Password(nullptr), E_POINTER);
  EXPECT_NE(TakeErrorDescription(), "");
  for (auto placeholder : {&Settings::raw_Reserved13, &Settings::raw_Reserved14, &Settings::raw_Reserved17,
                           &Settings::raw_Reserved18}) {
    EXPECT_EQ((settings->*placeholder)(), E_NOTIMPL);
    EXPECT_EQ(TakeErrorDescription(), "not implemented");
  }
}

TEST_F(PlanDeskObjects, WrapperReturnsTheFlagAndRaisesWithTheReason) {
  auto settings = CreateByProgId<IPersistSilverlightConfigurationSettings>(
      PlanDesk::kProgIdSilverlightConfigurationSettings);
  auto utilities = CreateByProgId<IPersistSilverlightPalisades>(PlanDesk::kProgIdSilverlightPalisades);
  ASSERT_TRUE(settings && utilities);
  PutValues(settings, Values{}, false);
  win32::Bstr service(OLESTR("Calculator")), folder(win32::Widen(folder_.string(), CP_UTF8)), port(OLESTR("BasicPort"));
  EXPECT_EQ(utilities->StoreConfigurationToFile(settings, service.get(), folder.get(), 1, port.get()), VARIANT_TRUE);

  win32::Bstr missing(win32::Widen((folder_ / "absent").string(), CP_UTF8));
  try {
    utilities->StoreConfigurationToFile(settings, service.get(), missing.get(), 1, port.get());
    ADD_FAILURE() << "no _com_error raised";
  } catch (const _com_error& e) {
    EXPECT_TRUE(FAILED(e.Error()));
    EXPECT_NE(Utf8(e.Description()).find("does not exist"), std::string::npos) << Utf8(e.Description());
  }
}

}  // namespace
}  // namespace plandesk_test
