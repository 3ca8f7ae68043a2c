// The named exports of palisade.dll, read from its PE export directory.
#pragma once

#include <windows.h>

#include <cstdlib>
#include <string>
#include <vector>

struct PeExport {
  std::string name;
  bool forwarded;  // the entry names another module's export instead of code of this one
};

// The palisade.dll the tests read: the one beside the program, loaded; or the file that
// PALISADE_EXPORTS_OF names, mapped as an image and never run, so that a 64-bit test program
// checks the 32-bit deliverable on a machine that cannot execute it.
class PalisadeImage {
 public:
  PalisadeImage() {
    const char* file = std::getenv("PALISADE_EXPORTS_OF");
    loaded_ = file == nullptr || *file == '\0';
    module_ = loaded_ ? LoadLibraryW(L"palisade.dll")
                      : LoadLibraryExA(file, nullptr, LOAD_LIBRARY_AS_IMAGE_RESOURCE | LOAD_LIBRARY_AS_DATAFILE);
  }
  ~PalisadeImage() {
    if (module_) FreeLibrary(module_);
  }
  PalisadeImage(const PalisadeImage&) = delete;
  PalisadeImage& operator=(const PalisadeImage&) = delete;

  // NULL when the module could not be had.
  const BYTE* base() const {
    // A module mapped as a resource comes with flags in its low bits.
    return module_ ? reinterpret_cast<const BYTE*>(reinterpret_cast<ULONG_PTR>(module_) & ~ULONG_PTR{3}) : nullptr;
  }
  // Loaded for running: its exports can be looked up with GetProcAddress.
  HMODULE loaded() const { return loaded_ ? module_ : nullptr; }

 private:
  HMODULE module_ = nullptr;
  bool loaded_ = true;
};

// Both image kinds: the export directory's place differs between PE32 and PE32+ headers.
inline std::vector<PeExport> PeExports(const BYTE* base) {
  std::vector<PeExport> exports;
  if (base == nullptr) return exports;
  const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
  const BYTE* nt = base + dos->e_lfanew;
  const bool pe32 = reinterpret_cast<const IMAGE_NT_HEADERS32*>(nt)->OptionalHeader.Magic == IMAGE_NT_OPTIONAL_HDR32_MAGIC;
  const IMAGE_DATA_DIRECTORY& directory =
      pe32 ? reinterpret_cast<const IMAGE_NT_HEADERS32*>(nt)->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_EXPORT]
           : reinterpret_cast<const IMAGE_NT_HEADERS64*>(nt)->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_EXPORT];
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
