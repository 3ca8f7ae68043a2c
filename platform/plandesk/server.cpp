// The in-process server of PlanDesk: the class objects of the settings and the utilities classes.
#include "settings_object.h"
#include "utilities_object.h"

#include "win32/inproc_server.h"

extern "C" WIN32_SERVER_EXPORT HRESULT STDMETHODCALLTYPE DllGetClassObject(REFCLSID clsid, REFIID riid, void** ppv) {
  static constexpr win32::ServedClass kClasses[] = {
      win32::Served<plandesk::ConfigurationUtilities>(PlanDesk::CLSID_SilverlightPalisades),
      win32::Served<plandesk::ConfigurationSettings>(PlanDesk::CLSID_SilverlightConfigurationSettings),
  };
  return win32::ServeClassObject(kClasses, clsid, riid, ppv);
}
