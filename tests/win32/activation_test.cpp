// Activation through the registry and through registered class objects, and the class-object table.
#include "com_test_support.h"
#include "test_widget.h"
#include "win32/com_object.h"
#include "win32/comptr.h"
#include "win32/registry.h"

#include <dlfcn.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>

namespace {

constexpr CLSID kOtherClass = {0x6F1C2A20, 0x3B4D, 0x4E5F, {0x8A, 0x9B, 0x0C, 0x1D, 0x2E, 0x3F, 0x4A, 0x50}};
constexpr IID kUnknownIid = {0x6F1C2A21, 0x3B4D, 0x4E5F, {0x8A, 0x9B, 0x0C, 0x1D, 0x2E, 0x3F, 0x4A, 0x50}};
constexpr LONG kFakeAnswer = 7;

class FakeWidget final : public win32::ComObject<FakeWidget, IWidget> {
 public:
  HRESULT STDMETHODCALLTYPE Answer(LONG* value) override {
    *value = kFakeAnswer;
    return S_OK;
  }
};

LONG AnswerOf(REFCLSID clsid) {
  CComPtr<IWidget> widget;
  if (FAILED(widget.CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER))) return -1;
  LONG value = 0;
  return SUCCEEDED(widget->Answer(&value)) ? value : -1;
}

class ActivationTest : public ComTest {
 protected:
  void SetUp() override {
    ComTest::SetUp();
    ASSERT_EQ(ComRegistryAdd(u"Palisade.TestWidget", CLSID_TestWidget, WIDGET_SERVER), S_OK);
  }
  void TearDown() override {
    EXPECT_EQ(ComRegistryRemove(CLSID_TestWidget), S_OK);
    ComRegistryRemove(kOtherClass);
    ComTest::TearDown();
  }
};

TEST_F(ActivationTest, ProgIdLeadsToTheRegisteredServer) {
  // Works before CoInitialize, and without regard to case.
  ASSERT_EQ(ComDiagApartmentInits(), 0);
  for (const char16_t* progId : {u"Palisade.TestWidget", u"PALISADE.testwidget"}) {
    CLSID clsid = CLSID_NULL;
    EXPECT_EQ(CLSIDFromProgID(progId, &clsid), S_OK);
    EXPECT_EQ(clsid, CLSID_TestWidget);
  }
  Apartment apartment;
  const long before = ComDiagLiveObjects();
  {
    CComPtr<IWidget> widget;
    ASSERT_EQ(widget.CoCreateInstance(CLSID_TestWidget), S_OK);
    EXPECT_EQ(ComDiagLiveObjects(), before + 1);  // the factory is gone, the widget alive
    LONG value = 0;
    EXPECT_EQ(widget->Answer(&value), S_OK);
    EXPECT_EQ(value, kServerAnswer);
  }
  EXPECT_EQ(ComDiagLiveObjects(), before);
}

TEST_F(ActivationTest, ProgIdFailures) {
  CLSID clsid;
  std::memset(&clsid, 0xCC, sizeof clsid);
  EXPECT_EQ(CLSIDFromProgID(u"Palisade.NoSuchThing", &clsid), CO_E_CLASSSTRING);
  EXPECT_EQ(clsid, CLSID_NULL);
  EXPECT_EQ(CLSIDFromProgID(u"", &clsid), CO_E_CLASSSTRING);
  EXPECT_EQ(CLSIDFromProgID(nullptr, &clsid), E_INVALIDARG);
  EXPECT_EQ(CLSIDFromProgID(u"Palisade.TestWidget", nullptr), E_INVALIDARG);
}

TEST_F(ActivationTest, FailuresLeaveNothingBehind) {
  const struct {
    const char* name;
    bool initialise;
    CLSID clsid;
    const char* server;  // registered for kOtherClass when not NULL; "" for a class without one
    DWORD context;
    IID iid;
    HRESULT expected;
  } cases[] = {
      {"without COM", false, CLSID_TestWidget, nullptr, CLSCTX_INPROC_SERVER, IID_IWidget, CO_E_NOTINITIALIZED},
      {"unknown CLSID", true, kOtherClass, nullptr, CLSCTX_INPROC_SERVER, IID_IWidget, REGDB_E_CLASSNOTREG},
      {"no server path", true, kOtherClass, "", CLSCTX_INPROC_SERVER, IID_IWidget, REGDB_E_CLASSNOTREG},
      {"not in process", true, CLSID_TestWidget, nullptr, CLSCTX_LOCAL_SERVER, IID_IWidget, REGDB_E_CLASSNOTREG},
      {"missing file", true, kOtherClass, "/nonexistent/libnothing.so", CLSCTX_INPROC_SERVER, IID_IWidget,
       CO_E_DLLNOTFOUND},
      {"no DllGetClassObject", true, kOtherClass, NO_ENTRY_SERVER, CLSCTX_ALL, IID_IWidget, CO_E_DLLNOTFOUND},
      {"server lacks the class", true, kOtherClass, WIDGET_SERVER, CLSCTX_ALL, IID_IWidget,
       CLASS_E_CLASSNOTAVAILABLE},
      {"object lacks the IID", true, CLSID_TestWidget, nullptr, CLSCTX_INPROC_SERVER, kUnknownIid, E_NOINTERFACE},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    if (c.server) ASSERT_EQ(ComRegistryAdd(nullptr, kOtherClass, *c.server ? c.server : nullptr), S_OK);
    const long before = ComDiagLiveObjects();
    {
      std::optional<Apartment> apartment;
      if (c.initialise) apartment.emplace();
      void* object = kSentinel;
      EXPECT_EQ(CoCreateInstance(c.clsid, nullptr, c.context, c.iid, &object), c.expected);
      EXPECT_EQ(object, nullptr);
      EXPECT_EQ(ComDiagLiveObjects(), before);
    }
    ComRegistryRemove(kOtherClass);
  }
  Apartment apartment;
  EXPECT_EQ(CoCreateInstance(CLSID_TestWidget, nullptr, CLSCTX_ALL, IID_IWidget, nullptr), E_POINTER);
  EXPECT_EQ(CoGetClassObject(CLSID_TestWidget, CLSCTX_ALL, nullptr, IID_IClassFactory, nullptr), E_POINTER);
}

