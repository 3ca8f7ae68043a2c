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

namespace fs = std::filesystem;

constexpr CLSID kOtherClass = {0x6F1C2A20, 0x3B4D, 0x4E5F, {0x8A, 0x9B, 0x0C, 0x1D, 0x2E, 0x3F, 0x4A, 0x50}};
constexpr IID kUnknownIid = {0x6F1C2A21, 0x3B4D, 0x4E5F, {0x8A, 0x9B, 0x0C, 0x1D, 0x2E, 0x3F, 0x4A, 0x50}};
constexpr LONG kFakeAnswer = 7;

class FakeWidget final : public win32::ComObject<FakeWidget, IWidget> {
 public:
  HRESULT STDMETHODCALLTYPE Answer(LONG* value) override { return *value = kFakeAnswer, S_OK; }
};

LONG AnswerOf(REFCLSID clsid) {
  CComPtr<IWidget> widget;
  LONG value = -1;
  if (SUCCEEDED(widget.CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER))) widget->Answer(&value);
  return value;
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
  ASSERT_EQ(ComDiagApartmentInits(), 0);  // the look-up needs no COM
  for (const char16_t* progId : {u"Palisade.TestWidget", u"PALISADE.testwidget"}) {
    CLSID clsid = CLSID_NULL;
    EXPECT_EQ(CLSIDFromProgID(progId, &clsid), S_OK);
    EXPECT_EQ(clsid, CLSID_TestWidget);
  }
  Apartment apartment;
  const long before = ComDiagLiveObjects();
  CComPtr<IWidget> widget;
  ASSERT_EQ(widget.CoCreateInstance(CLSID_TestWidget), S_OK);
  EXPECT_EQ(ComDiagLiveObjects(), before + 1);  // the widget; its factory is gone
  LONG value = 0;
  EXPECT_EQ(widget->Answer(&value), S_OK);
  EXPECT_EQ(value, kServerAnswer);
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
    const char* server;  // registered for kOtherClass unless NULL; "" for a class without a server
    DWORD context;
    IID iid;
    HRESULT expected;
  } cases[] = {
      {"without COM", false, CLSID_TestWidget, nullptr, CLSCTX_INPROC_SERVER, IID_IWidget, CO_E_NOTINITIALIZED},
      {"unknown CLSID", true, kOtherClass, nullptr, CLSCTX_INPROC_SERVER, IID_IWidget, REGDB_E_CLASSNOTREG},
      {"no server path", true, kOtherClass, "", CLSCTX_INPROC_SERVER, IID_IWidget, REGDB_E_CLASSNOTREG},
      {"not in process", true, CLSID_TestWidget, nullptr, CLSCTX_LOCAL_SERVER, IID_IWidget, REGDB_E_CLASSNOTREG},
      {"missing file", true, kOtherClass, "/nonexistent/lib.so", CLSCTX_ALL, IID_IWidget, CO_E_DLLNOTFOUND},
      {"no DllGetClassObject", true, kOtherClass, NO_ENTRY_SERVER, CLSCTX_ALL, IID_IWidget, CO_E_DLLNOTFOUND},
      {"server lacks the class", true, kOtherClass, WIDGET_SERVER, CLSCTX_ALL, IID_IWidget, CLASS_E_CLASSNOTAVAILABLE},
      {"object lacks the IID", true, CLSID_TestWidget, nullptr, CLSCTX_INPROC_SERVER, kUnknownIid, E_NOINTERFACE},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    if (c.server) {
      ASSERT_EQ(ComRegistryAdd(nullptr, kOtherClass, *c.server ? c.server : nullptr), S_OK);
    }
    std::optional<Apartment> apartment;
    if (c.initialise) apartment.emplace();
    const long before = ComDiagLiveObjects();
    void* object = kSentinel;
    EXPECT_EQ(CoCreateInstance(c.clsid, nullptr, c.context, c.iid, &object), c.expected);
    EXPECT_EQ(object, nullptr);
    EXPECT_EQ(ComDiagLiveObjects(), before);
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
  const auto reg = [&object](DWORD* cookie) {
    return CoRegisterClassObject(kOtherClass, &object, CLSCTX_INPROC_SERVER, REGCLS_SINGLEUSE, cookie);
  };
  DWORD cookie = 1234, second = 0;
  EXPECT_EQ(reg(&cookie), CO_E_NOTINITIALIZED);
  EXPECT_EQ(cookie, 0u);
  EXPECT_EQ(CoRevokeClassObject(1), CO_E_NOTINITIALIZED);
  {
    Apartment apartment;
    EXPECT_EQ(CoRegisterClassObject(kOtherClass, nullptr, CLSCTX_INPROC_SERVER, 0, &cookie), E_INVALIDARG);
    EXPECT_EQ(reg(nullptr), E_INVALIDARG);
    ASSERT_EQ(reg(&cookie), S_OK);
    EXPECT_NE(cookie, 0u);
    EXPECT_EQ(reg(&second), CO_E_OBJISREG);
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
    ASSERT_EQ(reg(&cookie), S_OK);  // left for the end of the apartment to revoke
  }
  EXPECT_EQ(object.refs, 1u);
  Apartment again;
  EXPECT_EQ(CoRevokeClassObject(cookie), E_INVALIDARG);
}

