// The COM and OLE Automation subset: interfaces, apartments, activation, BSTR, VARIANT, error info.
//
// Semantics follow Windows: CoInitialize(NULL) enters a single-threaded apartment; S_OK the first
// time on a thread, S_FALSE when already in the same kind, RPC_E_CHANGED_MODE for the other kind
// (not counted, so not to be balanced). Apartments are strictly per thread: a thread that did not
// initialise COM gets CO_E_NOTINITIALIZED, even while another thread is in the multithreaded one.
// Activation looks at class objects registered with CoRegisterClassObject in the caller's
// apartment first, then at the registry files beside this library (win32/registry.h).
#pragma once

#include "win32/base.h"

#if defined(_WIN32)
#include <oleauto.h>
#else

#define COINIT_MULTITHREADED 0x0u
#define COINIT_APARTMENTTHREADED 0x2u
#define COINIT_DISABLE_OLE1DDE 0x4u
#define COINIT_SPEED_OVER_MEMORY 0x8u

#define CLSCTX_INPROC_SERVER 0x1u
#define CLSCTX_INPROC_HANDLER 0x2u
#define CLSCTX_LOCAL_SERVER 0x4u
#define CLSCTX_REMOTE_SERVER 0x10u
#define CLSCTX_INPROC (CLSCTX_INPROC_SERVER | CLSCTX_INPROC_HANDLER)
#define CLSCTX_SERVER (CLSCTX_INPROC_SERVER | CLSCTX_LOCAL_SERVER | CLSCTX_REMOTE_SERVER)
#define CLSCTX_ALL (CLSCTX_INPROC_SERVER | CLSCTX_INPROC_HANDLER | CLSCTX_LOCAL_SERVER | CLSCTX_REMOTE_SERVER)

#define REGCLS_SINGLEUSE 0u
#define REGCLS_MULTIPLEUSE 1u

enum VARENUM : VARTYPE {
  VT_EMPTY = 0,
  VT_NULL = 1,
  VT_I2 = 2,
  VT_I4 = 3,
  VT_BSTR = 8,
  VT_DISPATCH = 9,
  VT_ERROR = 10,
  VT_BOOL = 11,
  VT_VARIANT = 12,
  VT_UNKNOWN = 13,
  VT_I1 = 16,
  VT_UI1 = 17,
  VT_UI2 = 18,
  VT_UI4 = 19,
  VT_INT = 22,
  VT_UINT = 23,
  VT_ARRAY = 0x2000,
  VT_BYREF = 0x4000,
  VT_TYPEMASK = 0xFFF,
};

// IIDs of the standard interfaces.
inline constexpr IID IID_IUnknown = {0x00000000, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
inline constexpr IID IID_IClassFactory = {0x00000001, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
inline constexpr IID IID_IDispatch = {0x00020400, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
inline constexpr IID IID_IErrorInfo = {0x1CF2B120, 0x547D, 0x101B, {0x8E, 0x65, 0x08, 0x00, 0x2B, 0x2B, 0xD1, 0x19}};
inline constexpr IID IID_ICreateErrorInfo = {0x22F03340, 0x547D, 0x101B, {0x8E, 0x65, 0x08, 0x00, 0x2B, 0x2B, 0xD1, 0x19}};
inline constexpr IID IID_ISupportErrorInfo = {0xDF0B3D60, 0x548F, 0x101B, {0x8E, 0x65, 0x08, 0x00, 0x2B, 0x2B, 0xD1, 0x19}};

// Interfaces carry no virtual destructor: the vtable is exactly the published slot order.
struct IUnknown {
  virtual HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) = 0;
  virtual ULONG STDMETHODCALLTYPE AddRef() = 0;
  virtual ULONG STDMETHODCALLTYPE Release() = 0;
};

struct ITypeInfo;
struct DISPPARAMS;
struct EXCEPINFO;
struct tagVARIANT;

struct IDispatch : IUnknown {
  virtual HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, LCID lcid, ITypeInfo** info) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, LCID lcid,
                                                  DISPID* ids) = 0;
  virtual HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID riid, LCID lcid, WORD flags, DISPPARAMS* params,
                                           tagVARIANT* result, EXCEPINFO* excepInfo, UINT* argErr) = 0;
};

struct IClassFactory : IUnknown {
  virtual HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID riid, void** ppv) = 0;
  virtual HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) = 0;
};

