// hostrt32: the product's OS services. The module directory and the counted OS-string handles.
//
// An OS-string handle holds one pointer, to the first character of a counted string whose
// control block lies in front of the characters. A handle without a value points at the
// characters of the shared empty string xtOsStrCommonEmptyStr, which is never counted or freed.
// Strings carry their length, so they may hold NUL bytes; one NUL always follows the last
// character, so the characters can also be read as a C string.
#pragma once

#include <cstddef>
#include <cstdint>

#if defined(_WIN32)
#if defined(HOSTRT32_BUILD)
#define HOSTRT32_API __declspec(dllexport)
#else
#define HOSTRT32_API __declspec(dllimport)
#endif
#else
#define HOSTRT32_API __attribute__((visibility("default")))
#endif

// 16 bytes; the characters begin 12 bytes in (for the shared empty string, inside the block).
struct OsStrControlInfo {
  std::int32_t refCount;   // holders of this string; not used by the shared empty string
  std::uint32_t length;    // bytes, without the closing NUL
  std::uint32_t capacity;  // bytes available for characters, the closing NUL included
  char chars[4];
};
static_assert(sizeof(OsStrControlInfo) == 16, "OsStrControlInfo is 16 bytes");
static_assert(offsetof(OsStrControlInfo, chars) == 12, "characters begin 12 bytes in");

extern "C" HOSTRT32_API OsStrControlInfo xtOsStrCommonEmptyStr;

// The part both handle types share. Copies share the characters (one more holder); the last
// holder frees them.
class HOSTRT32_API OsStr {
 public:
  OsStr() noexcept;
  OsStr(const OsStr& other) noexcept;
  OsStr& operator=(const OsStr& other) noexcept;
  ~OsStr();

  const char* GetData() const noexcept { return mpchData; }
  std::size_t GetLength() const noexcept;
  bool IsEmpty() const noexcept { return GetLength() == 0; }

 protected:
  char* mpchData;
  friend HOSTRT32_API void xfvOsStrConstructByStrDataIgnoringNulls(OsStr*, const OsStr*);
  friend HOSTRT32_API void xfvOsStrConstructFromBytes(OsStr*, const void*, std::size_t);
  friend HOSTRT32_API void xfvOsStrDestruct(OsStr*);
};

// A string of bytes that may hold NULs (a message body).
class HOSTRT32_API OsStrBin : public OsStr {};

// A multibyte text in the ANSI code page.
class HOSTRT32_API OsStrMb : public OsStr {
 public:
  // lstrcmpiA of the characters with `mpszSrc` (NULL counts as ""): 0 for equal texts.
  int CompareNoCase(const char* mpszSrc) const noexcept;
};

// Gives `target` its own copy of all of `source`'s characters, NUL bytes included; what the
// target held before is released. Raises std::bad_alloc when memory runs out.
HOSTRT32_API void xfvOsStrConstructByStrDataIgnoringNulls(OsStr* target, const OsStr* source);
// Gives `target` a copy of `size` bytes (callers make an OsStrBin from a body this way).
HOSTRT32_API void xfvOsStrConstructFromBytes(OsStr* target, const void* bytes, std::size_t size);
// Releases the handle's string; the handle then holds the shared empty string.
HOSTRT32_API void xfvOsStrDestruct(OsStr* handle);

extern "C" {
// `mpszSrc` itself, or "" when it is NULL.
HOSTRT32_API const char* fpszOsStrCharArrayEmptyForNull(const char* mpszSrc);

// Writes the module directory, NUL-terminated and without a closing separator, into the caller's
// 260-byte buffer and returns the buffer; NULL when the directory cannot be determined or does
// not fit. It is the running executable's directory unless os_set_module_dir_name set another.
HOSTRT32_API char* os_get_module_dir_name(char* mpszBuffer);
// Sets the directory that os_get_module_dir_name reports (NULL: back to the executable's).
HOSTRT32_API void os_set_module_dir_name(const char* mpszDirectory);
}

// The size of the buffers that hold paths (MAX_PATH).
inline constexpr std::size_t kOsMaxPath = 260;
