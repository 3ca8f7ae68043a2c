// Basic Win32 types, result codes and GUIDs.
//
// On Windows this is the system's own <windows.h>. Elsewhere it is our subset with the same names,
// sizes and values, so that one code base builds on both. Widths are pinned: on LP64 Linux `long`
// is 64 bits, and an HRESULT held in one would make FAILED(0x80004005) false.
//
// OLECHAR is a UTF-16 code unit on both: wchar_t on Windows, char16_t here. Code that holds COM
// text uses win32::OleString / OleStringView and OLESTR("...") literals, never the bare types.
#pragma once

#include <string>
#include <string_view>

#if defined(_WIN32)
#include <windows.h>
#include <objbase.h>
// Our helpers are linked in statically on Windows; the system's own functions need no marking.
#define WIN32_API
#else

#include <cstddef>
#include <cstdint>
#include <cstring>

#if defined(WIN32_RUNTIME_BUILD)
#define WIN32_API __attribute__((visibility("default")))
#else
#define WIN32_API
#endif
#define WINAPI
#define STDMETHODCALLTYPE
#define STDAPI extern "C" WIN32_API HRESULT

using HRESULT = std::int32_t;
using LONG = std::int32_t;
using ULONG = std::uint32_t;
using DWORD = std::uint32_t;
using UINT = std::uint32_t;
using INT = std::int32_t;
using BOOL = std::int32_t;
using WORD = std::uint16_t;
using USHORT = std::uint16_t;
using SHORT = std::int16_t;
using BYTE = std::uint8_t;
using LCID = DWORD;
using DISPID = LONG;
using LPBOOL = BOOL*;
using CHAR = char;
using LPSTR = char*;
using LPCSTR = const char*;
using LPCCH = const char*;
using WCHAR = char16_t;  // UTF-16 code unit, as on Windows
using OLECHAR = WCHAR;
using LPWSTR = WCHAR*;
using LPCWSTR = const WCHAR*;
using LPCWCH = const WCHAR*;
using LPOLESTR = OLECHAR*;
using LPCOLESTR = const OLECHAR*;
using BSTR = OLECHAR*;
#define OLESTR(text) u##text
using VARIANT_BOOL = SHORT;
using VARTYPE = USHORT;

static_assert(sizeof(HRESULT) == 4 && sizeof(ULONG) == 4 && sizeof(DWORD) == 4, "Win32 widths");
static_assert(sizeof(OLECHAR) == 2, "OLECHAR is a UTF-16 code unit");

#ifndef TRUE
#define TRUE 1
#define FALSE 0
#endif
#define VARIANT_TRUE (static_cast<VARIANT_BOOL>(-1))
#define VARIANT_FALSE (static_cast<VARIANT_BOOL>(0))

#define SUCCEEDED(hr) (static_cast<HRESULT>(hr) >= 0)
#define FAILED(hr) (static_cast<HRESULT>(hr) < 0)
#define HRESULT_CODE(hr) ((hr) & 0xFFFF)
#define FACILITY_WIN32 7
inline constexpr HRESULT HRESULT_FROM_WIN32(DWORD error) {
  return static_cast<int32_t>(error) <= 0
             ? static_cast<HRESULT>(error)
             : static_cast<HRESULT>((error & 0x0000FFFFu) | (FACILITY_WIN32 << 16) | 0x80000000u);
}

#define PL_HR(value) (static_cast<HRESULT>(static_cast<std::uint32_t>(value)))
#define S_OK PL_HR(0x00000000)
#define S_FALSE PL_HR(0x00000001)
#define E_NOTIMPL PL_HR(0x80004001)
#define E_NOINTERFACE PL_HR(0x80004002)
#define E_POINTER PL_HR(0x80004003)
#define E_ABORT PL_HR(0x80004004)
#define E_FAIL PL_HR(0x80004005)
#define E_UNEXPECTED PL_HR(0x8000FFFF)
#define E_ACCESSDENIED PL_HR(0x80070005)
#define E_OUTOFMEMORY PL_HR(0x8007000E)
#define E_INVALIDARG PL_HR(0x80070057)
#define RPC_E_DISCONNECTED PL_HR(0x80010108)
#define RPC_E_CHANGED_MODE PL_HR(0x80010106)
#define RPC_E_WRONG_THREAD PL_HR(0x8001010E)
#define DISP_E_BADVARTYPE PL_HR(0x80020008)
#define CLASS_E_NOAGGREGATION PL_HR(0x80040110)
#define CLASS_E_CLASSNOTAVAILABLE PL_HR(0x80040111)
#define REGDB_E_CLASSNOTREG PL_HR(0x80040154)
#define CO_E_NOTINITIALIZED PL_HR(0x800401F0)
#define CO_E_CLASSSTRING PL_HR(0x800401F3)
#define CO_E_DLLNOTFOUND PL_HR(0x800401F8)
#define CO_E_OBJISREG PL_HR(0x800401FC)
#define CO_E_SERVER_EXEC_FAILURE PL_HR(0x80080005)

#define ERROR_SUCCESS 0u
#define ERROR_FILE_NOT_FOUND 2u
#define ERROR_PATH_NOT_FOUND 3u
#define ERROR_ACCESS_DENIED 5u
#define ERROR_INVALID_DATA 13u
#define ERROR_WRITE_FAULT 29u
#define ERROR_READ_FAULT 30u
#define ERROR_INVALID_PARAMETER 87u
#define ERROR_INSUFFICIENT_BUFFER 122u
#define ERROR_ALREADY_EXISTS 183u
#define ERROR_FILE_TOO_LARGE 223u
#define ERROR_INVALID_FLAGS 1004u
#define ERROR_NO_UNICODE_TRANSLATION 1113u
#define ERROR_NOT_FOUND 1168u
#define ERROR_DIRECTORY 267u

struct GUID {
  std::uint32_t Data1;
  std::uint16_t Data2;
  std::uint16_t Data3;
  std::uint8_t Data4[8];
};
using IID = GUID;
using CLSID = GUID;
using REFGUID = const GUID&;
using REFIID = const IID&;
using REFCLSID = const CLSID&;
using LPCLSID = CLSID*;

inline bool IsEqualGUID(REFGUID a, REFGUID b) { return std::memcmp(&a, &b, sizeof(GUID)) == 0; }
inline bool operator==(REFGUID a, REFGUID b) { return IsEqualGUID(a, b); }
inline bool operator!=(REFGUID a, REFGUID b) { return !IsEqualGUID(a, b); }
#define IsEqualIID IsEqualGUID
#define IsEqualCLSID IsEqualGUID
inline constexpr GUID GUID_NULL = {0, 0, 0, {0, 0, 0, 0, 0, 0, 0, 0}};
#define CLSID_NULL GUID_NULL
#define IID_NULL GUID_NULL

#endif  // !_WIN32

namespace win32 {
using OleString = std::basic_string<OLECHAR>;
using OleStringView = std::basic_string_view<OLECHAR>;
}  // namespace win32
