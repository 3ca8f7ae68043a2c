// The settings object (SilverlightConfigurationSettings): the six values of one binding, held as
// they were set until the object is released.
#pragma once

#include "contracts/plandesk_interfaces.h"
#include "win32/com_method.h"

#include <string>

namespace plandesk {

class ConfigurationSettings final
    : public win32::ComObject<ConfigurationSettings, PlanDesk::IPersistSilverlightConfigurationSettings,
                              ISupportErrorInfo> {
 public:
  HRESULT STDMETHODCALLTYPE get_MessageEncoding(BSTR* value) noexcept override { return Get(kMessageEncoding, value); }
  HRESULT STDMETHODCALLTYPE put_MessageEncoding(BSTR value) noexcept override { return Put(kMessageEncoding, value); }
  HRESULT STDMETHODCALLTYPE get_Transport(BSTR* value) noexcept override { return Get(kTransport, value); }
  HRESULT STDMETHODCALLTYPE put_Transport(BSTR value) noexcept override { return Put(kTransport, value); }
  HRESULT STDMETHODCALLTYPE get_AddressingVersion(BSTR* value) noexcept override { return Get(kAddressingVersion, value); }
  HRESULT STDMETHODCALLTYPE put_AddressingVersion(BSTR value) noexcept override { return Put(kAddressingVersion, value); }
  HRESULT STDMETHODCALLTYPE raw_Reserved13() noexcept override { return win32::NotImplemented(kSource); }
  HRESULT STDMETHODCALLTYPE raw_Reserved14() noexcept override { return win32::NotImplemented(kSource); }
  HRESULT STDMETHODCALLTYPE get_AuthenticationMode(BSTR* value) noexcept override { return Get(kAuthenticationMode, value); }
  HRESULT STDMETHODCALLTYPE put_AuthenticationMode(BSTR value) noexcept override { return Put(kAuthenticationMode, value); }
  HRESULT STDMETHODCALLTYPE raw_Reserved17() noexcept override { return win32::NotImplemented(kSource); }
  HRESULT STDMETHODCALLTYPE raw_Reserved18() noexcept override { return win32::NotImplemented(kSource); }
  HRESULT STDMETHODCALLTYPE get_UserName(BSTR* value) noexcept override { return Get(kUserName, value); }
  HRESULT STDMETHODCALLTYPE put_UserName(BSTR value) noexcept override { return Put(kUserName, value); }
  HRESULT STDMETHODCALLTYPE get_Password(BSTR* value) noexcept override { return Get(kPassword, value); }
  HRESULT STDMETHODCALLTYPE put_Password(BSTR value) noexcept override { return Put(kPassword, value); }

  HRESULT STDMETHODCALLTYPE InterfaceSupportsErrorInfo(REFIID riid) noexcept override;

 private:
  static inline const win32::ErrorSource kSource{&PlanDesk::IID_IPersistSilverlightConfigurationSettings,
                                                 PlanDesk::kProgIdSilverlightConfigurationSettings};
  enum Field { kMessageEncoding, kTransport, kAddressingVersion, kAuthenticationMode, kUserName, kPassword, kFields };

  HRESULT Get(Field field, BSTR* value) noexcept;
  HRESULT Put(Field field, BSTR value) noexcept;

  win32::OleString values_[kFields];
};

}  // namespace plandesk
