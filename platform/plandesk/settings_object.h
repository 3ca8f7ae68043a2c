// The settings object (SilverlightConfigurationSettings): the six values of one binding, held as
// they were set until the object is released.
#pragma once

#include "palisade/serviceconfig/plandesk_interfaces.h"
#include "win32/com_object.h"

#include <string>

namespace plandesk {

class ConfigurationSettings final
    : public win32::ComObject<ConfigurationSettings, PlanDesk::IPersistSilverlightConfigurationSettings,
                              ISupportErrorInfo> {
 public:
  HRESULT STDMETHODCALLTYPE raw_get_MessageEncoding(BSTR* value) override { return Get(kMessageEncoding, value); }
  HRESULT STDMETHODCALLTYPE raw_put_MessageEncoding(BSTR value) override { return Put(kMessageEncoding, value); }
  HRESULT STDMETHODCALLTYPE raw_get_Transport(BSTR* value) override { return Get(kTransport, value); }
  HRESULT STDMETHODCALLTYPE raw_put_Transport(BSTR value) override { return Put(kTransport, value); }
  HRESULT STDMETHODCALLTYPE raw_get_AddressingVersion(BSTR* value) override { return Get(kAddressingVersion, value); }
  HRESULT STDMETHODCALLTYPE raw_put_AddressingVersion(BSTR value) override { return Put(kAddressingVersion, value); }
  HRESULT STDMETHODCALLTYPE raw_Reserved13() override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE raw_Reserved14() override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE raw_get_AuthenticationMode(BSTR* value) override { return Get(kAuthenticationMode, value); }
  HRESULT STDMETHODCALLTYPE raw_put_AuthenticationMode(BSTR value) override { return Put(kAuthenticationMode, value); }
  HRESULT STDMETHODCALLTYPE raw_Reserved17() override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE raw_Reserved18() override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE raw_get_UserName(BSTR* value) override { return Get(kUserName, value); }
  HRESULT STDMETHODCALLTYPE raw_put_UserName(BSTR value) override { return Put(kUserName, value); }
  HRESULT STDMETHODCALLTYPE raw_get_Password(BSTR* value) override { return Get(kPassword, value); }
  HRESULT STDMETHODCALLTYPE raw_put_Password(BSTR value) override { return Put(kPassword, value); }

  HRESULT STDMETHODCALLTYPE InterfaceSupportsErrorInfo(REFIID riid) override;

 private:
  enum Field { kMessageEncoding, kTransport, kAddressingVersion, kAuthenticationMode, kUserName, kPassword, kFields };

  HRESULT Get(Field field, BSTR* value) noexcept;
  HRESULT Put(Field field, BSTR value) noexcept;

  win32::OleString values_[kFields];
};

}  // namespace plandesk
