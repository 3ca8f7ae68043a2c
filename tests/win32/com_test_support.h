// What every test of the runtime shares: a fixture proving nothing leaked, balanced COM
// initialisation, and a counting IUnknown.
#pragma once

#include "win32/com.h"
#include "win32/diagnostics.h"

#include <gtest/gtest.h>

#include <thread>

// Fails a test that leaves objects, BSTRs or COM initialisations behind.
class ComTest : public ::testing::Test {
 protected:
  void SetUp() override {
    objects_ = ComDiagLiveObjects();
    bstrs_ = ComDiagLiveBstrs();
    inits_ = ComDiagApartmentInits();
  }
  void TearDown() override {
    EXPECT_EQ(ComDiagLiveObjects(), objects_) << "COM objects leaked";
    EXPECT_EQ(ComDiagLiveBstrs(), bstrs_) << "BSTRs leaked";
    EXPECT_EQ(ComDiagApartmentInits(), inits_) << "CoInitialize not balanced";
  }

 private:
  long objects_ = 0, bstrs_ = 0, inits_ = 0;
};

// One initialisation of the thread's COM, balanced on destruction when it succeeded (S_FALSE too).
class Apartment {
 public:
  explicit Apartment(DWORD model = COINIT_APARTMENTTHREADED) : hr_(CoInitializeEx(nullptr, model)) {}
  Apartment(const Apartment&) = delete;
  Apartment& operator=(const Apartment&) = delete;
  ~Apartment() {
    if (SUCCEEDED(hr_)) CoUninitialize();
  }
  HRESULT hr() const { return hr_; }

 private:
  HRESULT hr_;
};

// Counts every call and never deletes itself, so tests can check references exactly.
struct CountingUnknown : IUnknown {
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
    ++queries;
    *ppv = riid == IID_IUnknown ? this : nullptr;
    if (*ppv == nullptr) return E_NOINTERFACE;
    AddRef();
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override {
    ++addRefs;
    return ++refs;
  }
  ULONG STDMETHODCALLTYPE Release() override {
    ++releases;
    return --refs;
  }
  ULONG refs = 1;
  int addRefs = 0, releases = 0, queries = 0;
};

// The current reference count of a COM object, left unchanged.
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