struct IErrorInfo : IUnknown {
  virtual HRESULT STDMETHODCALLTYPE GetGUID(GUID* guid) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetSource(BSTR* source) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetDescription(BSTR* description) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetHelpFile(BSTR* helpFile) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetHelpContext(DWORD* helpContext) = 0;
};

struct ICreateErrorInfo : IUnknown {
  virtual HRESULT STDMETHODCALLTYPE SetGUID(REFGUID guid) = 0;
  virtual HRESULT STDMETHODCALLTYPE SetSource(LPOLESTR source) = 0;
  virtual HRESULT STDMETHODCALLTYPE SetDescription(LPOLESTR description) = 0;
  virtual HRESULT STDMETHODCALLTYPE SetHelpFile(LPOLESTR helpFile) = 0;
  virtual HRESULT STDMETHODCALLTYPE SetHelpContext(DWORD helpContext) = 0;
};

struct ISupportErrorInfo : IUnknown {
  virtual HRESULT STDMETHODCALLTYPE InterfaceSupportsErrorInfo(REFIID riid) = 0;
};

typedef struct tagVARIANT {
  VARTYPE vt;
  WORD wReserved1;
  WORD wReserved2;
  WORD wReserved3;
  union {
    LONG lVal;
    SHORT iVal;
    VARIANT_BOOL boolVal;
    HRESULT scode;
    BSTR bstrVal;
    IUnknown* punkVal;
    IDispatch* pdispVal;
    void* byref;
    std::int64_t llVal;
  };
} VARIANT, VARIANTARG;

extern "C" {
WIN32_API HRESULT WINAPI CoInitialize(void* reserved);
WIN32_API HRESULT WINAPI CoInitializeEx(void* reserved, DWORD coInit);
WIN32_API void WINAPI CoUninitialize();
WIN32_API HRESULT WINAPI CLSIDFromProgID(LPCOLESTR progId, LPCLSID clsid);
// Accepts "{xxxxxxxx-xxxx-xxxx-xxxx-xxxxxxxxxxxx}" or a registered ProgID.
WIN32_API HRESULT WINAPI CLSIDFromString(LPCOLESTR text, LPCLSID clsid);
// Writes the braced form and returns its length with the NUL (39), or 0 when `max` is too small.
WIN32_API int WINAPI StringFromGUID2(REFGUID guid, LPOLESTR out, int max);
WIN32_API HRESULT WINAPI CoGetClassObject(REFCLSID clsid, DWORD clsContext, void* serverInfo, REFIID riid,
                                          void** ppv);
WIN32_API HRESULT WINAPI CoCreateInstance(REFCLSID clsid, IUnknown* outer, DWORD clsContext, REFIID riid,
                                          void** ppv);
WIN32_API HRESULT WINAPI CoRegisterClassObject(REFCLSID clsid, IUnknown* object, DWORD clsContext, DWORD flags,
                                               DWORD* cookie);
WIN32_API HRESULT WINAPI CoRevokeClassObject(DWORD cookie);

WIN32_API HRESULT WINAPI SetErrorInfo(ULONG reserved, IErrorInfo* info);
// Hands over the thread's error information and clears it: S_FALSE and NULL when there is none.
WIN32_API HRESULT WINAPI GetErrorInfo(ULONG reserved, IErrorInfo** info);
WIN32_API HRESULT WINAPI CreateErrorInfo(ICreateErrorInfo** info);

WIN32_API BSTR WINAPI SysAllocString(const OLECHAR* text);
WIN32_API BSTR WINAPI SysAllocStringLen(const OLECHAR* text, UINT length);
WIN32_API BSTR WINAPI SysAllocStringByteLen(const char* bytes, UINT length);
WIN32_API void WINAPI SysFreeString(BSTR text);
WIN32_API UINT WINAPI SysStringLen(BSTR text);
WIN32_API UINT WINAPI SysStringByteLen(BSTR text);

WIN32_API void WINAPI VariantInit(VARIANTARG* v);
WIN32_API HRESULT WINAPI VariantClear(VARIANTARG* v);
}

#endif  // !_WIN32

#include "win32/iid.h"

PL_DECLARE_IID(IUnknown, IID_IUnknown);
PL_DECLARE_IID(IDispatch, IID_IDispatch);
PL_DECLARE_IID(IClassFactory, IID_IClassFactory);
PL_DECLARE_IID(IErrorInfo, IID_IErrorInfo);
PL_DECLARE_IID(ICreateErrorInfo, IID_ICreateErrorInfo);
PL_DECLARE_IID(ISupportErrorInfo, IID_ISupportErrorInfo);
