// The in-process server of the browser: the class object of the browser application.
#include "browser/web_browser.h"

extern "C" __attribute__((visibility("default"))) HRESULT STDMETHODCALLTYPE DllGetClassObject(REFCLSID clsid,
                                                                                               REFIID riid,
                                                                                               void** ppv) {
  if (ppv == nullptr) return E_POINTER;
  *ppv = nullptr;
  if (clsid != CLSID_InternetExplorer) return CLASS_E_CLASSNOTAVAILABLE;
  return win32::ClassFactory<browser::WebBrowser>::Create(riid, ppv);
}
