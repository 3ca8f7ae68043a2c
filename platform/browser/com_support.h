// What the component's COM methods share.
#pragma once

#include "win32/com_object.h"

#include <string>
#include <string_view>

namespace browser {

inline constexpr OLECHAR kProgId[] = u"InternetExplorer.Application";

// RPC_E_DISCONNECTED: the browser behind the object has quit.
inline constexpr HRESULT kDisconnected = PL_HR(0x80010108);
// CO_E_SERVER_EXEC_FAILURE: the browser did not start.
inline constexpr HRESULT kServerExecFailure = PL_HR(0x80080005);

// Leaves `reason` (UTF-8, one line) as error information for `iid`; returns `hr`.
HRESULT Fail(HRESULT hr, REFIID iid, std::string_view reason) noexcept;

// A new BSTR copy of `text` in *out; E_POINTER or E_OUTOFMEMORY when that cannot be.
HRESULT CopyOut(const std::u16string& text, BSTR* out) noexcept;

}  // namespace browser
