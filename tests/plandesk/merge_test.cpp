// Updating an existing configuration: one binding changes, everything else in the file stays.
#include "plandesk_test_support.h"

namespace plandesk_test {
namespace {

namespace fs = std::filesystem;

class PlanDeskMerge : public PlanDeskTest {
 protected:
  StoreCall StorePort(const Values& values, win32::OleStringView port) {
    return Store(values, OLESTR("Calculator"), folder_.string(), 1, port);
  }
  const Values secured_{OLESTR("binaryMessageEncoding"),
                        OLESTR("KvHttpEngineTransport"),
                        OLESTR(""),
                        OLESTR("UserNameOverTransport"),
                        OLESTR("bob"),
                        OLESTR("hunter2")};
  const Values plain_{OLESTR("textMessageEncoding"),
                      OLESTR("KvHttpEngineTransport"),
                      OLESTR("None"),
                      OLESTR(""),
                      OLESTR(""),
                      OLESTR("")};
};

TEST_F(PlanDeskMerge, AnotherPortAddsItsBindingBesideTheOthers) {
  ASSERT_EQ(StorePort(secured_, OLESTR("PortA")).result, VARIANT_TRUE);
  ASSERT_EQ(StorePort(plain_, OLESTR("PortB")).result, VARIANT_TRUE);
  EXPECT_EQ(ReadBinding(ConfigFile(OLESTR("Calculator")), "PortA").values, secured_);
  EXPECT_EQ(ReadBinding(ConfigFile(OLESTR("Calculator")), "PortB").values, plain_);

  pugi::xml_document document;
  ASSERT_TRUE(document.load_file(ConfigFile(OLESTR("Calculator")).c_str()));
  const auto bindings = document.select_nodes("/configuration/system.serviceModel/bindings/customBinding/binding");
  ASSERT_EQ(bindings.size(), 2u);
  EXPECT_STREQ(bindings[0].node().attribute("name").value(), "PortA");
  EXPECT_STREQ(bindings[1].node().attribute("name").value(), "PortB");
}

TEST_F(PlanDeskMerge, SamePortReplacesItsBindingAndDropsOldCredentials) {
  ASSERT_EQ(StorePort(secured_, OLESTR("PortA")).result, VARIANT_TRUE);
  ASSERT_EQ(StorePort(plain_, OLESTR("PortA")).result, VARIANT_TRUE);
  const StoredBinding stored = ReadBinding(ConfigFile(OLESTR("Calculator")), "PortA");
  EXPECT_EQ(stored.values, plain_);
  EXPECT_FALSE(stored.hasSecurity);
  EXPECT_EQ(testing_support::ReadFile(ConfigFile(OLESTR("Calculator"))).find("hunter2"), std::string::npos);

  pugi::xml_document document;
  ASSERT_TRUE(document.load_file(ConfigFile(OLESTR("Calculator")).c_str()));
  EXPECT_EQ(document.select_nodes("//binding").size(), 1u);
  EXPECT_EQ(document.select_nodes("//binding/*").size(), 2u) << "encoding and transport, nothing stale";
}

TEST_F(PlanDeskMerge, ForeignContentOfTheFileIsKept) {
  WriteFileBytes(ConfigFile(OLESTR("Calculator")), R"(<?xml version="1.0" standalone="yes"?>
<!-- kept: a comment before the root -->
<?editor layout="wide"?>
<configuration owner="ops">
  <appSettings><add key="retries" value="3"/></appSettings>
  <system.serviceModel>
    <client><endpoint address="http://example.test/calc" binding="customBinding" bindingConfiguration="PortA"/></client>
    <bindings>
      <basicHttpBinding><binding name="PortA"/></basicHttpBinding>
      <customBinding>
        <binding name="Other"><textMessageEncoding/><httpTransport/></binding>
        <binding name="PortA" closeTimeout="00:01:00">
          <!-- kept: a note inside the binding -->
          <reliableSession ordered="true"/>
          <textMessageEncoding writeEncoding="utf-8" messageVersion="Soap11"/>
          <KvHttpEngineTransport maxReceivedMessageSize="65536"/>
        </binding>
      </customBinding>
    </bindings>
  </system.serviceModel>
</configuration>
)");
  ASSERT_EQ(StorePort(secured_, OLESTR("PortA")).result, VARIANT_TRUE);
  EXPECT_EQ(ReadBinding(ConfigFile(OLESTR("Calculator")), "PortA").values, secured_);

  pugi::xml_document document;
  ASSERT_TRUE(document.load_file(ConfigFile(OLESTR("Calculator")).c_str(), pugi::parse_default | pugi::parse_comments |
                                                                               pugi::parse_declaration |
                                                                               pugi::parse_pi));
  const char* kept[] = {
      "/configuration[@owner='ops']/appSettings/add[@key='retries'][@value='3']",
      "/configuration/system.serviceModel/client/endpoint[@bindingConfiguration='PortA']",
      "//basicHttpBinding/binding[@name='PortA']",
      "//customBinding/binding[@name='Other']/textMessageEncoding",
      "//customBinding/binding[@name='Other']/httpTransport",
      "//customBinding/binding[@name='PortA'][@closeTimeout='00:01:00']/reliableSession[@ordered='true']",
      "//customBinding/binding[@name='PortA']/comment()",
      "//customBinding/binding[@name='PortA']/KvHttpEngineTransport[@maxReceivedMessageSize='65536']",
      // The encoding changed kind; what others put on its element travels with it.
      "//customBinding/binding[@name='PortA']/binaryMessageEncoding[@writeEncoding='utf-8'][@messageVersion='Soap11']",
      "/comment()",
      "/processing-instruction('editor')",
  };
  for (const char* path : kept) EXPECT_TRUE(document.select_node(path)) << path;
  EXPECT_EQ(document.select_nodes("//customBinding/binding[@name='PortA']/textMessageEncoding").size(), 0u);

  const pugi::xml_node declaration = document.first_child();
  ASSERT_EQ(declaration.type(), pugi::node_declaration);
  EXPECT_STREQ(declaration.attribute("standalone").value(), "yes");
  EXPECT_STREQ(declaration.attribute("encoding").value(), "utf-8");
  const std::string bytes = testing_support::ReadFile(ConfigFile(OLESTR("Calculator")));
  EXPECT_LT(bytes.find("encoding="), bytes.find("standalone=")) << "declaration attributes out of order";
}

TEST_F(PlanDeskMerge, EmptyOrCommentOnlyFileBecomesAConfiguration) {
  for (const char* start : {"", "<!-- notes for the script -->\n"}) {
    SCOPED_TRACE(start);
    WriteFileBytes(ConfigFile(OLESTR("Calculator")), start);
    ASSERT_EQ(StorePort(plain_, OLESTR("PortA")).result, VARIANT_TRUE);
    EXPECT_EQ(ReadBinding(ConfigFile(OLESTR("Calculator")), "PortA").values, plain_);
    EXPECT_NE(testing_support::ReadFile(ConfigFile(OLESTR("Calculator"))).find(start), std::string::npos);
  }
}

TEST_F(PlanDeskMerge, ServicesGetFilesOfTheirOwn) {
  ASSERT_EQ(Store(secured_, OLESTR("Calculator")).result, VARIANT_TRUE);
  ASSERT_EQ(Store(plain_, OLESTR("Weather")).result, VARIANT_TRUE);
  EXPECT_EQ(FolderEntries(folder_).size(), 2u);
  EXPECT_EQ(ReadBinding(ConfigFile(OLESTR("Calculator"))).values, secured_);
  EXPECT_EQ(ReadBinding(ConfigFile(OLESTR("Weather"))).values, plain_);
}

}  // namespace
}  // namespace plandesk_test
