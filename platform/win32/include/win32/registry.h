// The class registry of our COM runtime (on Windows: the system registry, HKEY_CLASSES_ROOT).
//
// At first use the runtime reads every "*.reg" file in the "registry" folder beside the library
// that holds it (the build and `cmake --install` put them there, so no environment variable is
// needed). One class per line, '#' starts a comment, lines that do not parse are skipped:
//
//     {CLSID} ProgID libserver.so        (the server's path relative to the registry folder)
//
// ProgIDs compare without case, as registry keys do. Tests add and remove entries at run time.
#pragma once

#include "win32/base.h"

#if !defined(_WIN32)
extern "C" {
// Adds or replaces the class `clsid`; `progId` (may be NULL) maps to it, `serverPath` (may be NULL)
// is its in-process server. E_INVALIDARG for an empty ProgID.
WIN32_API HRESULT ComRegistryAdd(LPCOLESTR progId, REFCLSID clsid, const char* serverPath);
// Removes the class and every ProgID that maps to it; S_FALSE when it was not registered.
WIN32_API HRESULT ComRegistryRemove(REFCLSID clsid);
// The folder the registry files are read from (NUL-terminated, owned by the runtime).
WIN32_API const char* ComRegistryFolder();
}
#endif
