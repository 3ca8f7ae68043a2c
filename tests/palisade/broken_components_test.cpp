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
#include "win32/registry.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

namespace {

using testing_support::TempDir;

const OLECHAR* const kProgIds[] = {
    OLESTR("Ostrum.Kelvane.Silverlight.SilverlightPalisades"),
    OLESTR("Ostrum.Kelvane.Silverlight.SilverlightConfigurationSettings"),
    OLESTR("Ostrum.Kelvane.Silverlight.SilverlightList"),
    OLESTR("Ostrum.Kelvane.Silverlight.SilverlightListItemRO"),
};

// Points every class the library creates at `server`; each ProgID gets a class of its own.
void RegisterAllAt(const std::string& server) {
  for (std::size_t i = 0; i < std::size(kProgIds); ++i) {
    CLSID clsid = {0x7e3a0c10, 0x5b1d, 0x4c2e, {0x9a, 0x61, 0x2f, 0x0d, 0x4b, 0x8c, 0x33, static_cast<unsigned char>(i)}};
    ASSERT_EQ(ComRegistryAdd(kProgIds[i], clsid, server.c_str()), S_OK);
  }
  ASSERT_EQ(ComRegistryAdd(OLESTR("InternetExplorer.Application"), CLSID_InternetExplorer, server.c_str()), S_OK);
}

TEST(BrokenComponents, EveryOperationFailsCleanly) {
  const struct {
    const char* name;
    std::string server;
  } cases[] = {
      {"server file missing", "/nonexistent/libplandesk.so"},
      {"not a COM server", NO_ENTRY_SERVER},
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
    }
    EXPECT_FALSE(std::filesystem::exists(script + "/Svc.config"));
    EXPECT_EQ(testing_support::ReadFile(script + "/failed_wsdl_info.ini"), before);
    os_set_module_dir_name(nullptr);
    EXPECT_EQ(ComDiagLiveObjects(), 0);
    EXPECT_EQ(ComDiagLiveBstrs(), 0);
  }
}

}  // namespace
