#include "settings_object.h"

#include "win32/strings.h"

namespace plandesk {

HRESULT ConfigurationSettings::InterfaceSupportsErrorInfo(REFIID riid) noexcept {
  return riid == PlanDesk::IID_IPersistSilverlightConfigurationSettings ? S_OK : S_FALSE;
}

HRESULT ConfigurationSettings::Get(Field field, BSTR* value) noexcept {
  return win32::RunMethod(kSource, [&]() -> HRESULT {
    if (value == nullptr) return kSource.Fail(E_POINTER, "no place for the value was given");
    *value = nullptr;
    *value = win32::Bstr(values_[field]).Detach();
    return S_OK;
  });
}

HRESULT ConfigurationSettings::Put(Field field, BSTR value) noexcept {
  return win32::RunMethod(kSource, [&] {
    values_[field] = win32::ToView(value);
    return S_OK;
  });
}

}  // namespace plandesk