TEST_F(ActivationTest, RegisteredClassObjectWinsInItsApartmentOnly) {
  Apartment apartment;
  CComPtr<IUnknown> factory;
  ASSERT_EQ(win32::ClassFactory<FakeWidget>::Create(IID_IUnknown, reinterpret_cast<void**>(&factory)), S_OK);
  DWORD cookie = 0;
  ASSERT_EQ(CoRegisterClassObject(CLSID_TestWidget, factory, CLSCTX_INPROC_SERVER, REGCLS_MULTIPLEUSE, &cookie), S_OK);
  EXPECT_EQ(AnswerOf(CLSID_TestWidget), kFakeAnswer);
  OnOtherThread([] {
    Apartment other;
    EXPECT_EQ(AnswerOf(CLSID_TestWidget), kServerAnswer);
  });
  EXPECT_EQ(CoRevokeClassObject(cookie), S_OK);
  EXPECT_EQ(AnswerOf(CLSID_TestWidget), kServerAnswer);
}

TEST_F(ActivationTest, ClassObjectTable) {
  CountingUnknown object;
  DWORD cookie = 1234;
  EXPECT_EQ(CoRegisterClassObject(kOtherClass, &object, CLSCTX_INPROC_SERVER, REGCLS_SINGLEUSE, &cookie),
            CO_E_NOTINITIALIZED);
  EXPECT_EQ(cookie, 0u);
  EXPECT_EQ(CoRevokeClassObject(1), CO_E_NOTINITIALIZED);
  {
    Apartment apartment;
    EXPECT_EQ(CoRegisterClassObject(kOtherClass, nullptr, CLSCTX_INPROC_SERVER, 0, &cookie), E_INVALIDARG);
    EXPECT_EQ(CoRegisterClassObject(kOtherClass, &object, CLSCTX_INPROC_SERVER, 0, nullptr), E_INVALIDARG);
    ASSERT_EQ(CoRegisterClassObject(kOtherClass, &object, CLSCTX_INPROC_SERVER, 0, &cookie), S_OK);
    EXPECT_NE(cookie, 0u);
    EXPECT_EQ(object.refs, 2u);
    DWORD second = 0;
    EXPECT_EQ(CoRegisterClassObject(kOtherClass, &object, CLSCTX_INPROC_SERVER, 0, &second), CO_E_OBJISREG);
    EXPECT_EQ(object.refs, 2u);
    OnOtherThread([cookie] {
      EXPECT_EQ(CoRevokeClassObject(cookie), CO_E_NOTINITIALIZED);
      Apartment other;
      EXPECT_EQ(CoRevokeClassObject(cookie), RPC_E_WRONG_THREAD);
    });
    EXPECT_EQ(object.refs, 2u);
    EXPECT_EQ(CoRevokeClassObject(cookie), S_OK);
    EXPECT_EQ(object.refs, 1u);
    EXPECT_EQ(CoRevokeClassObject(cookie), E_INVALIDARG);
    // Still registered when the apartment ends: revoked then.
    ASSERT_EQ(CoRegisterClassObject(kOtherClass, &object, CLSCTX_INPROC_SERVER, 0, &cookie), S_OK);
    EXPECT_EQ(object.refs, 2u);
  }
  EXPECT_EQ(object.refs, 1u);
  Apartment again;
  EXPECT_EQ(CoRevokeClassObject(cookie), E_INVALIDARG);
  EXPECT_EQ(object.addRefs, object.releases);
}

