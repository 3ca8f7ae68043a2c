// The library exports its interface and nothing else of ours.
#include <gtest/gtest.h>

#include <cstdio>
#include <regex>
#include <string>
#include <vector>

namespace {

std::vector<std::string> DynamicSymbols() {
  std::vector<std::string> symbols;
  const std::string command = std::string("nm -D --defined-only -C '") + PALISADE_LIBRARY + "' 2>/dev/null";
  FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return symbols;
  char line[4096];
  while (std::fgets(line, sizeof line, pipe)) {
    std::string text(line);
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
    // "<address> <type> <name>"
    const std::size_t first = text.find(' ');
    const std::size_t second = first == std::string::npos ? first : text.find(' ', first + 1);
    if (second != std::string::npos) symbols.push_back(text.substr(second + 1));
  }
  pclose(pipe);
  return symbols;
}

TEST(ExportTable, OnlyTheInterfaceIsExported) {
  const std::vector<std::string> symbols = DynamicSymbols();
  ASSERT_FALSE(symbols.empty()) << "nm found no symbols in " << PALISADE_LIBRARY;
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
