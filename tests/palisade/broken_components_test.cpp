// Components that are registered but cannot be loaded: the server file is gone, or it is a shared
// object that is no COM server. Every operation answers its failure result; none throws, and no
// list file is written.
#include "palisade/plandesk_configuration.h"
#include "palisade/silverlight_objects_management.h"
#include "palisade/wsdl_data_utils.h"

#include "com_test_support.h"
#include "hostrt32/hostrt32.h"
#include "temp_dir.h"
#include "win32/browser.h"
#include "win32/com_object.h"
#include "win32/registry.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <new>
#include <optional>
#include <string>

namespace {

using testing_support::TempDir;

const OLECHAR* const kProgIds[] = {
    OLESTR("Ostrum.Kelvane.Silverlight.SilverlightPalisades"),
    OLESTR("Ostrum.Kelvane.Silverlight.SilverlightConfigurationSettings"),
    OLESTR("Ostrum.Kelvane.Silverlight.SilverlightList"),
    OLESTR("Ostrum.Kelvane.Silverlight.SilverlightListItemRO"),
};

// The class each ProgID gets here; the browser keeps its own.
CLSID ClassOf(std::size_t i) {
  if (i == std::size(kProgIds)) return CLSID_InternetExplorer;
  return {0x7e3a0c10, 0x5b1d, 0x4c2e, {0x9a, 0x61, 0x2f, 0x0d, 0x4b, 0x8c, 0x33, static_cast<unsigned char>(i)}};
}

// Points every class the library creates at `server`.
void RegisterAllAt(const std::string& server) {
  for (std::size_t i = 0; i < std::size(kProgIds); ++i) {
    ASSERT_EQ(ComRegistryAdd(kProgIds[i], ClassOf(i), server.c_str()), S_OK);
  }
  ASSERT_EQ(ComRegistryAdd(OLESTR("InternetExplorer.Application"), CLSID_InternetExplorer, server.c_str()), S_OK);
}

// A class object that runs out of memory making anything.
class ThrowingFactory final : public win32::ComObject<ThrowingFactory, IClassFactory> {
 public:
  HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown*, REFIID, void**) override { throw std::bad_alloc(); }
  HRESULT STDMETHODCALLTYPE LockServer(BOOL) override { return S_OK; }
};

// Each class the library creates, answered by a ThrowingFactory in this apartment while it lives.
class ThrowingClasses {
 public:
  ThrowingClasses() {
    CComPtr<IUnknown> factory;
    EXPECT_EQ(ThrowingFactory::Create(IID_IUnknown, reinterpret_cast<void**>(&factory)), S_OK);
    for (std::size_t i = 0; i <= std::size(kProgIds); ++i) {
      EXPECT_EQ(CoRegisterClassObject(ClassOf(i), factory, CLSCTX_INPROC_SERVER, REGCLS_MULTIPLEUSE, &cookies_[i]), S_OK);
    }
  }
  ~ThrowingClasses() {
    for (const DWORD cookie : cookies_) CoRevokeClassObject(cookie);
  }

 private:
  DWORD cookies_[std::size(kProgIds) + 1] = {};
};

TEST(BrokenComponents, EveryOperationFailsCleanly) {
  enum class Fault { kServer, kLookUps, kThrows };
  const struct {
    const char* name;
    std::string server;
    Fault fault;
  } cases[] = {
      {"server file missing", "/nonexistent/libplandesk.so", Fault::kServer},
      {"not a COM server", NO_ENTRY_SERVER, Fault::kServer},
      {"class look-ups run out of memory", NO_ENTRY_SERVER, Fault::kLookUps},
      {"class objects throw", NO_ENTRY_SERVER, Fault::kThrows},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    RegisterAllAt(c.server);
    TempDir dir;
    std::filesystem::create_directories(dir.path() / "bin");
    dir.Write("dat/silverlight_ro.ini", "[GENERAL]\r\nAutoDetectMode=Yes\r\n[SilverlightList/Known]\r\nWsdlUrl=u\r\n");
    dir.Write("script/failed_wsdl_info.ini", "[SilverlightList/ep]\r\nWsdlUrl=u\r\n");
    dir.Write("script/WSDL/web_services.ini", "[SilverlightList/ep]\r\nWsdlUrl=u\r\n");
    os_set_module_dir_name((dir.str() + "/bin").c_str());
    const std::string script = dir.str() + "/script";
    const std::string before = testing_support::ReadFile(script + "/failed_wsdl_info.ini");
    {
      Apartment apartment;
      std::optional<ThrowingClasses> throwing;
      if (c.fault == Fault::kThrows) throwing.emplace();
      if (c.fault == Fault::kLookUps) ComDiagFailClassLookups(1000);
      PlanDeskConfiguration configuration;
      OsStrBin body;
      const char xml[] = "<s:Envelope xmlns:s='http://www.w3.org/2003/05/soap-envelope'><s:Body/></s:Envelope>";
      xfvOsStrConstructFromBytes(&body, xml, sizeof xml - 1);
      std::string file;
      EXPECT_FALSE(configuration.UpdateServiceConfiguration("Svc", "Port", script, "Content-Type: text/xml", body,
                                                            true, file));
      xfvOsStrDestruct(&body);

      SilverlightObjectsManagement lists;
      WsdlData data;
      EXPECT_FALSE(lists.GetWsdlData("Known", data));
      EXPECT_FALSE(lists.SaveWsdlData("New", "http://h/?wsdl"));
      WsdlErrorData error;
      error.endPoint = "other";
      lists.SaveErrorData(script, error);
      EXPECT_FALSE(lists.GetEntryFromErrorDataFile(script, "ep", error));
      std::string location;
      EXPECT_FALSE(lists.GetEntryFromWsdlIniFile(script, "ep", location));

      std::string page = "file:///nonexistent.html", wsdl = "left over";
      EXPECT_FALSE(WsdlDataUtils(false).ReadWsdlLink(page, wsdl));
      EXPECT_EQ(wsdl, "");
      ComDiagFailClassLookups(0);
    }
    EXPECT_FALSE(std::filesystem::exists(script + "/Svc.config"));
    EXPECT_EQ(testing_support::ReadFile(script + "/failed_wsdl_info.ini"), before);
    os_set_module_dir_name(nullptr);
    EXPECT_EQ(ComDiagLiveObjects(), 0);
    EXPECT_EQ(ComDiagLiveBstrs(), 0);
  }
}

}  // namespace