TEST_F(ActivationTest, MultithreadedApartmentIsShared) {
  CountingUnknown object;
  DWORD cookie = 0;
  {
    Apartment apartment(COINIT_MULTITHREADED);
    ASSERT_EQ(CoRegisterClassObject(kOtherClass, &object, CLSCTX_INPROC_SERVER, 0, &cookie), S_OK);
    // Another thread of the same apartment may revoke; its leaving does not end the apartment.
    OnOtherThread([&] {
      Apartment other(COINIT_MULTITHREADED);
      EXPECT_EQ(CoRevokeClassObject(cookie), S_OK);
      EXPECT_EQ(CoRegisterClassObject(kOtherClass, &object, CLSCTX_INPROC_SERVER, 0, &cookie), S_OK);
    });
    EXPECT_EQ(object.refs, 2u);
  }
  EXPECT_EQ(object.refs, 1u);
}

// The build's own registry files: every class line in them is found by its ProgID.
TEST_F(ActivationTest, BuildRegistryFolderLoads) {
  namespace fs = std::filesystem;
  const fs::path folder = fs::canonical(fs::path(WIN32_LIBRARY).parent_path()) / "registry";
  EXPECT_EQ(fs::path(ComRegistryFolder()), folder);
  std::error_code ec;
  for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
    if (it->path().extension() != ".reg") continue;
    std::ifstream in(it->path());
    std::string clsidText, rest;
    while (in >> clsidText) {
      std::getline(in, rest);
      std::string progId;
      std::istringstream(rest) >> progId;
      CLSID expected, found;
      if (clsidText[0] == '#' || progId.empty() || progId == "-" ||
          CLSIDFromString(std::u16string(clsidText.begin(), clsidText.end()).c_str(), &expected) != S_OK)
        continue;
      SCOPED_TRACE(it->path().string() + ": " + progId);
      EXPECT_EQ(CLSIDFromProgID(std::u16string(progId.begin(), progId.end()).c_str(), &found), S_OK);
      EXPECT_EQ(found, expected);
    }
  }
}

// A damaged file, read by a private copy of the runtime so the build's folder stays untouched.
TEST_F(ActivationTest, RegistryFileLinesThatDoNotParseAreSkipped) {
#if defined(__SANITIZE_ADDRESS__)
  GTEST_SKIP() << "a second, deep-bound copy of the runtime cannot run under AddressSanitizer";
#else
  namespace fs = std::filesystem;
  const fs::path dir = fs::temp_directory_path() / ("win32_test_registry." + std::to_string(getpid()));
  fs::create_directories(dir / "registry");
  fs::copy_file(WIN32_LIBRARY, dir / "libwin32_copy.so", fs::copy_options::overwrite_existing);
  std::ofstream(dir / "registry" / "damaged.reg")
      << "# {11111111-2222-3333-4444-000000000000} Commented.Out x.so\n"
         "{11111111-2222-3333-4444-00000000000G} Bad.Hex x.so\n"
         "{11111111-2222-3333-4444-000000000001 Bad.Brace x.so\n"
         "11111111-2222-3333-4444-000000000002 Bad.NoBraces x.so\n"
         "\n \t \n"
         "{11111111-2222-3333-4444-000000000003} Good.CrLf x.so\r\n"
         "{11111111-2222-3333-4444-000000000004}\tGood.Tab\n"
      << std::string(5000, 'x') << "\n{11111111-2222-3333-4444-000000000005} Good.LastLine";
  std::ofstream(dir / "registry" / "ignored.txt") << "{11111111-2222-3333-4444-000000000006} Not.A.RegFile\n";
  void* copy = dlopen((dir / "libwin32_copy.so").c_str(), RTLD_NOW | RTLD_LOCAL | RTLD_DEEPBIND);
  ASSERT_NE(copy, nullptr) << dlerror();
  const auto fromProgId = reinterpret_cast<decltype(&CLSIDFromProgID)>(dlsym(copy, "CLSIDFromProgID"));
  const auto folder = reinterpret_cast<decltype(&ComRegistryFolder)>(dlsym(copy, "ComRegistryFolder"));
  ASSERT_TRUE(fromProgId && folder);
  EXPECT_EQ(fs::path(folder()), fs::canonical(dir) / "registry");
  const struct {
    const char16_t* progId;
    std::uint8_t last;  // of the CLSID; 0 for "not found"
  } lookups[] = {{u"Commented.Out", 0}, {u"Bad.Hex", 0},     {u"Bad.Brace", 0},      {u"Bad.NoBraces", 0},
                 {u"Good.CrLf", 3},     {u"good.tab", 4},    {u"Good.LastLine", 5},  {u"Not.A.RegFile", 0}};
  for (const auto& lookup : lookups) {
    CLSID clsid = CLSID_NULL;
    EXPECT_EQ(fromProgId(lookup.progId, &clsid), lookup.last ? S_OK : CO_E_CLASSSTRING);
    EXPECT_EQ(clsid.Data4[7], lookup.last);
  }
  dlclose(copy);
  fs::remove_all(dir);
#endif
}

}  // namespace
