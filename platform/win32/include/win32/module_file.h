// The full path of a loaded module, however long (Windows only).
#pragma once

#if defined(_WIN32)
#include "win32/base.h"

#include <string>

namespace win32 {

// The path of `module` (nullptr: the process's executable); empty when the system cannot tell.
std::wstring ModuleFileName(HMODULE module);

}  // namespace win32
#endif  // _WIN32
