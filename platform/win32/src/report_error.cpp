// win32::ReportError: leaves error information through the COM functions, ours or the system's.
#include "win32/com_object.h"

namespace win32 {

HRESULT ReportError(HRESULT hr, REFIID iid, const OleString& source, const OleString& description) noexcept {
  CComPtr<ICreateErrorInfo> create;
  if (FAILED(CreateErrorInfo(&create)) || !create) return hr;
  create->SetGUID(iid);
  create->SetSource(const_cast<LPOLESTR>(source.c_str()));
  create->SetDescription(const_cast<LPOLESTR>(description.c_str()));
  CComPtr<IErrorInfo> info;
  if (SUCCEEDED(create.QueryInterface(&info.p))) SetErrorInfo(0, info);
  return hr;
}

}  // namespace win32
