#include "browser/com_support.h"

namespace browser {

HRESULT CopyOut(const std::u16string& text, BSTR* out) noexcept {
  return win32::RunMethod(kElementSource, [&] {
    if (out == nullptr) return E_POINTER;
    *out = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
    return *out ? S_OK : E_OUTOFMEMORY;
  });
}

}  // namespace browser
