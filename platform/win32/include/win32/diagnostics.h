// Counters and failure switches of our COM runtime, for tests (not part of the Windows API).
//
// On Windows the counters stay at zero and the switches do nothing; tests that rely on them look at
// kComDiagnostics and skip.
#pragma once

#include "win32/base.h"

#if defined(_WIN32)
#include <atomic>

inline constexpr bool kComDiagnostics = false;
inline long ComDiagLiveObjects() { return 0; }
inline long ComDiagLiveBstrs() { return 0; }
inline void ComDiagFailBstrAllocations(long, long) {}
inline void ComDiagFailClassLookups(long) {}
inline long ComDiagApartmentInits() { return 0; }

namespace win32 {
// Whether the process runs on Wine's COM, which departs from Windows in a few known places (tests
// name each where they meet it).
inline bool RunsUnderWine() {
  const HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
  return ntdll != nullptr && GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

// What keeps an in-process server loaded: its live objects and its LockServer(TRUE) calls. An
// inline variable is not shared between DLLs, so each server counts its own (DllCanUnloadNow).
inline std::atomic<long> g_moduleReferences{0};
}  // namespace win32
inline void ComDiagObjectCreated() { ++win32::g_moduleReferences; }
inline void ComDiagObjectDestroyed() { --win32::g_moduleReferences; }
inline void ComModuleLock(bool lock) { lock ? ++win32::g_moduleReferences : --win32::g_moduleReferences; }
#else
inline constexpr bool kComDiagnostics = true;
namespace win32 {
inline bool RunsUnderWine() { return false; }
}  // namespace win32
// The runtime never unloads a server, so nothing needs to keep one loaded.
inline void ComModuleLock(bool) {}
extern "C" {
// Objects made through win32::ComObject that are alive now, in every component of the process.
WIN32_API long ComDiagLiveObjects();
WIN32_API void ComDiagObjectCreated();
WIN32_API void ComDiagObjectDestroyed();
// BSTRs allocated and not yet freed.
WIN32_API long ComDiagLiveBstrs();
// Makes the next `count` BSTR allocations fail (return NULL), after `skip` that succeed.
WIN32_API void ComDiagFailBstrAllocations(long skip, long count);
// Makes the next `count` look-ups of a class (by ProgID or CLSID) run out of memory.
WIN32_API void ComDiagFailClassLookups(long count);
// The thread's COM initialisation count (0 when not in an apartment).
WIN32_API long ComDiagApartmentInits();
}
#endif
