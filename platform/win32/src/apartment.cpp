// Apartments, registered class objects and activation.
#include "runtime.h"
#include "win32/comptr.h"
#include "win32/diagnostics.h"

#include <dlfcn.h>

#include <atomic>
#include <map>
#include <mutex>
#include <string>
#include <vector>

namespace {

enum class Model { None, SingleThreaded, MultiThreaded };

// One apartment per single-threaded thread; all multithreaded threads share apartment 1.
constexpr std::uint64_t kMultiThreadedApartment = 1;

struct ThreadState {
  Model model = Model::None;
  long inits = 0;
  std::uint64_t apartment = 0;
};

thread_local ThreadState t_thread;
std::atomic<std::uint64_t> g_nextApartment{2};
std::atomic<long> g_multiThreadedInits{0};

struct RegisteredClass {
  CLSID clsid;
  IUnknown* object;
  DWORD context;
  DWORD flags;
  DWORD cookie;
  std::uint64_t apartment;
};

std::mutex g_classesMutex;
std::vector<RegisteredClass> g_classes;
DWORD g_nextCookie = 1;

using GetClassObjectFn = HRESULT (*)(REFCLSID, REFIID, void**);

// In-process servers stay loaded for the life of the process: unloading code that an object may
// still run is not worth the memory it would give back.
std::mutex g_serversMutex;
std::map<std::string, GetClassObjectFn> g_servers;

HRESULT LoadServer(const std::string& path, GetClassObjectFn& entry) {
  std::lock_guard<std::mutex> lock(g_serversMutex);
  if (const auto it = g_servers.find(path); it != g_servers.end()) {
    entry = it->second;
    return S_OK;
  }
  void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (handle == nullptr) return CO_E_DLLNOTFOUND;
  entry = reinterpret_cast<GetClassObjectFn>(dlsym(handle, "DllGetClassObject"));
  if (entry == nullptr) {
    dlclose(handle);
    return CO_E_DLLNOTFOUND;
  }
  g_servers.emplace(path, entry);
  return S_OK;
}

// Releases the class objects that the apartment registered and still holds.
void RevokeApartmentClasses(std::uint64_t apartment) {
  std::vector<IUnknown*> released;
  {
    std::lock_guard<std::mutex> lock(g_classesMutex);
    for (auto it = g_classes.begin(); it != g_classes.end();) {
      if (it->apartment == apartment) {
        released.push_back(it->object);
        it = g_classes.erase(it);
      } else {
        ++it;
      }
    }
  }
  for (IUnknown* object : released) object->Release();
}

// A new reference to a class object registered in the caller's apartment, or NULL.
IUnknown* FindRegisteredClass(REFCLSID clsid, DWORD context) {
  std::lock_guard<std::mutex> lock(g_classesMutex);
  for (const RegisteredClass& entry : g_classes) {
    if (entry.apartment == t_thread.apartment && entry.clsid == clsid && (entry.context & context) != 0) {
      entry.object->AddRef();
      return entry.object;
    }
  }
  return nullptr;
}

}  // namespace

extern "C" HRESULT WINAPI CoInitializeEx(void*, DWORD coInit) {
  const Model wanted = (coInit & COINIT_APARTMENTTHREADED) ? Model::SingleThreaded : Model::MultiThreaded;
  ThreadState& t = t_thread;
  if (t.inits > 0) {
    if (t.model != wanted) return RPC_E_CHANGED_MODE;
    ++t.inits;
    return S_FALSE;
  }
  t.model = wanted;
  t.inits = 1;
  if (wanted == Model::SingleThreaded) {
    t.apartment = g_nextApartment++;
  } else {
    t.apartment = kMultiThreadedApartment;
    ++g_multiThreadedInits;
  }
  return S_OK;
}

extern "C" HRESULT WINAPI CoInitialize(void* reserved) { return CoInitializeEx(reserved, COINIT_APARTMENTTHREADED); }

