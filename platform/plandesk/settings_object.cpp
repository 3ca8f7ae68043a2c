#include "settings_object.h"

#include "win32/strings.h"

namespace plandesk {

HRESULT ConfigurationSettings::InterfaceSupportsErrorInfo(REFIID riid) {
  return riid == PlanDesk::IID_IPersistSilverlightConfigurationSettings ? S_OK : S_FALSE;
}

HRESULT ConfigurationSettings::Get(Field field, BSTR* value) noexcept {
  return win32::ComBoundary([&]() -> HRESULT {
    if (value == nullptr) {
      return win32::ReportError(E_POINTER, PlanDesk::IID_IPersistSilverlightConfigurationSettings,
                                PlanDesk::kProgIdSilverlightConfigurationSettings,
                                OLESTR("no place for the value was given"));
    }
    *value = nullptr;
    *value = win32::Bstr(values_[field]).Detach();
    return S_OK;
  });
}

HRESULT ConfigurationSettings::Put(Field field, BSTR value) noexcept {
  return win32::ComBoundary([&] {
    values_[field] = win32::ToView(value);
    return S_OK;
  });
}

}  // namespace plandesk
