#include "binding_store.h"

#include "hostrt32/os_files.h"
#include "safe_file_name.h"

#include <mutex>

namespace plandesk {
namespace {

// A configuration of a few bindings is a few kilobytes and nests about ten deep; a file past either
// bound is not one of ours. Both bound the file written back, whose indentation grows with depth.
constexpr std::size_t kMaxFileBytes = std::size_t(1) << 20;
constexpr int kMaxDepth = 64;

// Comments, declaration, processing instructions and doctype are kept. Parsing as a fragment lets
// text and elements beside the root show as nodes, which pugixml would otherwise drop silently.
constexpr unsigned kParseOptions = pugi::parse_default | pugi::parse_comments | pugi::parse_declaration |
                                   pugi::parse_pi | pugi::parse_doctype | pugi::parse_fragment;

// One read-merge-write at a time, so that two stores never lose each other's binding: in this
// process by the mutex, between processes by the configuration's lock.
std::mutex g_storeMutex;

StoreOutcome Failure(HRESULT hr, std::string reason) { return {hr, false, std::move(reason)}; }

std::string Quoted(const std::string& path) { return "'" + path + "'"; }

StoreOutcome CheckFolder(const std::string& folder) {
  hostrt::PathInfo info;
  if (const hostrt::FileError error = hostrt::Examine(folder, info)) return Failure(E_FAIL, error.text);
  if (info.kind == hostrt::PathInfo::Kind::Missing) {
    return Failure(HRESULT_FROM_WIN32(ERROR_PATH_NOT_FOUND), "the script folder " + Quoted(folder) + " does not exist");
  }
  if (info.kind != hostrt::PathInfo::Kind::Folder) {
    return Failure(HRESULT_FROM_WIN32(ERROR_DIRECTORY), "the script folder " + Quoted(folder) + " is not a folder");
  }
  if (const hostrt::FileError error = hostrt::CanCreateFilesIn(folder)) return Failure(E_ACCESSDENIED, error.text);
  return {};
}

// Outside the root element XML allows only the declaration (first), a doctype, comments and
// processing instructions; pugixml accepts more, and writing such a file back would lose it.
bool HasWellFormedTopLevel(const pugi::xml_document& document) {
  int elements = 0;
  for (const pugi::xml_node node : document.children()) {
    switch (node.type()) {
      case pugi::node_element:
        ++elements;
        break;
      case pugi::node_declaration:
        if (node != document.first_child()) return false;
        break;
      case pugi::node_pcdata:
      case pugi::node_cdata:
        return false;
      default:
        break;
    }
  }
  return elements <= 1;
}

// Whether elements nest deeper than kMaxDepth; without recursion, as the file may be hostile.
bool NestsTooDeep(const pugi::xml_document& document) {
  int depth = 1;  // of `node`: the root element is at 1
  for (pugi::xml_node node = document.first_child(); node;) {
    if (node.first_child()) {
      if (++depth > kMaxDepth) return true;
      node = node.first_child();
      continue;
    }
    while (node && !node.next_sibling()) {
      node = node.parent();
      --depth;
    }
    if (node) node = node.next_sibling();
  }
  return false;
}

// Loads an existing configuration into `document`; `exists` false when there is none.
StoreOutcome LoadExisting(const std::string& path, pugi::xml_document& document, bool& exists) {
  exists = false;
  hostrt::ExistingFile file;
  const hostrt::FileError error = hostrt::ReadExistingFile(path, kMaxFileBytes, file);
  if (error.kind == hostrt::FileError::Kind::NotAFile) {
    return Failure(E_ACCESSDENIED, "the configuration " + Quoted(path) + " is not a regular file");
  }
  if (error) return Failure(E_FAIL, error.text);
  if (!file.present) return {};
  exists = true;
  const std::string& contents = file.text;
  // pugixml ends a document at a NUL byte, which XML never holds: refuse it rather than read less.
  pugi::xml_parse_result parsed;
  if (contents.find('\0') != std::string::npos) {
    parsed.status = pugi::status_bad_pcdata;
    parsed.offset = static_cast<std::ptrdiff_t>(contents.find('\0'));
  } else {
    parsed = document.load_buffer(contents.data(), contents.size(), kParseOptions);
  }
  if (!parsed) {
    return Failure(HRESULT_FROM_WIN32(ERROR_INVALID_DATA),
                   "the configuration " + Quoted(path) + " is not well-formed XML (" + parsed.description() +
                       " at byte " + std::to_string(parsed.offset) + "); it was left as it is");
  }
  if (NestsTooDeep(document)) {
    return Failure(HRESULT_FROM_WIN32(ERROR_INVALID_DATA),
                   "the configuration " + Quoted(path) + " nests elements more than " + std::to_string(kMaxDepth) +
                       " deep, which no configuration does; it was left as it is");
  }
  if (!HasWellFormedTopLevel(document)) {
    return Failure(HRESULT_FROM_WIN32(ERROR_INVALID_DATA),
                   "the configuration " + Quoted(path) +
                       " is not well-formed XML (text or a second element beside the root); it was left as it is");
  }
  return {};
}

}  // namespace

StoreOutcome StoreBinding(win32::OleStringView scriptFolder, win32::OleStringView serviceName, const std::string& port,
                          const BindingValues& values, bool createIfMissing) {
  if (scriptFolder.empty()) return Failure(E_INVALIDARG, "no script folder was given");
  const std::string folder = hostrt::NativePath(scriptFolder);
  if (StoreOutcome checked = CheckFolder(folder); FAILED(checked.hr)) return checked;
  const std::string path = hostrt::JoinPath(folder, SafeFileName(serviceName));

  std::lock_guard<std::mutex> lock(g_storeMutex);
  hostrt::FileLock fileLock;
  if (const hostrt::FileError error = fileLock.Acquire(path)) {
    return Failure(error.kind == hostrt::FileError::Kind::Denied ? E_ACCESSDENIED : E_FAIL, error.text);
  }
  pugi::xml_document document;
  bool exists = false;
  if (StoreOutcome loaded = LoadExisting(path, document, exists); FAILED(loaded.hr)) return loaded;
  if (!exists && !createIfMissing) return {};

  std::string error;
  if (!PutBinding(document, port, values, error)) {
    return Failure(HRESULT_FROM_WIN32(ERROR_INVALID_DATA),
                   "the file " + Quoted(path) + " is not a configuration (" + error + "); it was left as it is");
  }
  if (const hostrt::FileError written = hostrt::ReplaceFileAtomically(path, RenderDocument(document), kConfigurationFileMode)) {
    return Failure(E_FAIL, written.text);
  }
  return {S_OK, true, {}};
}

}  // namespace plandesk
