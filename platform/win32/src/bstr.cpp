// BSTR and VARIANT, and the runtime's diagnostic counters.
#include "win32/com.h"
#include "win32/diagnostics.h"

#include <atomic>
#include <cstdlib>
#include <limits>

namespace {

std::atomic<long> g_liveBstrs{0};
std::atomic<long> g_liveObjects{0};
std::atomic<long> g_allocSkip{0};
std::atomic<long> g_allocFailures{0};

bool InjectedFailure() {
  if (g_allocFailures.load() <= 0) return false;
  if (g_allocSkip.load() > 0) {
    --g_allocSkip;
    return false;
  }
  return --g_allocFailures >= 0;
}

// Layout as on Windows: a 32-bit byte count, then the characters, then one NUL character.
BSTR AllocateBytes(const void* data, UINT byteLength) {
  constexpr std::size_t kMax = std::numeric_limits<std::uint32_t>::max() - sizeof(std::uint32_t) - 2 * sizeof(OLECHAR);
  if (byteLength > kMax / 2 || InjectedFailure()) return nullptr;
  auto* block = static_cast<unsigned char*>(std::malloc(sizeof(std::uint32_t) + byteLength + sizeof(OLECHAR) + 1));
  if (block == nullptr) return nullptr;
  const std::uint32_t prefix = byteLength;
  std::memcpy(block, &prefix, sizeof prefix);
  unsigned char* chars = block + sizeof prefix;
  if (data) {
    std::memcpy(chars, data, byteLength);
  } else {
    std::memset(chars, 0, byteLength);
  }
  // Zeroes through the next whole character, so that an odd byte length too ends in a NUL OLECHAR.
  std::memset(chars + byteLength, 0, sizeof(OLECHAR) + 1);
  ++g_liveBstrs;
  return reinterpret_cast<BSTR>(chars);
}

std::uint32_t Prefix(BSTR text) {
  std::uint32_t prefix;
  std::memcpy(&prefix, reinterpret_cast<const unsigned char*>(text) - sizeof prefix, sizeof prefix);
  return prefix;
}

}  // namespace

extern "C" BSTR WINAPI SysAllocString(const OLECHAR* text) {
  if (text == nullptr) return nullptr;
  UINT length = 0;
  while (text[length] != 0) ++length;
  return SysAllocStringLen(text, length);
}

extern "C" BSTR WINAPI SysAllocStringLen(const OLECHAR* text, UINT length) {
  if (length > std::numeric_limits<UINT>::max() / sizeof(OLECHAR)) return nullptr;
  return AllocateBytes(text, static_cast<UINT>(length * sizeof(OLECHAR)));
}

extern "C" BSTR WINAPI SysAllocStringByteLen(const char* bytes, UINT length) { return AllocateBytes(bytes, length); }

extern "C" void WINAPI SysFreeString(BSTR text) {
  if (text == nullptr) return;
  --g_liveBstrs;
  std::free(reinterpret_cast<unsigned char*>(text) - sizeof(std::uint32_t));
}

extern "C" UINT WINAPI SysStringLen(BSTR text) { return text ? Prefix(text) / sizeof(OLECHAR) : 0; }
extern "C" UINT WINAPI SysStringByteLen(BSTR text) { return text ? Prefix(text) : 0; }

extern "C" void WINAPI VariantInit(VARIANTARG* v) {
  if (v == nullptr) return;
  v->vt = VT_EMPTY;
  v->wReserved1 = v->wReserved2 = v->wReserved3 = 0;
}

extern "C" HRESULT WINAPI VariantClear(VARIANTARG* v) {
  if (v == nullptr) return E_INVALIDARG;
  const VARTYPE type = v->vt & VT_TYPEMASK;
  // As Windows: VT_DECIMAL (14) is valid, 15 is not, nor is a reference to EMPTY or NULL.
  if ((v->vt & ~(VT_TYPEMASK | VT_BYREF)) != 0 || type > VT_UINT || type == 15 ||
      ((v->vt & VT_BYREF) != 0 && type <= VT_NULL)) {
    return DISP_E_BADVARTYPE;
  }
  if ((v->vt & VT_BYREF) == 0) {
    if (v->vt == VT_BSTR) {
      SysFreeString(v->bstrVal);
    } else if ((v->vt == VT_UNKNOWN || v->vt == VT_DISPATCH) && v->punkVal) {
      v->punkVal->Release();
    }
  }
  v->vt = VT_EMPTY;
  return S_OK;
}

extern "C" long ComDiagLiveBstrs() { return g_liveBstrs.load(); }
extern "C" long ComDiagLiveObjects() { return g_liveObjects.load(); }
extern "C" void ComDiagObjectCreated() { ++g_liveObjects; }
extern "C" void ComDiagObjectDestroyed() { --g_liveObjects; }
extern "C" void ComDiagFailBstrAllocations(long skip, long count) {
  g_allocSkip = skip;
  g_allocFailures = count;
}
