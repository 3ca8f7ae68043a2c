// The library exports its interface and nothing else of ours.
#include "export_symbols.h"

#include <gtest/gtest.h>

#include <regex>
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

}  // namespace
