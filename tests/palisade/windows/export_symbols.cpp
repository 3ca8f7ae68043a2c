// The export directory of palisade.dll.
#include "export_symbols.h"
#include "pe_exports.h"

#include <cxxabi.h>

#include <cstdlib>

std::vector<std::string> ExportedSymbols() {
  std::vector<std::string> symbols;
  // Loaded by name: a test that calls nothing of it does not import it.
  const PalisadeImage palisade;
  for (const PeExport& entry : PeExports(palisade.base())) {
    int status = -1;
    char* demangled = abi::__cxa_demangle(entry.name.c_str(), nullptr, nullptr, &status);
    symbols.push_back(status == 0 && demangled ? demangled : entry.name);
    std::free(demangled);
  }
  return symbols;
}
