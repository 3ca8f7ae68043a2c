// The component's entry point: the class objects of the two creatable classes.
#include "list_item.h"
#include "silverlight_list.h"

#include "win32/inproc_server.h"

extern "C" WIN32_SERVER_EXPORT HRESULT STDMETHODCALLTYPE DllGetClassObject(REFCLSID clsid, REFIID riid, void** ppv) {
  static constexpr win32::ServedClass kClasses[] = {
      win32::Served<vaultline::SilverlightList>(Vaultline::CLSID_SilverlightList),
      win32::Served<vaultline::ListItem>(Vaultline::CLSID_SilverlightListItemRO),
  };
  return win32::ServeClassObject(kClasses, clsid, riid, ppv);
}
