// The utilities object (SilverlightPalisades): stores the values of a settings object as a binding
// in the configuration file of a service (binding_store.h).
#pragma once

#include "contracts/plandesk_interfaces.h"
#include "win32/com_method.h"

namespace plandesk {

class ConfigurationUtilities final
    : public win32::ComObject<ConfigurationUtilities, PlanDesk::IPersistSilverlightPalisades, ISupportErrorInfo> {
 public:
  // Every failure leaves error information with a one-line reason for this interface.
  HRESULT STDMETHODCALLTYPE raw_StoreConfigurationToFile(
      PlanDesk::IPersistSilverlightConfigurationSettings* ConfigurationSettings, BSTR serviceName, BSTR scriptPath,
      VARIANT_BOOL createIfMissing, BSTR portName, VARIANT_BOOL* result) noexcept override;

  HRESULT STDMETHODCALLTYPE InterfaceSupportsErrorInfo(REFIID riid) noexcept override;
};

}  // namespace plandesk
