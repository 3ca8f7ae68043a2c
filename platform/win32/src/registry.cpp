// The class registry: files written by the build, plus entries that tests add at run time.
#include "win32/registry.h"

#include "win32/diagnostics.h"

#include "runtime.h"
#include "win32/kernel.h"

#include <dlfcn.h>

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <fstream>
#include <map>
#include <mutex>
#include <sstream>
#include <vector>

namespace {

struct ClassEntry {
  std::string server;  // absolute path, or empty
};

struct Registry {
  std::mutex mutex;
  bool loaded = false;
  std::string folder;
  std::map<std::u16string, CLSID> progIds;  // key folded to upper case
  std::map<std::u16string, ClassEntry> classes;  // key: the braced CLSID text
};

Registry& TheRegistry() {
  static Registry registry;
  return registry;
}

std::u16string FoldKey(std::u16string_view text) {
  std::u16string key(text);
  for (char16_t& c : key) {
    if (c >= 'a' && c <= 'z') c = static_cast<char16_t>(c - 32);
  }
  return key;
}

std::u16string AsciiToUtf16(std::string_view text) { return std::u16string(text.begin(), text.end()); }

std::string FolderOfThisLibrary() {
  Dl_info info{};
  if (dladdr(reinterpret_cast<void*>(&ComRegistryFolder), &info) == 0 || info.dli_fname == nullptr) return {};
  std::error_code ec;
  const auto library = std::filesystem::canonical(info.dli_fname, ec);
  if (ec) return {};
  return (library.parent_path() / "registry").string();
}

void LoadFile(Registry& r, const std::filesystem::path& file) {
  std::ifstream in(file);
  std::string line;
  while (std::getline(in, line)) {
    if (line.size() > 4096) continue;
    std::istringstream fields(line);
    std::string clsidText, progId, server;
    if (!(fields >> clsidText) || clsidText[0] == '#') continue;
    CLSID clsid;
    if (!win32rt::ParseGuid(AsciiToUtf16(clsidText), clsid)) continue;
    fields >> progId >> server;
    const std::u16string key = win32rt::FormatGuid(clsid);
    if (!progId.empty() && progId != "-") r.progIds[FoldKey(AsciiToUtf16(progId))] = clsid;
    ClassEntry& entry = r.classes[key];
    if (!server.empty()) entry.server = (file.parent_path() / server).lexically_normal().string();
  }
}

// Reads the registry files once, on first use; a missing or unreadable folder gives an empty registry.
Registry& LoadedRegistry(std::unique_lock<std::mutex>& lock) {
  Registry& r = TheRegistry();
  lock = std::unique_lock<std::mutex>(r.mutex);
  if (r.loaded) return r;
  r.loaded = true;
  r.folder = FolderOfThisLibrary();
  std::error_code ec;
  std::vector<std::filesystem::path> files;
  for (std::filesystem::directory_iterator it(r.folder, ec), end; !ec && it != end; it.increment(ec)) {
    if (it->path().extension() == ".reg") files.push_back(it->path());
  }
  std::sort(files.begin(), files.end());
  for (const auto& file : files) LoadFile(r, file);
  return r;
}

std::atomic<long> g_failLookups{0};

// Where a look-up allocates: an injected failure is thrown as running out of memory there would be.
void LookUpMayFail() {
  for (long left = g_failLookups.load(); left > 0;) {
    if (g_failLookups.compare_exchange_weak(left, left - 1)) throw std::bad_alloc();
  }
}

}  // namespace

extern "C" void ComDiagFailClassLookups(long count) { g_failLookups = count; }

namespace win32rt {

std::optional<CLSID> FindProgId(std::u16string_view progId) {
  LookUpMayFail();
  std::unique_lock<std::mutex> lock;
  Registry& r = LoadedRegistry(lock);
  const auto it = r.progIds.find(FoldKey(progId));
  if (it == r.progIds.end()) return std::nullopt;
  return it->second;
}

std::string FindInprocServer(REFCLSID clsid) {
  LookUpMayFail();
  std::unique_lock<std::mutex> lock;
  Registry& r = LoadedRegistry(lock);
  const auto it = r.classes.find(FormatGuid(clsid));
  return it == r.classes.end() ? std::string() : it->second.server;
}

bool IsClassRegistered(REFCLSID clsid) {
  std::unique_lock<std::mutex> lock;
  Registry& r = LoadedRegistry(lock);
  return r.classes.count(FormatGuid(clsid)) != 0;
}

}  // namespace win32rt

extern "C" HRESULT ComRegistryAdd(LPCOLESTR progId, REFCLSID clsid, const char* serverPath) {
  if (progId != nullptr && progId[0] == 0) return E_INVALIDARG;
  std::unique_lock<std::mutex> lock;
  Registry& r = LoadedRegistry(lock);
  if (progId != nullptr) r.progIds[FoldKey(progId)] = clsid;
  r.classes[win32rt::FormatGuid(clsid)].server = serverPath ? serverPath : "";
  return S_OK;
}

extern "C" HRESULT ComRegistryRemove(REFCLSID clsid) {
  std::unique_lock<std::mutex> lock;
  Registry& r = LoadedRegistry(lock);
  bool found = r.classes.erase(win32rt::FormatGuid(clsid)) != 0;
  for (auto it = r.progIds.begin(); it != r.progIds.end();) {
    if (it->second == clsid) {
      it = r.progIds.erase(it);
      found = true;
    } else {
      ++it;
    }
  }
  return found ? S_OK : S_FALSE;
}

extern "C" const char* ComRegistryFolder() {
  std::unique_lock<std::mutex> lock;
  return LoadedRegistry(lock).folder.c_str();
}

extern "C" HRESULT WINAPI CLSIDFromProgID(LPCOLESTR progId, LPCLSID clsid) {
  if (progId == nullptr || clsid == nullptr) return E_INVALIDARG;
  *clsid = CLSID_NULL;
  try {
    const auto found = win32rt::FindProgId(progId);
    if (!found) return CO_E_CLASSSTRING;
    *clsid = *found;
    return S_OK;
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;  // a C function: nothing is thrown to its caller
  }
}
