// The in-process server of the browser: the class object of the browser application.
#include "browser/web_browser.h"

#include "win32/inproc_server.h"

extern "C" WIN32_SERVER_EXPORT HRESULT STDMETHODCALLTYPE DllGetClassObject(REFCLSID clsid, REFIID riid, void** ppv) {
  static constexpr win32::ServedClass kClasses[] = {win32::Served<browser::WebBrowser>(CLSID_InternetExplorer)};
  return win32::ServeClassObject(kClasses, clsid, riid, ppv);
}
