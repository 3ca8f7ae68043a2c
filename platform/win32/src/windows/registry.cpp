// ComRegistryAdd / ComRegistryRemove over the system registry: the per-user classes.
#include "win32/registry.h"

#include "win32/diagnostics.h"
#include "win32/strings.h"

#include <new>
#include <string>
#include <vector>

namespace {

constexpr wchar_t kClasses[] = L"Software\\Classes";

// HKEY_CLASSES_ROOT shows the user's classes in front of the machine's, so a test's class stands in
// for this user only. Wine's shows the machine's alone (its bug 14771): there the machine's classes
// of Wine's own prefix take the test's.
HKEY ClassesHive() {
  static const HKEY hive = win32::RunsUnderWine() ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER;
  return hive;
}

class Key {
 public:
  Key() = default;
  Key(const Key&) = delete;
  Key& operator=(const Key&) = delete;
  ~Key() {
    if (key_) RegCloseKey(key_);
  }
  HKEY* out() { return &key_; }
  HKEY get() const { return key_; }

 private:
  HKEY key_ = nullptr;
};

std::wstring ClsidText(REFCLSID clsid) {
  wchar_t text[40] = {};
  StringFromGUID2(clsid, text, 40);
  return text;
}

std::wstring ClassKey(REFCLSID clsid) { return std::wstring(kClasses) + L"\\CLSID\\" + ClsidText(clsid); }

LONG SetValue(const std::wstring& keyPath, const wchar_t* name, const std::wstring& value) {
  Key key;
  LONG rc = RegCreateKeyExW(ClassesHive(), keyPath.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, key.out(),
                            nullptr);
  if (rc != ERROR_SUCCESS) return rc;
  return RegSetValueExW(key.get(), name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                        static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
}

// The default value of Software\Classes\<name>\CLSID, or empty.
std::wstring ProgIdClass(const std::wstring& name) {
  const std::wstring path = std::wstring(kClasses) + L"\\" + name + L"\\CLSID";
  wchar_t value[64] = {};
  DWORD size = sizeof value - sizeof(wchar_t);
  if (RegGetValueW(ClassesHive(), path.c_str(), nullptr, RRF_RT_REG_SZ, nullptr, value, &size) != ERROR_SUCCESS) {
    return {};
  }
  return value;
}

// The ProgIDs that name `clsidText`.
std::vector<std::wstring> ProgIdsOf(const std::wstring& clsidText) {
  std::vector<std::wstring> names;
  Key classes;
  if (RegOpenKeyExW(ClassesHive(), kClasses, 0, KEY_ENUMERATE_SUB_KEYS, classes.out()) != ERROR_SUCCESS) {
    return names;
  }
  wchar_t name[256];
  for (DWORD index = 0;; ++index) {
    DWORD length = 256;
    const LONG rc = RegEnumKeyExW(classes.get(), index, name, &length, nullptr, nullptr, nullptr, nullptr);
    if (rc == ERROR_NO_MORE_ITEMS) break;
    if (rc != ERROR_SUCCESS || name[0] == L'.' || lstrcmpiW(name, L"CLSID") == 0) continue;
    if (lstrcmpiW(ProgIdClass(name).c_str(), clsidText.c_str()) == 0) names.emplace_back(name);
  }
  return names;
}

// Given a subkey, RegDeleteTreeW removes the key itself along with everything below it.
bool DeleteTree(const std::wstring& keyPath) {
  return RegDeleteTreeW(ClassesHive(), keyPath.c_str()) == ERROR_SUCCESS;
}

HRESULT FromRegistryError(LONG rc) { return rc == ERROR_SUCCESS ? S_OK : HRESULT_FROM_WIN32(static_cast<DWORD>(rc)); }

}  // namespace

extern "C" HRESULT ComRegistryAdd(LPCOLESTR progId, REFCLSID clsid, const char* serverPath) {
  if (progId != nullptr && progId[0] == 0) return E_INVALIDARG;
  try {
    const std::wstring classKey = ClassKey(clsid);
    // A server of an earlier entry must not outlive its replacement.
    DeleteTree(classKey);
    LONG rc = SetValue(classKey, nullptr, progId ? progId : L"");
    if (rc == ERROR_SUCCESS && serverPath != nullptr) {
      const std::wstring server = win32::Widen(serverPath, CP_UTF8);
      rc = SetValue(classKey + L"\\InprocServer32", nullptr, server);
      // Our runtime creates objects in whatever apartment asks, as "Both" does.
      if (rc == ERROR_SUCCESS) rc = SetValue(classKey + L"\\InprocServer32", L"ThreadingModel", L"Both");
    }
    if (rc == ERROR_SUCCESS && progId != nullptr) {
      rc = SetValue(std::wstring(kClasses) + L"\\" + progId + L"\\CLSID", nullptr, ClsidText(clsid));
    }
    return FromRegistryError(rc);
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  } catch (const _com_error& e) {
    return e.Error();
  }
}

extern "C" HRESULT ComRegistryRemove(REFCLSID clsid) {
  try {
    bool found = DeleteTree(ClassKey(clsid));
    for (const std::wstring& name : ProgIdsOf(ClsidText(clsid))) {
      found = DeleteTree(std::wstring(kClasses) + L"\\" + name) || found;
    }
    return found ? S_OK : S_FALSE;
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  }
}
