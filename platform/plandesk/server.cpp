// The in-process server of PlanDesk: the class objects of the settings and the utilities classes.
#include "settings_object.h"
#include "utilities_object.h"

#if defined(_WIN32)
#define PLANDESK_EXPORT __declspec(dllexport)
#else
#define PLANDESK_EXPORT __attribute__((visibility("default")))
#endif

extern "C" PLANDESK_EXPORT HRESULT STDMETHODCALLTYPE DllGetClassObject(REFCLSID clsid, REFIID riid, void** ppv) {
  return win32::ComBoundary([&]() -> HRESULT {
    if (ppv == nullptr) return E_POINTER;
    *ppv = nullptr;
    if (clsid == PlanDesk::CLSID_SilverlightPalisades) {
      return win32::ClassFactory<plandesk::ConfigurationUtilities>::Create(riid, ppv);
    }
    if (clsid == PlanDesk::CLSID_SilverlightConfigurationSettings) {
      return win32::ClassFactory<plandesk::ConfigurationSettings>::Create(riid, ppv);
    }
    return CLASS_E_CLASSNOTAVAILABLE;
  });
}
