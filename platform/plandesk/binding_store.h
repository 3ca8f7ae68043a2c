// Storing a binding in the configuration file of a service: read, merge, replace atomically.
//
// One file per service in the script folder (named by SafeFileName), created with mode 0600 as it
// holds a password, and written whole to a temporary file that is renamed into place. An existing
// file that is not well-formed XML, not a configuration, larger than 1 MiB or nested more than 64
// elements deep is refused and left as it is.
#pragma once

#include "binding_document.h"
#include "win32/base.h"

#include <string>
#include <string_view>

namespace plandesk {

// The permission bits of a configuration file, on creation and on every rewrite.
inline constexpr unsigned kConfigurationFileMode = 0600;

struct StoreOutcome {
  HRESULT hr = S_OK;    // a failure HRESULT when the store could not be done
  bool stored = false;  // the file on disk holds the binding
  std::string reason;   // why it failed, one line of UTF-8
};

// Stores `values` as the binding `port` of service `serviceName` in `scriptFolder` (a path that
// may use '\' separators). Without `createIfMissing` a missing file stays missing: S_OK, not stored.
StoreOutcome StoreBinding(win32::OleStringView scriptFolder, win32::OleStringView serviceName, const std::string& port,
                          const BindingValues& values, bool createIfMissing);

}  // namespace plandesk
