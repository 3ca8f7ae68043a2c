// The names the library exports, demangled, as the system's loader sees them.
#pragma once

#include <string>
#include <vector>

std::vector<std::string> ExportedSymbols();
