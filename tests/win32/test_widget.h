// The interface and class that the test server provides, shared by the server and the tests.
#pragma once

#include "win32/com.h"

struct IWidget : IUnknown {
  virtual HRESULT STDMETHODCALLTYPE Answer(LONG* value) = 0;
};

inline constexpr IID IID_IWidget = {0x6F1C2A11, 0x3B4D, 0x4E5F, {0x8A, 0x9B, 0x0C, 0x1D, 0x2E, 0x3F, 0x4A, 0x50}};
PL_DECLARE_IID(IWidget, IID_IWidget);

inline constexpr CLSID CLSID_TestWidget = {0x6F1C2A10, 0x3B4D, 0x4E5F, {0x8A, 0x9B, 0x0C, 0x1D, 0x2E, 0x3F, 0x4A, 0x50}};
// What the server's widget answers; fakes answer something else, so a test sees which one it got.
inline constexpr LONG kServerAnswer = 42;

#if defined(_WIN32)
#define TEST_SERVER_EXPORT __declspec(dllexport)
#else
#define TEST_SERVER_EXPORT __attribute__((visibility("default")))
#endif
