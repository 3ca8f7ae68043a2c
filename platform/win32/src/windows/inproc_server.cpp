// Registration of an in-process server under HKEY_CLASSES_ROOT.
#include "win32/inproc_server.h"
#include "win32/module_file.h"

#include <olectl.h>

#include <new>
#include <string>

namespace win32 {
namespace {

// The DLL this code is linked into: the static library is part of each server.
std::wstring ThisModulePath() {
  HMODULE module = nullptr;
  if (!GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                          reinterpret_cast<LPCWSTR>(&RegisterServerClasses), &module)) {
    return {};
  }
  return ModuleFileName(module);
}

LONG SetValue(const std::wstring& keyPath, const wchar_t* name, const std::wstring& value) {
  HKEY key = nullptr;
  LONG rc = RegCreateKeyExW(HKEY_CLASSES_ROOT, keyPath.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr);
  if (rc != ERROR_SUCCESS) return rc;
  rc = RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                      static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
  RegCloseKey(key);
  return rc;
}

std::wstring GetValue(const std::wstring& keyPath) {
  DWORD size = 0;
  if (RegGetValueW(HKEY_CLASSES_ROOT, keyPath.c_str(), nullptr, RRF_RT_REG_SZ, nullptr, nullptr, &size) !=
          ERROR_SUCCESS ||
      size < sizeof(wchar_t)) {
    return {};
  }
  std::wstring value(size / sizeof(wchar_t), L'\0');
  if (RegGetValueW(HKEY_CLASSES_ROOT, keyPath.c_str(), nullptr, RRF_RT_REG_SZ, nullptr, value.data(), &size) !=
      ERROR_SUCCESS) {
    return {};
  }
  value.resize(wcsnlen(value.c_str(), value.size()));
  return value;
}

void DeleteTree(const std::wstring& keyPath) {
  RegDeleteTreeW(HKEY_CLASSES_ROOT, keyPath.c_str());
}

}  // namespace

HRESULT RegisterServerClasses(const ServerClass* classes, std::size_t count) noexcept {
  try {
    const std::wstring server = ThisModulePath();
    if (server.empty()) return HRESULT_FROM_WIN32(GetLastError());
    for (std::size_t i = 0; i < count; ++i) {
      const std::wstring clsid = classes[i].clsid;
      const std::wstring progId = classes[i].progId;
      const std::wstring classKey = L"CLSID\\" + clsid;
      for (const LONG rc : {SetValue(classKey, nullptr, progId), SetValue(classKey + L"\\ProgID", nullptr, progId),
                            SetValue(classKey + L"\\InprocServer32", nullptr, server),
                            SetValue(classKey + L"\\InprocServer32", L"ThreadingModel", L"Apartment"),
                            SetValue(progId, nullptr, progId), SetValue(progId + L"\\CLSID", nullptr, clsid)}) {
        if (rc != ERROR_SUCCESS) return SELFREG_E_CLASS;
      }
    }
    return S_OK;
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  }
}

HRESULT UnregisterServerClasses(const ServerClass* classes, std::size_t count) noexcept {
  try {
    const std::wstring server = ThisModulePath();
    for (std::size_t i = 0; i < count; ++i) {
      const std::wstring clsid = classes[i].clsid;
      const std::wstring progId = classes[i].progId;
      const std::wstring classKey = L"CLSID\\" + clsid;
      if (lstrcmpiW(GetValue(classKey + L"\\InprocServer32").c_str(), server.c_str()) == 0) DeleteTree(classKey);
      if (lstrcmpiW(GetValue(progId + L"\\CLSID").c_str(), clsid.c_str()) == 0) DeleteTree(progId);
    }
    return S_OK;
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  }
}

}  // namespace win32
