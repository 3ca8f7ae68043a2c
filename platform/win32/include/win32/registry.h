// The class registry of our COM runtime; on Windows, the system registry.
//
// At first use the runtime reads every "*.reg" file in the "registry" folder beside the library
// that holds it (the build and `cmake --install` put them there, so no environment variable is
// needed). One class per line, '#' starts a comment, lines that do not parse are skipped:
//
//     {CLSID} ProgID libserver.so        (the server's path relative to the registry folder)
//
// ProgIDs compare without case, as registry keys do. Tests add and remove entries at run time; on
// Windows those go to HKEY_CURRENT_USER\Software\Classes, which HKEY_CLASSES_ROOT shows in front of
// the machine's classes, so a test's class stands in for an installed one for this user only
// (under Wine, whose HKEY_CLASSES_ROOT shows no user's classes, to the machine's of its prefix).
#pragma once

#include "win32/base.h"

extern "C" {
// Adds or replaces the class `clsid`; `progId` (may be NULL) maps to it, `serverPath` (may be NULL)
// is its in-process server (UTF-8 on Windows). E_INVALIDARG for an empty ProgID.
WIN32_API HRESULT ComRegistryAdd(LPCOLESTR progId, REFCLSID clsid, const char* serverPath);
// Removes the class and every ProgID that maps to it; S_FALSE when it was not registered.
WIN32_API HRESULT ComRegistryRemove(REFCLSID clsid);
#if !defined(_WIN32)
// The folder the registry files are read from (NUL-terminated, owned by the runtime).
WIN32_API const char* ComRegistryFolder();
#endif
}
