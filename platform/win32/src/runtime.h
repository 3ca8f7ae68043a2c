// Internals shared by the runtime's source files.
#pragma once

#include "win32/com.h"

#include <optional>
#include <string>
#include <string_view>

namespace win32rt {

bool ParseGuid(std::u16string_view text, GUID& out);
std::u16string FormatGuid(REFGUID guid);

// Registry look-ups (registry.cpp).
std::optional<CLSID> FindProgId(std::u16string_view progId);
// The in-process server's absolute path; empty when the class has none registered.
std::string FindInprocServer(REFCLSID clsid);
bool IsClassRegistered(REFCLSID clsid);

}  // namespace win32rt
