// The name of the file that holds a service's configuration inside the script folder.
//
// A service name that is already a safe file name is used as it is, with ".config" appended.
// Any other name is made safe by the steps below and then gets "-" and eight hex digits of a hash
// of the whole original name, so that services whose names differ only in unsafe parts still get
// files of their own:
//
//   1. '/', '\', the reserved characters < > : " | ? *, NUL and other control characters (C0, DEL,
//      C1), unpaired surrogates, U+FFFE/U+FFFF and the invisible direction marks each become '_'.
//   2. Leading and trailing dots and blanks go (no hidden files, nothing Windows would strip).
//   3. A name left empty becomes "unnamed-service".
//   4. A Windows device name (CON, PRN, AUX, NUL, COM0-9, LPT0-9, before the first dot and in any
//      case) gets a leading '_'.
//   5. A name longer than 120 bytes of UTF-8 is cut after the last whole character that fits, so
//      that the name, the hash, the extension and a temporary suffix stay far below 255 bytes.
//
//   "Calculator"        -> "Calculator.config"
//   "Büro Dienst"       -> "Büro Dienst.config"           (UTF-8; inner blanks stay)
//   ""                  -> "unnamed-service.config"       (fixed, no hash)
//   "a/b\c"             -> "a_b_c-1c5b1c4e.config"        (hash digits illustrative)
//   "../../etc/passwd"  -> "_.._etc_passwd-....config"
//   ".."                -> "unnamed-service-....config"
//   "con"               -> "_con-....config"
//   10,000 x "s"        -> 120 x "s" + "-....config"
//
// The result never holds a separator, so it never names a place outside the script folder.
// Names that differ only in case share one file on a case-insensitive file system.
#pragma once

#include "win32/base.h"

#include <string>

namespace plandesk {

// The file name (UTF-8, with extension) for `serviceName`.
std::string SafeFileName(win32::OleStringView serviceName);

}  // namespace plandesk