TEST_F(ActivationTest, MultithreadedApartmentIsShared) {
  CountingUnknown object;
  DWORD cookie = 0;
  {
    Apartment apartment(COINIT_MULTITHREADED);
    ASSERT_EQ(CoRegisterClassObject(kOtherClass, &object, CLSCTX_INPROC_SERVER, 0, &cookie), S_OK);
    // Another thread of the apartment may revoke, and its leaving does not end the apartment.
    OnOtherThread([&] {
      Apartment other(COINIT_MULTITHREADED);
      EXPECT_EQ(CoRevokeClassObject(cookie), S_OK);
      EXPECT_EQ(CoRegisterClassObject(kOtherClass, &object, CLSCTX_INPROC_SERVER, 0, &cookie), S_OK);
    });
    EXPECT_EQ(object.refs, 2u);
  }
  EXPECT_EQ(object.refs, 1u);
}

// Every class line of the build's own registry files is found by its ProgID.
TEST_F(ActivationTest, BuildRegistryFolderLoads) {
  const fs::path folder = fs::canonical(fs::path(WIN32_LIBRARY).parent_path()) / "registry";
  EXPECT_EQ(fs::path(ComRegistryFolder()), folder);
  std::error_code ec;
  for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
    std::ifstream in(it->path());
    for (std::string line; it->path().extension() == ".reg" && std::getline(in, line);) {
      std::string clsidText, progId;
      std::istringstream(line) >> clsidText >> progId;
      CLSID expected, found;
      const auto wide = [](const std::string& s) { return std::u16string(s.begin(), s.end()); };
      if (progId.empty() || progId == "-" || CLSIDFromString(wide(clsidText).c_str(), &expected) != S_OK) continue;
      SCOPED_TRACE(line);
      EXPECT_EQ(CLSIDFromProgID(wide(progId).c_str(), &found), S_OK);
      EXPECT_EQ(found, expected);
    }
  }
}

// A damaged file, read by a private copy of the runtime so that the build's folder stays untouched.
TEST_F(ActivationTest, RegistryFileLinesThatDoNotParseAreSkipped) {
#if defined(__SANITIZE_ADDRESS__)
  GTEST_SKIP() << "a second, deep-bound copy of the runtime cannot run under AddressSanitizer";
#else
  const fs::path dir = fs::temp_directory_path() / ("win32_test_registry." + std::to_string(getpid()));
  fs::create_directories(dir / "registry");
  fs::copy_file(WIN32_LIBRARY, dir / "libwin32_copy.so", fs::copy_options::overwrite_existing);
  std::ofstream(dir / "registry" / "damaged.reg")
      << "# {11111111-2222-3333-4444-000000000000} Commented.Out x.so\n"
         "{11111111-2222-3333-4444-00000000000G} Bad.Hex x.so\n"
         "{11111111-2222-3333-4444-000000000001 Bad.Brace x.so\n"
         "11111111-2222-3333-4444-000000000002 Bad.NoBraces x.so\n\n \t \n"
         "{11111111-2222-3333-4444-000000000003} Good.CrLf x.so\r\n"
         "{11111111-2222-3333-4444-000000000004}\tGood.Tab\n"
      << std::string(5000, 'x') << "\n{11111111-2222-3333-4444-000000000005} Good.LastLine";
  std::ofstream(dir / "registry" / "other.txt") << "{11111111-2222-3333-4444-000000000006} Not.A.RegFile\n";
  void* copy = dlopen((dir / "libwin32_copy.so").c_str(), RTLD_NOW | RTLD_LOCAL | RTLD_DEEPBIND);
  ASSERT_NE(copy, nullptr) << dlerror();
  const auto fromProgId = reinterpret_cast<decltype(&CLSIDFromProgID)>(dlsym(copy, "CLSIDFromProgID"));
  const auto folder = reinterpret_cast<decltype(&ComRegistryFolder)>(dlsym(copy, "ComRegistryFolder"));
  ASSERT_TRUE(fromProgId && folder);
  EXPECT_EQ(fs::path(folder()), fs::canonical(dir) / "registry");
  const std::pair<const char16_t*, int> lookups[] = {  // ProgID, last byte of its CLSID or 0 for none
      {u"Commented.Out", 0}, {u"Bad.Hex", 0},  {u"Bad.Brace", 0},     {u"Bad.NoBraces", 0},
      {u"Good.CrLf", 3},     {u"good.tab", 4}, {u"Good.LastLine", 5}, {u"Not.A.RegFile", 0}};
  for (const auto& [progId, last] : lookups) {
    CLSID clsid = CLSID_NULL;
    EXPECT_EQ(fromProgId(progId, &clsid), last ? S_OK : CO_E_CLASSSTRING);
    EXPECT_EQ(clsid.Data4[7], last);
  }
  dlclose(copy);
  fs::remove_all(dir);
#endif
}

}  // namespace
