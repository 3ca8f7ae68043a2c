// Where the running program lies: what the system tells about the module directory.
#pragma once

#include <string>

namespace hostrt::detail {

// The folder of the running executable, without a closing separator (in the ANSI code page on
// Windows); empty when it cannot be told or cannot be written in that code page.
std::string ExecutableDirectory();

}  // namespace hostrt::detail
