// The in-process server of the activation tests.
#include "test_widget.h"
#include "win32/com_object.h"

namespace {

class Widget final : public win32::ComObject<Widget, IWidget> {
 public:
  HRESULT STDMETHODCALLTYPE Answer(LONG* value) override {
    if (value == nullptr) return E_POINTER;
    *value = kServerAnswer;
    return S_OK;
  }
};

}  // namespace

extern "C" TEST_SERVER_EXPORT HRESULT STDMETHODCALLTYPE DllGetClassObject(REFCLSID clsid, REFIID riid, void** ppv) {
  if (ppv == nullptr) return E_POINTER;
  *ppv = nullptr;
  if (clsid != CLSID_TestWidget) return CLASS_E_CLASSNOTAVAILABLE;
  return win32::ClassFactory<Widget>::Create(riid, ppv);
}