extern "C" void WINAPI CoUninitialize() {
  ThreadState& t = t_thread;
  if (t.inits == 0) return;  // unmatched: ignored, as on Windows
  if (--t.inits > 0) return;
  const std::uint64_t apartment = t.apartment;
  const bool lastOfApartment = t.model == Model::SingleThreaded || --g_multiThreadedInits == 0;
  if (lastOfApartment) RevokeApartmentClasses(apartment);
  // Error information does not outlive the thread's COM.
  SetErrorInfo(0, nullptr);
  t = ThreadState{};
}

extern "C" long ComDiagApartmentInits() { return t_thread.inits; }

extern "C" HRESULT WINAPI CoRegisterClassObject(REFCLSID clsid, IUnknown* object, DWORD context, DWORD flags,
                                               DWORD* cookie) {
  if (cookie == nullptr || object == nullptr) return E_INVALIDARG;
  *cookie = 0;
  if (t_thread.inits == 0) return CO_E_NOTINITIALIZED;
  if (flags & REGCLS_MULTIPLEUSE) context |= CLSCTX_INPROC_SERVER;
  std::lock_guard<std::mutex> lock(g_classesMutex);
  for (const RegisteredClass& entry : g_classes) {
    if (entry.apartment == t_thread.apartment && entry.clsid == clsid && (entry.context & context) != 0) {
      return CO_E_OBJISREG;
    }
  }
  object->AddRef();
  *cookie = g_nextCookie++;
  g_classes.push_back({clsid, object, context, flags, *cookie, t_thread.apartment});
  return S_OK;
}

extern "C" HRESULT WINAPI CoRevokeClassObject(DWORD cookie) {
  if (t_thread.inits == 0) return CO_E_NOTINITIALIZED;
  IUnknown* object = nullptr;
  {
    std::lock_guard<std::mutex> lock(g_classesMutex);
    for (auto it = g_classes.begin(); it != g_classes.end(); ++it) {
      if (it->cookie != cookie) continue;
      if (it->apartment != t_thread.apartment) return RPC_E_WRONG_THREAD;
      object = it->object;
      g_classes.erase(it);
      break;
    }
  }
  if (object == nullptr) return E_INVALIDARG;
  object->Release();
  return S_OK;
}

extern "C" HRESULT WINAPI CoGetClassObject(REFCLSID clsid, DWORD context, void*, REFIID riid, void** ppv) {
  if (ppv == nullptr) return E_INVALIDARG;  // CoCreateInstance says E_POINTER for the same
  *ppv = nullptr;
  if (t_thread.inits == 0) return CO_E_NOTINITIALIZED;
  if (IUnknown* registered = FindRegisteredClass(clsid, context)) {
    const HRESULT hr = registered->QueryInterface(riid, ppv);
    registered->Release();
    return hr;
  }
  if ((context & CLSCTX_INPROC_SERVER) == 0) return REGDB_E_CLASSNOTREG;
  std::string server;
  try {
    server = win32rt::FindInprocServer(clsid);
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;  // a C function: nothing is thrown to its caller
  }
  if (server.empty()) return REGDB_E_CLASSNOTREG;
  GetClassObjectFn entry = nullptr;
  if (const HRESULT hr = LoadServer(server, entry); FAILED(hr)) return hr;
  const HRESULT hr = entry(clsid, riid, ppv);
  if (FAILED(hr) && *ppv) {
    // A server that hands out an object together with a failure keeps nothing alive through us.
    static_cast<IUnknown*>(*ppv)->Release();
    *ppv = nullptr;
  }
  return hr;
}

extern "C" HRESULT WINAPI CoCreateInstance(REFCLSID clsid, IUnknown* outer, DWORD context, REFIID riid, void** ppv) {
  if (ppv == nullptr) return E_POINTER;
  *ppv = nullptr;
  CComPtr<IClassFactory> factory;
  const HRESULT hr = CoGetClassObject(clsid, context, nullptr, IID_IClassFactory, reinterpret_cast<void**>(&factory));
  if (FAILED(hr)) return hr;
  if (!factory) return E_NOINTERFACE;
  const HRESULT created = factory->CreateInstance(outer, riid, ppv);
  if (FAILED(created) && *ppv) {
    static_cast<IUnknown*>(*ppv)->Release();
    *ppv = nullptr;
  }
  return created;
}
