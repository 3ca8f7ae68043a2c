#include "frame/data_file.h"

#include "hostrt32/hostrt32.h"

#include <cstdio>
#include <cstring>

namespace frame {

bool LocateDataFile(const char* fileName, char (&path)[kPathBuffer]) {
  std::memset(path, 0, sizeof path);
  char directory[kPathBuffer];
  std::memset(directory, 0, sizeof directory);
  if (os_get_module_dir_name(directory) == nullptr) return false;
  const int length = std::snprintf(path, sizeof path, "%s\\..\\dat\\%s", directory, fileName);
  if (length < 0 || static_cast<std::size_t>(length) >= sizeof path) {
    std::memset(path, 0, sizeof path);
    return false;
  }
  return true;
}

}  // namespace frame
