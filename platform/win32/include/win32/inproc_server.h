// Registration of an in-process server of ours in the Windows registry (DllRegisterServer and
// DllUnregisterServer), and its answer to DllCanUnloadNow. Elsewhere the build writes the
// registration files of win32/registry.h and servers stay loaded.
#pragma once

#include "win32/diagnostics.h"

#include <cstddef>

// The entry points a server exports (DllGetClassObject and, on Windows, the registration ones).
#if defined(_WIN32)
#define WIN32_SERVER_EXPORT __declspec(dllexport)
#else
#define WIN32_SERVER_EXPORT __attribute__((visibility("default")))
#endif

#if defined(_WIN32)
namespace win32 {

struct ServerClass {
  const OLECHAR* clsid;  // braced: {xxxxxxxx-xxxx-xxxx-xxxx-xxxxxxxxxxxx}
  const OLECHAR* progId;
};

// Enters each class under HKEY_CLASSES_ROOT with the calling DLL as its in-process server
// (threading model "Apartment": objects take no locks) and its ProgID mapping to it.
HRESULT RegisterServerClasses(const ServerClass* classes, std::size_t count) noexcept;
// Removes the entries that RegisterServerClasses made for the calling DLL; entries that another
// server has taken over since are left alone.
HRESULT UnregisterServerClasses(const ServerClass* classes, std::size_t count) noexcept;

// S_OK when no object of the calling DLL is alive and no LockServer(TRUE) holds it.
inline HRESULT CanUnloadServer() noexcept { return g_moduleReferences == 0 ? S_OK : S_FALSE; }

}  // namespace win32
#endif  // _WIN32
