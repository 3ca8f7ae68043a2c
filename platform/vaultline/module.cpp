// The component's entry point: the class objects of the two creatable classes.
#include "list_item.h"
#include "silverlight_list.h"

#if defined(_WIN32)
#define VAULTLINE_EXPORT __declspec(dllexport)
#else
#define VAULTLINE_EXPORT __attribute__((visibility("default")))
#endif

extern "C" VAULTLINE_EXPORT HRESULT STDMETHODCALLTYPE DllGetClassObject(REFCLSID clsid, REFIID riid, void** ppv) {
  if (ppv == nullptr) return E_POINTER;
  *ppv = nullptr;
  if (clsid == Vaultline::CLSID_SilverlightList) {
    return win32::ClassFactory<vaultline::SilverlightList>::Create(riid, ppv);
  }
  if (clsid == Vaultline::CLSID_SilverlightListItemRO) {
    return win32::ClassFactory<vaultline::ListItem>::Create(riid, ppv);
  }
  return CLASS_E_CLASSNOTAVAILABLE;
}
