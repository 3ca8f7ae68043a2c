#include "browser/com_support.h"

#include "win32/strings.h"

namespace browser {

HRESULT Fail(HRESULT hr, REFIID iid, std::string_view reason) noexcept {
  try {
    return win32::ReportError(hr, iid, kProgId, win32::Widen(reason, CP_UTF8));
  } catch (...) {
    return hr;  // no memory left to describe it: the code alone must do
  }
}

HRESULT CopyOut(const std::u16string& text, BSTR* out) noexcept {
  if (out == nullptr) return E_POINTER;
  *out = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
  return *out ? S_OK : E_OUTOFMEMORY;
}

}  // namespace browser
