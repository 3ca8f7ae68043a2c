// The module directory.
#include "hostrt32/hostrt32.h"

#include "executable_dir.h"

#include <cstring>
#include <mutex>
#include <string>

namespace {

std::mutex g_mutex;
bool g_overridden = false;
std::string g_directory;

}  // namespace

extern "C" char* os_get_module_dir_name(char* mpszBuffer) {
  if (mpszBuffer == nullptr) return nullptr;
  std::string directory;
  {
    std::lock_guard<std::mutex> lock(g_mutex);
    directory = g_overridden ? g_directory : hostrt::detail::ExecutableDirectory();
  }
  // A directory that does not fit is not given at all: a cut-off path would name another folder.
  if (directory.empty() || directory.size() >= kOsMaxPath) return nullptr;
  std::memcpy(mpszBuffer, directory.c_str(), directory.size() + 1);
  return mpszBuffer;
}

extern "C" void os_set_module_dir_name(const char* mpszDirectory) {
  std::lock_guard<std::mutex> lock(g_mutex);
  g_overridden = mpszDirectory != nullptr;
  g_directory = mpszDirectory ? mpszDirectory : "";
  // The reported directory has no closing separator: callers add their own.
  while (g_directory.size() > 1 && (g_directory.back() == '/' || g_directory.back() == '\\')) g_directory.pop_back();
}
