// Where the product's data files are: the "dat" folder beside the module directory.
#pragma once

#include <cstddef>

namespace frame {

inline constexpr std::size_t kPathBuffer = 260;

// Forms "<module dir>\..\dat\<fileName>" into `path`. false, with `path` empty, when the module
// directory cannot be given or the path would not fit: a cut-off path names another file.
bool LocateDataFile(const char* fileName, char (&path)[kPathBuffer]);

}  // namespace frame
