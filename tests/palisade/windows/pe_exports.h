// The named exports of a loaded module, read from its PE export directory.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

struct PeExport {
  std::string name;
  bool forwarded;  // the entry names another module's export instead of code of this one
};

inline std::vector<PeExport> PeExports(HMODULE module) {
  std::vector<PeExport> exports;
  if (module == nullptr) return exports;
  const auto* base = reinterpret_cast<const BYTE*>(module);
  const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
  const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
  const IMAGE_DATA_DIRECTORY& directory = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_EXPORT];
  if (directory.VirtualAddress == 0) return exports;
  const auto* table = reinterpret_cast<const IMAGE_EXPORT_DIRECTORY*>(base + directory.VirtualAddress);
  const auto* names = reinterpret_cast<const DWORD*>(base + table->AddressOfNames);
  const auto* ordinals = reinterpret_cast<const WORD*>(base + table->AddressOfNameOrdinals);
  const auto* functions = reinterpret_cast<const DWORD*>(base + table->AddressOfFunctions);
  for (DWORD i = 0; i < table->NumberOfNames; ++i) {
    const DWORD target = functions[ordinals[i]];
    // A forwarder's address points into the export directory, at the text "module.name".
    const bool forwarded = target >= directory.VirtualAddress && target < directory.VirtualAddress + directory.Size;
    exports.push_back({reinterpret_cast<const char*>(base + names[i]), forwarded});
  }
  return exports;
}
