#include "executable_dir.h"

#include "win32/kernel.h"
#include "win32/module_file.h"

namespace hostrt::detail {

std::string ExecutableDirectory() {
  std::wstring path = win32::ModuleFileName(nullptr);
  const std::size_t separator = path.find_last_of(L"\\/");
  if (separator == std::wstring::npos) return {};
  path.resize(separator);
  // Callers form ANSI paths from it: a folder the code page cannot write would come out as
  // another folder's name, so it is not given at all.
  BOOL lossy = FALSE;
  const int size = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, path.data(), static_cast<int>(path.size()),
                                       nullptr, 0, nullptr, &lossy);
  if (size <= 0 || lossy) return {};
  std::string ansi(static_cast<std::size_t>(size), '\0');
  WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, path.data(), static_cast<int>(path.size()), ansi.data(), size,
                      nullptr, nullptr);
  return ansi;
}

}  // namespace hostrt::detail
