#include "win32/module_file.h"

namespace win32 {

std::wstring ModuleFileName(HMODULE module) {
  // GetModuleFileNameW cuts the path to the buffer without saying how long it is: grow until it fits.
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    const DWORD length = GetModuleFileNameW(module, path.data(), static_cast<DWORD>(path.size()));
    if (length == 0) return {};
    if (length < path.size()) {
      path.resize(length);
      return path;
    }
    path.resize(path.size() * 2);
  }
}

}  // namespace win32
