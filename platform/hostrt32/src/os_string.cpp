// The counted OS strings.
#include "hostrt32/hostrt32.h"

#include "win32/kernel.h"

#include <cstdlib>
#include <cstring>
#include <limits>
#include <new>

OsStrControlInfo xtOsStrCommonEmptyStr = {0, 0, 1, {0, 0, 0, 0}};

namespace {

OsStrControlInfo* Control(const char* chars) {
  return reinterpret_cast<OsStrControlInfo*>(const_cast<char*>(chars) - offsetof(OsStrControlInfo, chars));
}

bool IsShared(const char* chars) { return chars == xtOsStrCommonEmptyStr.chars; }

char* EmptyChars() { return xtOsStrCommonEmptyStr.chars; }

void AddHolder(char* chars) {
  if (!IsShared(chars)) __atomic_add_fetch(&Control(chars)->refCount, 1, __ATOMIC_RELAXED);
}

void DropHolder(char* chars) {
  if (IsShared(chars)) return;
  OsStrControlInfo* block = Control(chars);
  if (__atomic_sub_fetch(&block->refCount, 1, __ATOMIC_ACQ_REL) == 0) std::free(block);
}

// A new string holding `size` bytes; std::bad_alloc when it cannot be had.
char* Allocate(const void* bytes, std::size_t size) {
  if (size == 0) return EmptyChars();
  constexpr std::size_t kHeader = offsetof(OsStrControlInfo, chars);
  if (size >= std::numeric_limits<std::uint32_t>::max() - kHeader) throw std::bad_alloc();
  // Rounded up, so that a handle refilled with texts of similar length keeps its block.
  const std::size_t capacity = (size + 1 + 63) & ~std::size_t(63);
  if (capacity >= std::numeric_limits<std::uint32_t>::max() - kHeader) throw std::bad_alloc();
  auto* block = static_cast<OsStrControlInfo*>(std::malloc(kHeader + capacity));
  if (block == nullptr) throw std::bad_alloc();
  block->refCount = 1;
  block->length = static_cast<std::uint32_t>(size);
  block->capacity = static_cast<std::uint32_t>(capacity);
  // The characters run past the declared chars[4]: address them from the block itself.
  char* chars = reinterpret_cast<char*>(block) + kHeader;
  std::memcpy(chars, bytes, size);
  chars[size] = 0;
  return chars;
}

}  // namespace

OsStr::OsStr() noexcept : mpchData(EmptyChars()) {}

OsStr::OsStr(const OsStr& other) noexcept : mpchData(other.mpchData) { AddHolder(mpchData); }

OsStr& OsStr::operator=(const OsStr& other) noexcept {
  AddHolder(other.mpchData);
  DropHolder(mpchData);
  mpchData = other.mpchData;
  return *this;
}

OsStr::~OsStr() { DropHolder(mpchData); }

std::size_t OsStr::GetLength() const noexcept { return Control(mpchData)->length; }

int OsStrMb::CompareNoCase(const char* mpszSrc) const noexcept {
  return lstrcmpiA(mpchData, fpszOsStrCharArrayEmptyForNull(mpszSrc));
}

void xfvOsStrConstructByStrDataIgnoringNulls(OsStr* target, const OsStr* source) {
  if (target == nullptr) return;
  char* copy = source ? Allocate(source->mpchData, source->GetLength()) : EmptyChars();
  DropHolder(target->mpchData);
  target->mpchData = copy;
}

void xfvOsStrConstructFromBytes(OsStr* target, const void* bytes, std::size_t size) {
  if (target == nullptr) return;
  // A string held by this handle alone that has room is refilled in place: a walk that fetches
  // name after name into one handle then allocates once.
  char* chars = target->mpchData;
  if (bytes && size > 0 && !IsShared(chars) && Control(chars)->refCount == 1 && size < Control(chars)->capacity) {
    std::memmove(chars, bytes, size);
    chars[size] = 0;
    Control(chars)->length = static_cast<std::uint32_t>(size);
    return;
  }
  char* copy = bytes ? Allocate(bytes, size) : EmptyChars();
  DropHolder(target->mpchData);
  target->mpchData = copy;
}

void xfvOsStrDestruct(OsStr* handle) {
  if (handle == nullptr) return;
  DropHolder(handle->mpchData);
  handle->mpchData = EmptyChars();
}

extern "C" const char* fpszOsStrCharArrayEmptyForNull(const char* mpszSrc) { return mpszSrc ? mpszSrc : ""; }
