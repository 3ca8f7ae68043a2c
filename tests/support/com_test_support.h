// Shared by the runtime's tests: balanced COM initialisation and an IUnknown that counts. That no
// test leaves anything behind, every test program's main checks (test_main.cpp).
#pragma once

#include "win32/apartment.h"
#include "win32/com.h"
#include "win32/diagnostics.h"

#include <gtest/gtest.h>

#include <thread>

// Whether the thread holds `count` COM initialisations. Windows tells no count, only whether the
// thread is in an apartment of its own, so that is what is checked there.
inline ::testing::AssertionResult HoldsComInits(long count) {
  if (kComDiagnostics) {
    const long actual = ComDiagApartmentInits();
    if (actual == count) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << actual << " COM initialisations, not " << count;
  }
#if defined(_WIN32)
  APTTYPE type{};
  APTTYPEQUALIFIER qualifier{};
  const bool inApartment = CoGetApartmentType(&type, &qualifier) == S_OK && qualifier != APTTYPEQUALIFIER_IMPLICIT_MTA;
  if (inApartment == (count > 0)) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << (inApartment ? "in" : "not in") << " an apartment, " << count
                                       << " initialisations expected";
#else
  return ::testing::AssertionFailure() << "no way to count COM initialisations";
#endif
}

using win32::Apartment;

// Never deletes itself, so references can be checked exactly.
struct CountingUnknown : IUnknown {
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
    *ppv = riid == IID_IUnknown ? this : nullptr;
    return *ppv ? (AddRef(), S_OK) : E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++addRefs, ++refs; }
  ULONG STDMETHODCALLTYPE Release() override { return ++releases, --refs; }
  ULONG refs = 1;
  int addRefs = 0, releases = 0;
};

inline ULONG RefCount(IUnknown* object) {
  object->AddRef();
  return object->Release();
}

template <class F>
void OnOtherThread(F&& body) {
  std::thread(std::forward<F>(body)).join();
}

// A value no call should leave in an out-parameter.
inline void* const kSentinel = reinterpret_cast<void*>(0x5A5A5A5A);
