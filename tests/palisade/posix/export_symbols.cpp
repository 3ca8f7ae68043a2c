// The dynamic symbol table, as nm reads it.
#include "export_symbols.h"

#include <cstdio>

std::vector<std::string> ExportedSymbols() {
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
