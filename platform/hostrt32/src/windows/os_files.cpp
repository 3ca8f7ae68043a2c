// Native paths, whole-file reads and atomic replacement over the Windows file functions.
#include "hostrt32/os_files.h"

#include "lock_wait.h"

#include "win32/strings.h"

#include <sddl.h>

#include <fcntl.h>
#include <io.h>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <string>

namespace hostrt {
namespace {

std::wstring Wide(const std::string& nativePath) { return win32::Widen(nativePath, CP_UTF8); }

// The system's description of `error`, one line of UTF-8.
std::string SystemText(DWORD error) {
  wchar_t* buffer = nullptr;
  constexpr DWORD kFlags = FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS;
  const DWORD length = FormatMessageW(kFlags, nullptr, error, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
  std::wstring text = length ? std::wstring(buffer, length) : L"error " + std::to_wstring(error);
  LocalFree(buffer);
  while (!text.empty() && std::wstring_view(L"\r\n. ").find(text.back()) != std::wstring_view::npos) text.pop_back();
  return win32::Narrow(text, CP_UTF8);
}

FileError::Kind KindOf(DWORD error) {
  switch (error) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_NAME: return FileError::Kind::NotFound;
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
    case ERROR_WRITE_PROTECT: return FileError::Kind::Denied;
    case ERROR_FILE_TOO_LARGE:
    case ERROR_DISK_FULL: return FileError::Kind::TooLarge;
    default: return FileError::Kind::Io;
  }
}

// The error the system tells, for doing `what` to `path`.
FileError SystemError(const char* what, const std::string& path, DWORD error = GetLastError()) {
  return {KindOf(error), std::string(what) + " '" + path + "': " + SystemText(error)};
}

struct HandleCloser {
  void operator()(HANDLE handle) const { CloseHandle(handle); }
};
using Handle = std::unique_ptr<void, HandleCloser>;

Handle Open(HANDLE handle) { return Handle(handle == INVALID_HANDLE_VALUE ? nullptr : handle); }

bool WriteAll(HANDLE file, const char* data, std::size_t size) {
  while (size > 0) {
    const DWORD chunk = size > (1u << 30) ? (1u << 30) : static_cast<DWORD>(size);
    DWORD written = 0;
    if (!WriteFile(file, data, chunk, &written, nullptr) || written == 0) return false;
    data += written;
    size -= written;
  }
  return true;
}

std::string FolderOf(const std::string& path) {
  const std::size_t separator = path.find_last_of("\\/");
  if (separator == std::string::npos) return ".";
  return path.substr(0, separator + (separator == 0 || path[separator - 1] == ':' ? 1 : 0));
}

// An access list that lets the file's owner (the user this process runs as) alone in, as mode
// 0600 does on POSIX; NULL when it cannot be made (the caller then fails rather than expose).
struct Security {
  SECURITY_ATTRIBUTES attributes{sizeof(SECURITY_ATTRIBUTES), nullptr, FALSE};
  ~Security() { LocalFree(attributes.lpSecurityDescriptor); }
};

bool MakeOwnerOnly(Security& security) {
  HANDLE token = nullptr;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return false;
  Handle tokenHolder(token);
  DWORD size = 0;
  GetTokenInformation(token, TokenUser, nullptr, 0, &size);
  if (size == 0) return false;
  std::unique_ptr<BYTE[]> user(new BYTE[size]);
  if (!GetTokenInformation(token, TokenUser, user.get(), size, &size)) return false;
  wchar_t* sid = nullptr;
  if (!ConvertSidToStringSidW(reinterpret_cast<TOKEN_USER*>(user.get())->User.Sid, &sid)) return false;
  // Protected, so that the folder's inherited entries do not open it up again.
  const std::wstring descriptor = L"D:P(A;;FA;;;" + std::wstring(sid) + L")";
  LocalFree(sid);
  return ConvertStringSecurityDescriptorToSecurityDescriptorW(descriptor.c_str(), SDDL_REVISION_1,
                                                              &security.attributes.lpSecurityDescriptor, nullptr);
}

}  // namespace

std::string NativePath(const std::string& path) { return win32::Narrow(win32::Widen(path, CP_ACP), CP_UTF8); }

std::string NativePath(win32::OleStringView path) { return win32::Narrow(path, CP_UTF8); }

std::string JoinPath(const std::string& nativeFolder, const std::string& name) {
  if (nativeFolder.empty() || nativeFolder.back() == '\\' || nativeFolder.back() == '/') return nativeFolder + name;
  return nativeFolder + "\\" + name;
}

FileError Examine(const std::string& nativePath, PathInfo& info) {
  info = PathInfo();
  WIN32_FILE_ATTRIBUTE_DATA data{};
  if (!GetFileAttributesExW(Wide(nativePath).c_str(), GetFileExInfoStandard, &data)) {
    const DWORD code = GetLastError();
    if (KindOf(code) == FileError::Kind::NotFound) return {};
    return SystemError("cannot examine", nativePath, code);
  }
  if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
    info.kind = PathInfo::Kind::Folder;
  } else if (data.dwFileAttributes & FILE_ATTRIBUTE_DEVICE) {
    info.kind = PathInfo::Kind::Other;
  } else {
    info.kind = PathInfo::Kind::File;
  }
  info.mode = (data.dwFileAttributes & FILE_ATTRIBUTE_READONLY) ? 0444 : 0644;
  info.size = (std::uint64_t(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
  return {};
}

FileError CanCreateFilesIn(const std::string& nativeFolder) {
  const DWORD attributes = GetFileAttributesW(Wide(nativeFolder).c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return SystemError("cannot create files in", nativeFolder);
  if (!(attributes & FILE_ATTRIBUTE_DIRECTORY)) return SystemError("cannot create files in", nativeFolder, ERROR_DIRECTORY);
  return {};
}

FileError ReadWholeFile(const std::string& nativePath, std::string& contents, std::size_t maxBytes) {
  contents.clear();
  const Handle file = Open(CreateFileW(Wide(nativePath).c_str(), GENERIC_READ,
                                       FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                       FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) {
    const DWORD error = GetLastError();
    // Windows opens no folder as a file: it says access denied for one.
    const DWORD attributes = GetFileAttributesW(Wide(nativePath).c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)) {
      return {FileError::Kind::NotAFile, "not a regular file '" + nativePath + "'"};
    }
    return SystemError("cannot open", nativePath, error);
  }
  BY_HANDLE_FILE_INFORMATION information{};
  if (GetFileType(file.get()) != FILE_TYPE_DISK || !GetFileInformationByHandle(file.get(), &information) ||
      (information.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
    return {FileError::Kind::NotAFile, "not a regular file '" + nativePath + "'"};
  }
  constexpr DWORD kChunk = 65536;
  const std::unique_ptr<char[]> chunk(new char[kChunk]);
  for (;;) {
    DWORD read = 0;
    if (!ReadFile(file.get(), chunk.get(), kChunk, &read, nullptr)) {
      contents.clear();
      return SystemError("cannot read", nativePath);
    }
    if (read == 0) break;
    if (contents.size() + read > maxBytes) {
      contents.clear();
      return {FileError::Kind::TooLarge, "file too large '" + nativePath + "'"};
    }
    contents.append(chunk.get(), read);
  }
  return {};
}

FileError ReplaceFileAtomically(const std::string& nativePath, const std::string& contents, unsigned mode) {
  Security security;
  if ((mode & 077u) == 0 && !MakeOwnerOnly(security)) {
    return SystemError("cannot restrict the access list of", nativePath);
  }
  const std::wstring target = Wide(nativePath);
  std::wstring temp;
  Handle file;
  for (unsigned attempt = 0; attempt < 100 && !file; ++attempt) {
    temp = target + L".tmp-" + std::to_wstring(GetCurrentProcessId()) + L"-" + std::to_wstring(attempt);
    file = Open(CreateFileW(temp.c_str(), GENERIC_WRITE, 0, &security.attributes, CREATE_NEW, FILE_ATTRIBUTE_NORMAL,
                            nullptr));
    if (!file && GetLastError() != ERROR_FILE_EXISTS && GetLastError() != ERROR_ALREADY_EXISTS) break;
  }
  if (!file) return SystemError("cannot create a file in", FolderOf(nativePath));
  const bool written = WriteAll(file.get(), contents.data(), contents.size()) && FlushFileBuffers(file.get());
  const DWORD writeError = GetLastError();
  const bool closed = CloseHandle(file.release());
  if (!written || !closed) {
    const FileError error = SystemError("cannot write", win32::Narrow(temp, CP_UTF8), written ? GetLastError() : writeError);
    DeleteFileW(temp.c_str());
    return error;
  }
  // Write-through: the rename has reached the disk when the call returns.
  if (!MoveFileExW(temp.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    const FileError error = SystemError("cannot replace", nativePath);
    DeleteFileW(temp.c_str());
    return error;
  }
  return {};
}

bool StandardOutputIsTerminal() { return _isatty(_fileno(stdout)) != 0; }

FileError WriteStandardOutput(const std::string& bytes) {
  std::fflush(stdout);
  _setmode(_fileno(stdout), _O_BINARY);
  if (std::fwrite(bytes.data(), 1, bytes.size(), stdout) != bytes.size() || std::fflush(stdout) != 0) {
    return {FileError::Kind::Io, "cannot write 'standard output'"};
  }
  return {};
}

FileLock::~FileLock() { Release(); }

void FileLock::Release() noexcept {
  // Opened to be deleted on close: the file goes with the lock, also when the holder dies.
  if (handle_ != -1) CloseHandle(reinterpret_cast<HANDLE>(handle_));
  handle_ = -1;
}

FileError FileLock::Acquire(const std::string& nativePath, std::chrono::milliseconds wait) {
  Release();
  path_ = nativePath + ".lock";
  Security security;
  if (!MakeOwnerOnly(security)) return SystemError("cannot restrict the access list of", path_);
  const std::wstring lockPath = Wide(path_);
  LockWait retry(wait);
  for (;;) {
    // Shared with no one: the open itself is the lock.
    Handle file = Open(CreateFileW(lockPath.c_str(), GENERIC_READ | GENERIC_WRITE, 0, &security.attributes, OPEN_ALWAYS,
                                   FILE_ATTRIBUTE_NORMAL | FILE_FLAG_DELETE_ON_CLOSE, nullptr));
    if (file) {
      handle_ = reinterpret_cast<std::intptr_t>(file.release());
      return {};
    }
    const DWORD error = GetLastError();
    // Held by another, or its holder's file is on its way out (denied while it still exists).
    const bool held = error == ERROR_SHARING_VIOLATION ||
                      (error == ERROR_ACCESS_DENIED && GetFileAttributesW(lockPath.c_str()) != INVALID_FILE_ATTRIBUTES);
    if (!held) return SystemError("cannot lock", path_, error);
    if (FileError busy = retry.Next(path_)) return busy;
  }
}

}  // namespace hostrt
