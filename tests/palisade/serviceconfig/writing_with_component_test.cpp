// PlanDeskConfiguration with the real PlanDesk component, found through the registry files the
// build writes: recorded requests end up as bindings in the script's configuration files.
#include "palisade/plandesk_configuration.h"

#include "com_test_support.h"
#include "recorded_requests.h"
#include "temp_dir.h"

#include <pugixml.hpp>

#include <filesystem>

namespace {

namespace fs = std::filesystem;

class WritingWithComponent : public ::testing::Test {
 protected:
  bool Update(PlanDeskConfiguration& configuration, const recorded::Request& request, const std::string& port,
              const std::string& folder) {
    std::string configurationFile;
    return configuration.UpdateServiceConfiguration("Calculator", port, folder, request.header, request.Body(), false,
                                                    configurationFile);
  }
  bool Update(PlanDeskConfiguration& configuration, const recorded::Request& request, const std::string& port) {
    return Update(configuration, request, port, script_.str());
  }

  // The bindings of the Calculator service's file; `loaded` false when it does not parse.
  pugi::xml_node Bindings(pugi::xml_document& document) {
    const fs::path file = script_.path() / "Calculator.config";
    EXPECT_TRUE(document.load_file(file.c_str())) << file;
    return document.child("configuration").child("system.serviceModel").child("bindings").child("customBinding");
  }

  testing_support::TempDir script_;
};

// What a binding element says, in the request's terms.
void ExpectBindingOf(pugi::xml_node binding, const recorded::Request& request) {
  ASSERT_TRUE(binding);
  const pugi::xml_node encoding = binding.child(request.messageEncoding);
  ASSERT_TRUE(encoding) << "no " << request.messageEncoding;
  EXPECT_STREQ(encoding.attribute("addressingVersion").value(), request.addressingVersion);
  EXPECT_TRUE(encoding.attribute("addressingVersion")) << "the empty addressing version is written too";
  EXPECT_TRUE(binding.child("KvHttpEngineTransport"));
  const pugi::xml_node security = binding.child("security");
  EXPECT_EQ(bool(security), *request.authenticationMode != 0);
  if (security) {
    EXPECT_STREQ(security.attribute("authenticationMode").value(), request.authenticationMode);
    EXPECT_STREQ(security.attribute("userName").value(), request.username);
    EXPECT_STREQ(security.attribute("password").value(), request.password);
  }
}

TEST_F(WritingWithComponent, UtilitiesObjectIsKeptAndSettingsObjectsAreNot) {
  if (!kComDiagnostics) GTEST_SKIP() << "Windows counts no component's objects";
  const long objects = ComDiagLiveObjects();
  {
    PlanDeskConfiguration configuration;
    EXPECT_EQ(ComDiagLiveObjects(), objects);
    ASSERT_TRUE(Update(configuration, recorded::kSecuredSoap12, "PortA"));
    EXPECT_EQ(ComDiagLiveObjects(), objects + 1);
    ASSERT_TRUE(Update(configuration, recorded::kPlainSoap11, "PortB"));
    EXPECT_EQ(ComDiagLiveObjects(), objects + 1);
  }
  EXPECT_EQ(ComDiagLiveObjects(), objects);
}

TEST_F(WritingWithComponent, PortsOfOneServiceShareOneFileAndKeepEachOther) {
  PlanDeskConfiguration configuration;
  std::vector<std::string> ports;
  for (const recorded::Request* request : recorded::kAll) {
    ports.push_back("Port" + std::to_string(ports.size() + 1));
    ASSERT_TRUE(Update(configuration, *request, ports.back())) << request->name;
  }
  EXPECT_EQ(std::distance(fs::directory_iterator(script_.path()), fs::directory_iterator()), 1);

  pugi::xml_document document;
  const pugi::xml_node bindings = Bindings(document);
  ASSERT_EQ(std::distance(bindings.begin(), bindings.end()), static_cast<std::ptrdiff_t>(std::size(recorded::kAll)));
  for (std::size_t i = 0; i < ports.size(); ++i) {
    SCOPED_TRACE(recorded::kAll[i]->name);
    ExpectBindingOf(bindings.find_child_by_attribute("binding", "name", ports[i].c_str()), *recorded::kAll[i]);
  }
}

TEST_F(WritingWithComponent, SamePortAgainReplacesItsBinding) {
  PlanDeskConfiguration configuration;
  ASSERT_TRUE(Update(configuration, recorded::kSecuredSoap12, "PortA"));
  ASSERT_TRUE(Update(configuration, recorded::kPlainSoap11, "PortA"));
  pugi::xml_document document;
  const pugi::xml_node bindings = Bindings(document);
  ASSERT_EQ(std::distance(bindings.begin(), bindings.end()), 1);
  ExpectBindingOf(bindings.child("binding"), recorded::kPlainSoap11);
  EXPECT_EQ(testing_support::ReadFile((script_.path() / "Calculator.config").string()).find("s3cret"),
            std::string::npos);
}

TEST_F(WritingWithComponent, ScriptFolderThatCannotBeUsedGivesFalse) {
  const std::string plainFile = script_.Write("plain-file", "x");
  PlanDeskConfiguration configuration;
  for (const std::string& folder : {script_.str() + "/absent", plainFile, std::string()}) {
    SCOPED_TRACE(folder);
    EXPECT_FALSE(Update(configuration, recorded::kSecuredSoap12, "PortA", folder));
  }
  EXPECT_TRUE(Update(configuration, recorded::kSecuredSoap12, "PortA")) << "the object stays usable";
}

}  // namespace
