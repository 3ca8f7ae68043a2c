// win32::Apartment: the calling thread's COM for as long as the holder lives.
#pragma once

#include "win32/com.h"

namespace win32 {

// Enters COM (CoInitialize(NULL), or CoInitializeEx with `model`) and balances it with
// CoUninitialize on destruction whenever it succeeded, S_FALSE included: a thread that was in the
// other apartment kind before (RPC_E_CHANGED_MODE) keeps its COM untouched. A copy enters COM
// again and balances its own; assignment changes nothing. Destroy it on the thread that made it.
class Apartment {
 public:
  Apartment() noexcept : hr_(CoInitialize(nullptr)) {}
  explicit Apartment(DWORD model) noexcept : hr_(CoInitializeEx(nullptr, model)), model_(model) {}
  Apartment(const Apartment& other) noexcept : Apartment(other.model_) {}
  Apartment& operator=(const Apartment&) noexcept { return *this; }
  ~Apartment() {
    if (SUCCEEDED(hr_)) CoUninitialize();
  }

  // What entering COM answered.
  HRESULT hr() const noexcept { return hr_; }

 private:
  HRESULT hr_;
  DWORD model_ = COINIT_APARTMENTTHREADED;
};

}  // namespace win32
