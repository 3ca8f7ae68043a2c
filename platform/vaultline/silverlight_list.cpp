#include "silverlight_list.h"

#include "key_fold.h"
#include "list_file.h"
#include "text_escape.h"

#include "hostrt32/os_files.h"

#include <mutex>
#include <new>

namespace vaultline {
namespace {

constexpr std::uintmax_t kMaxFileBytes = std::uintmax_t(256) << 20;
constexpr unsigned kNewFileMode = 0644;
constexpr HRESULT kReadFault = HRESULT_FROM_WIN32(ERROR_READ_FAULT);
constexpr HRESULT kWriteFault = HRESULT_FROM_WIN32(ERROR_WRITE_FAULT);
constexpr HRESULT kTooLarge = HRESULT_FROM_WIN32(ERROR_FILE_TOO_LARGE);
constexpr HRESULT kKeyExists = HRESULT_FROM_WIN32(ERROR_ALREADY_EXISTS);
constexpr HRESULT kKeyNotFound = HRESULT_FROM_WIN32(ERROR_NOT_FOUND);

// One read-merge-write at a time: in this process by the mutex, between processes by the file's
// lock. Two saves that interleave would each write the file without the other's items.
std::mutex g_saveMutex;

// Reads the list's file; a missing file (or folder) is no failure and reads as no file.
HRESULT ReadListFile(const std::string& path, hostrt::ExistingFile& file) {
  const hostrt::FileError error = hostrt::ReadExistingFile(path, kMaxFileBytes, file);
  if (!error) return S_OK;
  if (error.kind == hostrt::FileError::Kind::TooLarge) {
    return kListSource.Fail(kTooLarge, "cannot read '" + path + "': " + std::to_string(file.size) +
                                           " bytes, more than a list file may hold (256 MiB)");
  }
  if (error.kind == hostrt::FileError::Kind::NotAFile) {
    return kListSource.Fail(kReadFault, "cannot read '" + path + "': not a regular file");
  }
  return kListSource.Fail(kReadFault, error.text);
}

// The permissions of the list's file, kept when it is replaced; those of a new file when there is none.
HRESULT ModeOfListFile(const std::string& path, unsigned& mode) {
  hostrt::PathInfo info;
  if (const hostrt::FileError error = hostrt::Examine(path, info)) return kListSource.Fail(kReadFault, error.text);
  if (info.kind == hostrt::PathInfo::Kind::Missing) {
    mode = kNewFileMode;
  } else if (info.kind == hostrt::PathInfo::Kind::File) {
    mode = info.mode;
  } else {
    return kListSource.Fail(kReadFault, "cannot read '" + path + "': not a regular file");
  }
  return S_OK;
}

// The native path of a file name, or empty.
std::string PathOf(BSTR fileName) { return hostrt::NativePath(FromBstr(fileName)); }

}  // namespace

const SilverlightList::Entry* SilverlightList::Find(BSTR key) const {
  const auto it = index_.find(FoldKey(FromBstr(key)));
  return it == index_.end() ? nullptr : &entries_[it->second];
}

HRESULT SilverlightList::raw_SaveEx(BSTR aFileName, LONG aClearFileBeforeSave) noexcept {
  return RunMethod(kListSource, [&] {
    const std::string path = PathOf(aFileName);
    if (path.empty()) return kListSource.Fail(E_INVALIDARG, "SaveEx: no file name");
    const bool keepOthers = aClearFileBeforeSave == 0;
    const std::lock_guard<std::mutex> lock(g_saveMutex);
    hostrt::FileLock fileLock;
    if (const hostrt::FileError error = fileLock.Acquire(path)) {
      return kListSource.Fail(kWriteFault, "cannot save the list: " + error.text);
    }
    hostrt::ExistingFile file;
    unsigned mode = kNewFileMode;
    if (keepOthers) {
      if (const HRESULT hr = ReadListFile(path, file); FAILED(hr)) return hr;
      if (file.present) mode = file.mode;
    } else if (const HRESULT hr = ModeOfListFile(path, mode); FAILED(hr)) {
      return hr;
    }
    // Cleared or new, the file gets the model's default line ends; else it keeps its own.
    ini::Document doc = keepOthers ? ini::Document::Parse(file.text) : ini::Document();
    std::vector<ItemToWrite> items;
    items.reserve(entries_.size());
    for (const Entry& entry : entries_) items.push_back({&entry.key, &entry.item->values()});
    WriteListSections(doc, doc.lineEnd(), items);
    const std::string text = doc.Serialize();  // with the file's byte-order mark, if it had one
    if (const hostrt::FileError error = hostrt::ReplaceFileAtomically(path, text, mode)) {
      return kListSource.Fail(kWriteFault, "cannot save the list: " + error.text);
    }
    return S_OK;
  });
}

HRESULT SilverlightList::raw_Load(BSTR aFileName) noexcept {
  return RunMethod(kListSource, [&] {
    const std::string path = PathOf(aFileName);
    if (path.empty()) return kListSource.Fail(E_INVALIDARG, "Load: no file name");
    hostrt::ExistingFile file;
    if (const HRESULT hr = ReadListFile(path, file); FAILED(hr)) return hr;
    std::vector<Entry> entries;
    std::unordered_map<std::string, std::size_t> index;
    if (file.present) {
      std::vector<ItemRead> items = ReadListSections(ini::Document::Parse(file.text));
      file.text = std::string();
      entries.reserve(items.size());
      index.reserve(items.size());
      for (ItemRead& read : items) {
        if (!index.emplace(std::move(read.foldedKey), entries.size()).second) continue;  // the first one counts
        CComPtr<ListItem> item = ListItem::New();
        if (!item) throw std::bad_alloc();
        item->values() = std::move(read.values);
        entries.push_back({std::move(read.key), std::move(item)});
      }
    }
    entries_.swap(entries);
    index_.swap(index);
    return S_OK;
  });
}

HRESULT SilverlightList::raw_GetItemByKey(BSTR aKey, IPersistSilverlightListItem** out) noexcept {
  return RunMethod(kListSource, [&] {
    if (out == nullptr) return E_POINTER;
    *out = nullptr;
    const Entry* entry = Find(aKey);
    if (entry == nullptr) {
      return kListSource.Fail(kKeyNotFound, "no item under the key '" + EscapeValue(FromBstr(aKey)) + "'");
    }
    return entry->item->QueryInterface(Vaultline::IID_IPersistSilverlightListItem, reinterpret_cast<void**>(out));
  });
}

HRESULT SilverlightList::raw_AddItemByKey(BSTR aKey, IPersistSilverlightListItemRO* aItemObject) noexcept {
  return RunMethod(kListSource, [&] {
    if (aItemObject == nullptr) return E_POINTER;
    CComPtr<ListItem> item = ListItem::FromInterface(aItemObject);
    if (!item) return kListSource.Fail(E_INVALIDARG, "AddItemByKey: the item was not made by this component");
    std::string key = FromBstr(aKey);
    std::string folded = FoldKey(key);
    if (index_.count(folded) != 0) {
      return kListSource.Fail(kKeyExists, "the list already holds an item under the key '" + EscapeValue(key) + "'");
    }
    entries_.push_back({std::move(key), std::move(item)});
    try {
      index_.emplace(std::move(folded), entries_.size() - 1);
    } catch (...) {
      entries_.pop_back();
      throw;
    }
    return S_OK;
  });
}

HRESULT SilverlightList::get_Count(LONG* out) noexcept {
  return GetScalar(kListSource, static_cast<LONG>(entries_.size()), out);
}

HRESULT SilverlightList::raw_ContainsItemWithKey(BSTR aKey, VARIANT_BOOL* out) noexcept {
  return RunMethod(kListSource, [&] {
    if (out == nullptr) return E_POINTER;
    *out = Find(aKey) ? VARIANT_TRUE : VARIANT_FALSE;
    return S_OK;
  });
}

HRESULT SilverlightList::InterfaceSupportsErrorInfo(REFIID riid) noexcept {
  return riid == Vaultline::IID_IPersistSilverlightList ? S_OK : S_FALSE;
}

}  // namespace vaultline
