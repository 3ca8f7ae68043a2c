// The library exports its interface and nothing else of ours.
#include "export_symbols.h"

#include <gtest/gtest.h>

#include <regex>
#include <set>
#include <string>
#include <vector>

namespace {

TEST(ExportTable, OnlyTheInterfaceIsExported) {
  const std::vector<std::string> symbols = ExportedSymbols();
  ASSERT_FALSE(symbols.empty()) << "no exported symbols found in " << PALISADE_LIBRARY;
  // The three classes whole (members, vtables, type information) and the standard library's
  // own instantiations (a function template may show its return type first), which are not ours.
  const std::regex allowed(
      R"(^((vtable for |typeinfo for |typeinfo name for )?(WsdlDataUtils|PlanDeskConfiguration|SilverlightObjectsManagement)(\b.*)?)$)"
      R"(|^(\S+ )?(std::|__gnu_cxx::|__cxx|operator (new|delete)|_init$|_fini$|_edata$|_end$|__bss_start$).*)"
      R"(|^(vtable for |typeinfo for |typeinfo name for )std::.*)"
      R"(|^CKvBaseException::.*)");
  std::vector<std::string> unexpected;
  bool sawEachClass[3] = {};
  const char* classes[] = {"WsdlDataUtils::", "PlanDeskConfiguration::", "SilverlightObjectsManagement::"};
  for (const std::string& symbol : symbols) {
    if (!std::regex_match(symbol, allowed)) unexpected.push_back(symbol);
    for (int i = 0; i < 3; ++i) sawEachClass[i] |= symbol.rfind(classes[i], 0) == 0;
  }
  EXPECT_TRUE(unexpected.empty()) << [&] {
    std::string list;
    for (const auto& s : unexpected) list += "\n  " + s;
    return "exported but not in the interface:" + list;
  }();
  for (int i = 0; i < 3; ++i) EXPECT_TRUE(sawEachClass[i]) << classes[i] << " is not exported";
}

// Every member of the interface, and no other, with the parameter types callers link against.
TEST(ExportTable, TheMembersAreExactlyTheInterfaces) {
  const std::set<std::string> expected = {
      "WsdlDataUtils::WsdlDataUtils(bool)",
      "WsdlDataUtils::WsdlDataUtils(WsdlDataUtils const&)",
      "WsdlDataUtils::operator=(WsdlDataUtils const&)",
      "WsdlDataUtils::~WsdlDataUtils()",
      "WsdlDataUtils::ReadDataFromFile()",
      "WsdlDataUtils::IsAutoDetect()",
      "WsdlDataUtils::IsGenerateWebServiceCall()",
      "WsdlDataUtils::IsImportOnlyFromList()",
      "WsdlDataUtils::ReadWsdlLink(S&, S&)",
      "WsdlDataUtils::GetGeneralOptions()",
      "PlanDeskConfiguration::PlanDeskConfiguration()",
      "PlanDeskConfiguration::PlanDeskConfiguration(PlanDeskConfiguration const&)",
      "PlanDeskConfiguration::operator=(PlanDeskConfiguration const&)",
      "PlanDeskConfiguration::~PlanDeskConfiguration()",
      "PlanDeskConfiguration::UpdateServiceConfiguration(S, S, S, S, OsStrBin, bool, S&)",
      "PlanDeskConfiguration::IsBinaryContent(S&)",
      "PlanDeskConfiguration::getAddressingVersion(OsStrBin)",
      "PlanDeskConfiguration::setAuthenticationMode(OsStrBin, SecuritySettings&)",
      "PlanDeskConfiguration::retrieveUsernameAndPassword(void*, SecuritySettings&, void*)",
      "PlanDeskConfiguration::WriteConfigurationToFile(ConfigurationTypes const&, S, S, bool, S)",
      "PlanDeskConfiguration::CreatePalisade()",
      "PlanDeskConfiguration::CreateNewItem()",
      "SilverlightObjectsManagement::SilverlightObjectsManagement()",
      "SilverlightObjectsManagement::SilverlightObjectsManagement(SilverlightObjectsManagement const&)",
      "SilverlightObjectsManagement::operator=(SilverlightObjectsManagement const&)",
      "SilverlightObjectsManagement::~SilverlightObjectsManagement()",
      "SilverlightObjectsManagement::GetWsdlData(char const*, WsdlData&)",
      "SilverlightObjectsManagement::SaveWsdlData(char const*, char const*)",
      "SilverlightObjectsManagement::SaveErrorData(S, WsdlErrorData)",
      "SilverlightObjectsManagement::GetEntryFromErrorDataFile(S, S, WsdlErrorData&)",
      "SilverlightObjectsManagement::GetEntryFromWsdlIniFile(S, S, S&)",
      "SilverlightObjectsManagement::CreateHistoryComObject()",
      "SilverlightObjectsManagement::CreateErrorComObject(S)",
      "SilverlightObjectsManagement::CreateWsdlIniComObject(S)",
      "SilverlightObjectsManagement::CreateNewItem()",
  };
  const std::regex member(R"(^(WsdlDataUtils|PlanDeskConfiguration|SilverlightObjectsManagement)::.*)");
  const std::regex string("std::__cxx11::basic_string<char, std::char_traits<char>, std::allocator<char> ?>");
  const std::regex abiTag(R"(\[abi:cxx11\])");
  std::set<std::string> exported;
  for (const std::string& symbol : ExportedSymbols()) {
    if (std::regex_match(symbol, member)) {
      exported.insert(std::regex_replace(std::regex_replace(symbol, string, "S"), abiTag, ""));
    }
  }
  for (const std::string& name : expected) EXPECT_EQ(exported.count(name), 1u) << "not exported: " << name;
  for (const std::string& name : exported) EXPECT_EQ(expected.count(name), 1u) << "not in the interface: " << name;
}

}  // namespace
