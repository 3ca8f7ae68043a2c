// Counters and failure switches of our COM runtime, for tests (not part of the Windows API).
//
// On Windows the counters stay at zero and the switches do nothing; tests that rely on them skip.
#pragma once

#include "win32/base.h"

#if defined(_WIN32)
inline void ComDiagObjectCreated() {}
inline void ComDiagObjectDestroyed() {}
#else
extern "C" {
// Objects made through win32::ComObject that are alive now, in every component of the process.
WIN32_API long ComDiagLiveObjects();
WIN32_API void ComDiagObjectCreated();
WIN32_API void ComDiagObjectDestroyed();
// BSTRs allocated and not yet freed.
WIN32_API long ComDiagLiveBstrs();
// Makes the next `count` BSTR allocations fail (return NULL), after `skip` that succeed.
WIN32_API void ComDiagFailBstrAllocations(long skip, long count);
// The thread's COM initialisation count (0 when not in an apartment).
WIN32_API long ComDiagApartmentInits();
}
#endif
