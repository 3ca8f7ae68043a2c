// What the tests ask of the system, on POSIX and on Windows: temporary folders, environment
// variables, the time zone, and where the test program and the modules built beside it lie.
#pragma once

#include "win32/diagnostics.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#if defined(_WIN32)
#include <windows.h>
#include <aclapi.h>

#include <memory>
#else
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <ctime>
#endif

namespace testing_support {

// For the checks whose facts hold only elsewhere (POSIX file modes, our runtime's counters).
#if defined(_WIN32)
inline constexpr bool kWindows = true;
#else
inline constexpr bool kWindows = false;
#endif

#define SKIP_ON_WINDOWS(why) \
  if (::testing_support::kWindows) GTEST_SKIP() << "not on Windows: " << why

// A test that meets one of Wine's departures from Windows accepts exactly Wine's answer there
// and names the difference.
using win32::RunsUnderWine;

inline int ProcessId() {
#if defined(_WIN32)
  return static_cast<int>(GetCurrentProcessId());
#else
  return static_cast<int>(getpid());
#endif
}

// Whether permission bits stop this process (they do not stop root).
inline bool RunsAsRoot() {
#if defined(_WIN32)
  return false;
#else
  return geteuid() == 0;
#endif
}

// A new, empty folder (readable by this user only on POSIX); empty when none could be made.
inline std::filesystem::path MakeTempFolder(const std::string& prefix) {
  std::error_code ec;
  const std::filesystem::path base = std::filesystem::temp_directory_path(ec);
  if (ec) return {};
#if defined(_WIN32)
  static unsigned counter = 0;
  for (int attempt = 0; attempt < 1000; ++attempt) {
    const std::filesystem::path folder = base / (prefix + std::to_string(ProcessId()) + "-" +
                                                 std::to_string(GetTickCount()) + "-" + std::to_string(++counter));
    if (std::filesystem::create_directory(folder, ec)) return folder;
  }
  return {};
#else
  std::string pattern = (base / (prefix + "XXXXXX")).string();
  if (mkdtemp(pattern.data()) == nullptr) return {};
  return pattern;
#endif
}

inline void SetEnv(const char* name, const char* value) {
#if defined(_WIN32)
  _putenv_s(name, value);
#else
  setenv(name, value, 1);
#endif
}

inline void UnsetEnv(const char* name) {
#if defined(_WIN32)
  _putenv_s(name, "");
#else
  unsetenv(name);
#endif
}

// Makes the C library read TZ again.
inline void ReloadTimeZone() {
#if defined(_WIN32)
  _tzset();
#else
  tzset();
#endif
}

// Whether only the file's owner may open it: mode 0600 on POSIX; on Windows an access list that
// inherits nothing and holds one entry, allowing the user this process runs as. Wine keeps no
// access lists on files: it derives one from the POSIX mode, where an owner-only file shows
// entries for SYSTEM and the owner and none for Everyone.
inline bool FileIsPrivate(const std::filesystem::path& file) {
#if defined(_WIN32)
  HANDLE token = nullptr;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return false;
  DWORD size = 0;
  GetTokenInformation(token, TokenUser, nullptr, 0, &size);
  std::unique_ptr<BYTE[]> user(new BYTE[size ? size : 1]);
  const bool haveUser = GetTokenInformation(token, TokenUser, user.get(), size, &size);
  CloseHandle(token);
  if (!haveUser) return false;
  PACL dacl = nullptr;
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  if (GetNamedSecurityInfoW(file.c_str(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr, &dacl, nullptr,
                            &descriptor) != ERROR_SUCCESS) {
    return false;
  }
  const PSID self = reinterpret_cast<TOKEN_USER*>(user.get())->User.Sid;
  BYTE systemSid[SECURITY_MAX_SID_SIZE];
  DWORD systemSize = sizeof systemSid;
  CreateWellKnownSid(WinLocalSystemSid, nullptr, systemSid, &systemSize);
  const bool wine = RunsUnderWine();
  SECURITY_DESCRIPTOR_CONTROL control = 0;
  DWORD revision = 0;
  bool owner = GetSecurityDescriptorControl(descriptor, &control, &revision) &&
               (wine || (control & SE_DACL_PROTECTED)) && dacl != nullptr && dacl->AceCount >= 1;
  bool ownerFound = false;
  for (DWORD i = 0; owner && i < dacl->AceCount; ++i) {
    void* ace = nullptr;
    if (!GetAce(dacl, i, &ace)) {
      owner = false;
      break;
    }
    const auto* allowed = static_cast<ACCESS_ALLOWED_ACE*>(ace);
    const PSID sid = const_cast<DWORD*>(&allowed->SidStart);
    const bool isSelf = EqualSid(sid, self);
    ownerFound = ownerFound || isSelf;
    owner = allowed->Header.AceType == ACCESS_ALLOWED_ACE_TYPE &&
            (isSelf || (wine && EqualSid(sid, systemSid))) && (wine || dacl->AceCount == 1);
  }
  LocalFree(descriptor);
  return owner && ownerFound;
#else
  struct stat st {};
  return ::stat(file.c_str(), &st) == 0 && (st.st_mode & 07777) == 0600;
#endif
}

// Lowers the largest file this process may write for its lifetime, so that a write stops part of
// the way. Windows has no such limit: there it changes nothing.
class FileSizeLimit {
 public:
#if defined(_WIN32)
  explicit FileSizeLimit(unsigned long) {}
#else
  explicit FileSizeLimit(rlim_t bytes) {
    getrlimit(RLIMIT_FSIZE, &old_);
    oldHandler_ = std::signal(SIGXFSZ, SIG_IGN);
    rlimit limit = old_;
    limit.rlim_cur = bytes;
    setrlimit(RLIMIT_FSIZE, &limit);
  }
  ~FileSizeLimit() {
    setrlimit(RLIMIT_FSIZE, &old_);
    std::signal(SIGXFSZ, oldHandler_);
  }
#endif
  FileSizeLimit(const FileSizeLimit&) = delete;
  FileSizeLimit& operator=(const FileSizeLimit&) = delete;

#if !defined(_WIN32)
 private:
  rlimit old_{};
  void (*oldHandler_)(int) = nullptr;
#endif
};

// The folder of the running test program.
inline std::filesystem::path ProgramFolder() {
#if defined(_WIN32)
  wchar_t path[MAX_PATH];
  const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
  return std::filesystem::path(std::wstring(path, length)).parent_path();
#else
  return std::filesystem::canonical("/proc/self/exe").parent_path();
#endif
}

// A module the build made, as the test names it: the path the build gave on POSIX; on Windows the
// same file beside the test program (the build's own path is a Linux path under Wine).
inline std::string BuiltModule(const char* built) {
#if defined(_WIN32)
  return (ProgramFolder() / std::filesystem::path(built).filename()).string();
#else
  return built;
#endif
}

}  // namespace testing_support
