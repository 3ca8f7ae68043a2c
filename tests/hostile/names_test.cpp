// Service, port and endpoint names an attacker would choose: whatever they hold, a configuration
// lands in the script folder or nowhere, and a list entry is kept and found under exactly its name.
#include "palisade/plandesk_configuration.h"
#include "palisade/silverlight_objects_management.h"

#include "temp_dir.h"
#include "win32/diagnostics.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <string>

namespace fs = std::filesystem;

namespace {

const char kHeader[] = "POST /svc HTTP/1.1\r\nContent-Type: application/soap+xml";
const char kBody[] = "<s:Envelope xmlns:s='http://www.w3.org/2003/05/soap-envelope'><s:Body/></s:Envelope>";

std::set<std::string> Entries(const fs::path& root) {
  std::set<std::string> entries;
  for (const auto& entry : fs::recursive_directory_iterator(root)) entries.insert(fs::relative(entry, root).string());
  return entries;
}

const std::string kHostileNames[] = {
    "../../outside",
    "..",
    ".",
    "a/b\\c",
    "/etc/passwd",
    "C:\\Windows\\win.ini",
    std::string("nul\0after", 9),
    "bell\a tab\t newline\n",
    "CON",
    "com1.txt",
    "quote\" star* question? pipe| colon: lt< gt>",
    " .trailing. ",
    "J\xF6rg \x80 \xFF",
    std::string(10000, 'n'),
    "",
};

TEST(HostileNames, ConfigurationsStayInTheScriptFolder) {
  testing_support::TempDir dir;
  const fs::path script = dir.path() / "script";
  fs::create_directories(script);
  dir.Write("outside/keep.txt", "keep");
  const std::set<std::string> outsideBefore = Entries(dir.path() / "outside");

  PlanDeskConfiguration configuration;
  OsStrBin body;
  xfvOsStrConstructFromBytes(&body, kBody, sizeof kBody - 1);
  int stored = 0;
  for (const std::string& service : kHostileNames) {
    for (const std::string& port : {std::string("Port"), service}) {
      std::string unused;
      stored += configuration.UpdateServiceConfiguration(service, port, script.string(), kHeader, body, true, unused);
    }
  }
  EXPECT_GT(stored, 0);
  for (const std::string& entry : Entries(script)) {
    EXPECT_EQ(entry.find('/'), std::string::npos) << "no folders made: " << entry;
    EXPECT_LE(entry.size(), 160u) << entry;
  }
  EXPECT_EQ(Entries(dir.path() / "outside"), outsideBefore);
  EXPECT_EQ(Entries(dir.path()).count("script"), 1u);
  EXPECT_EQ(Entries(dir.path()).size(), Entries(script).size() + Entries(dir.path() / "outside").size() + 2)
      << "nothing written beside the script folder";
}

TEST(HostileNames, ListEntriesAreKeptUnderExactlyTheirName) {
  testing_support::TempDir dir;
  {
    SilverlightObjectsManagement writer;
    for (const std::string& endPoint : kHostileNames) {
      WsdlErrorData entry;
      entry.endPoint = endPoint;
      entry.wsdlUrl = "wsdl of " + endPoint;
      entry.errorText = "text of " + endPoint;
      writer.SaveErrorData(dir.str(), entry);
    }
  }
  SilverlightObjectsManagement reader;
  for (const std::string& endPoint : kHostileNames) {
    // The library takes names as NUL-terminated texts: what follows a NUL is not part of one.
    const std::string name = endPoint.c_str();
    WsdlErrorData found;
    ASSERT_TRUE(reader.GetEntryFromErrorDataFile(dir.str(), name, found)) << name;
    EXPECT_EQ(found.endPoint, name);
    EXPECT_EQ(found.errorText, "text of " + name);
  }
  EXPECT_EQ(Entries(dir.path()), std::set<std::string>{"failed_wsdl_info.ini"});
}

}  // namespace
