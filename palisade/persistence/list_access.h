// Reading values out of the persist objects, the way every look-up of the library does it.
#pragma once

#include "contracts/vaultline_interfaces.h"
#include "frame/conversions.h"

#include <string>

namespace persistence {

// The COM methods are __stdcall on 32-bit Windows, so the pointers to them say so.
//
// Calls a string get and, when it succeeds, assigns its text to `target` (a null string reads as
// ""); a failed get leaves `target` as it was. The string is freed once converted.
template <class Object>
void CopyText(Object* object, HRESULT (STDMETHODCALLTYPE Object::*get)(BSTR*), std::string& target) {
  win32::Bstr text;
  if (SUCCEEDED((object->*get)(text.out()))) target = frame::FromBstr(text.get());
}

// The same for a flag: true only for exactly VARIANT_TRUE (-1).
template <class Object>
void CopyFlag(Object* object, HRESULT (STDMETHODCALLTYPE Object::*get)(VARIANT_BOOL*), bool& target) {
  VARIANT_BOOL value = VARIANT_FALSE;
  if (SUCCEEDED((object->*get)(&value))) target = value == VARIANT_TRUE;
}

// The item under `key` (GetItemByKey raises when it fails) as IPersistSilverlightListItemRO;
// empty when the item does not offer that interface.
inline CComPtr<Vaultline::IPersistSilverlightListItemRO> ItemByKey(Vaultline::IPersistSilverlightList* list, BSTR key) {
  CComPtr<Vaultline::IPersistSilverlightListItem> item = list->GetItemByKey(key);
  CComPtr<Vaultline::IPersistSilverlightListItemRO> values;
  if (item) item.QueryInterface(&values.p);
  return values;
}

}  // namespace persistence
