// The kernel32 subset: code-page conversions, lstrcmpiA, Sleep and the thread's last error.
//
// CP_ACP is Windows-1252 here. Characters that the code page lacks become '?' (the code page's
// default character) and set *lpUsedDefaultChar; there is no best-fit mapping to look-alikes.
// Windows maps some to look-alikes unless WC_NO_BEST_FIT_CHARS is given, so callers give it.
#pragma once

#include "win32/base.h"

#if !defined(_WIN32)

#define CP_ACP 0u
#define CP_OEMCP 1u
#define CP_THREAD_ACP 3u
#define CP_UTF8 65001u
#define MB_PRECOMPOSED 0x00000001u
#define MB_ERR_INVALID_CHARS 0x00000008u
#define WC_NO_BEST_FIT_CHARS 0x00000400u

extern "C" {
WIN32_API int WINAPI MultiByteToWideChar(UINT codePage, DWORD flags, LPCCH src, int srcLen, LPWSTR dst,
                                         int dstLen);
WIN32_API int WINAPI WideCharToMultiByte(UINT codePage, DWORD flags, LPCWCH src, int srcLen, LPSTR dst,
                                         int dstLen, LPCCH defaultChar, LPBOOL usedDefaultChar);
WIN32_API UINT WINAPI GetACP();
// -1, 0 or 1; case-insensitive in the ANSI code page; symbols sort before digits and letters.
WIN32_API int WINAPI lstrcmpiA(LPCSTR a, LPCSTR b);
WIN32_API void WINAPI Sleep(DWORD milliseconds);
WIN32_API DWORD WINAPI GetLastError();
WIN32_API void WINAPI SetLastError(DWORD error);
}

#endif  // !_WIN32
