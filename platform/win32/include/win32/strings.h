// Conversions between narrow text and UTF-16, and an owning BSTR holder.
//
// Both conversions raise _com_error on failure: the system error as an HRESULT, or E_OUTOFMEMORY.
#pragma once

#include "win32/comerror.h"
#include "win32/kernel.h"

#include <string>
#include <string_view>

namespace win32 {

// Narrow text in `codePage` (CP_ACP or CP_UTF8) to UTF-16.
WIN32_API OleString Widen(std::string_view text, UINT codePage = CP_ACP);
// The characters of a BSTR up to its length (embedded NULs included); empty for NULL.
WIN32_API OleStringView ToView(BSTR text) noexcept;
// UTF-16 to narrow text; in CP_ACP, characters the code page lacks become '?', never look-alikes.
WIN32_API std::string Narrow(OleStringView text, UINT codePage = CP_ACP);

// Owns one BSTR, freed once on destruction.
class Bstr {
 public:
  Bstr() noexcept = default;
  // Copies the text; raises _com_error(E_OUTOFMEMORY) when the allocation fails.
  WIN32_API explicit Bstr(OleStringView text);
  Bstr(const Bstr&) = delete;
  Bstr& operator=(const Bstr&) = delete;
  Bstr(Bstr&& other) noexcept : p_(other.Detach()) {}
  Bstr& operator=(Bstr&& other) noexcept {
    if (this != &other) Attach(other.Detach());
    return *this;
  }
  ~Bstr() { SysFreeString(p_); }

  BSTR get() const noexcept { return p_; }
  // For out-parameters: frees what is held first.
  BSTR* out() noexcept {
    Attach(nullptr);
    return &p_;
  }
  void Attach(BSTR p) noexcept {
    SysFreeString(p_);
    p_ = p;
  }
  [[nodiscard]] BSTR Detach() noexcept {
    BSTR p = p_;
    p_ = nullptr;
    return p;
  }
  OleStringView view() const noexcept { return ToView(p_); }

 private:
  BSTR p_ = nullptr;
};

}  // namespace win32
