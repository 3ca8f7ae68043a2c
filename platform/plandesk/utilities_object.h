// The utilities object (SilverlightPalisades): stores the values of a settings object as a binding
// in the configuration file of a service (binding_store.h).
#pragma once

#include "palisade/serviceconfig/plandesk_interfaces.h"
#include "win32/com_object.h"

namespace plandesk {

class ConfigurationUtilities final
    : public win32::ComObject<ConfigurationUtilities, PlanDesk::IPersistSilverlightPalisades, ISupportErrorInfo> {
 public:
  // Every failure leaves error information with a one-line reason for this interface.
  HRESULT STDMETHODCALLTYPE raw_StoreConfigurationToFile(
      PlanDesk::IPersistSilverlightConfigurationSettings* ConfigurationSettings, BSTR serviceName, BSTR scriptPath,
      VARIANT_BOOL createIfMissing, BSTR portName, VARIANT_BOOL* result) override;

  HRESULT STDMETHODCALLTYPE InterfaceSupportsErrorInfo(REFIID riid) override;
};

}  // namespace plandesk
