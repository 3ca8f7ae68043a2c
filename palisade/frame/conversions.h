// Text <-> COM string conversions in the ANSI code page.
//
// A null text gives a null BSTR, an empty text an empty non-null one; a null BSTR reads as "".
// A failed conversion raises _com_error with the system error as an HRESULT, a failed
// allocation _com_error(E_OUTOFMEMORY).
#pragma once

#include "win32/strings.h"

#include <string>

namespace frame {

win32::Bstr ToBstr(const char* text);
win32::Bstr ToBstr(const std::string& text);
// The string up to its first NUL.
std::string FromBstr(BSTR text);

}  // namespace frame
