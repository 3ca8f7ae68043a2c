// The COM contract of PlanDesk, the product's configuration component: a settings object that holds
// the values of one service binding, and a utilities object that stores them for a load-test script.
// Binary interfaces: slot order, IIDs and CLSIDs are what the compiled component and library share.
//
// Both interfaces are dual: IUnknown and IDispatch fill slots 0 to 6 and the own operations follow
// from slot 7 in declaration order. The slots a caller of the library does not use hold placeholder
// members, so that every slot number holds exactly; do not reorder, insert or remove members.
//
// Conventions (those of type-library imports): a method's virtual is `raw_Name`, a property's
// virtuals are `get_Name(T* out)` / `put_Name(T value)`; where a caller wants a raised error
// instead, the inline `Name` calls the virtual through win32::RaiseOnFailure. Strings cross as BSTRs: a `put_` copies its argument and the
// caller keeps (and frees) it; a `get_` hands out a new BSTR that the caller frees. A NULL BSTR
// counts as the empty string.
#pragma once

#include "win32/com.h"
#include "win32/comerror.h"

namespace PlanDesk {

inline constexpr IID IID_IPersistSilverlightPalisades = {
    0x45DAE019, 0x8E4A, 0x4795, {0x82, 0x1A, 0x38, 0xEE, 0x47, 0xA4, 0xF0, 0x16}};
inline constexpr IID IID_IPersistSilverlightConfigurationSettings = {
    0x446DC7F8, 0x1D0E, 0x42C6, {0xB4, 0x35, 0x6F, 0xFB, 0x1D, 0xDF, 0xD2, 0xAD}};

// The classes of the component, fixed so that the registration files name them stably.
inline constexpr CLSID CLSID_SilverlightPalisades = {
    0x7C3E5A41, 0x2B9D, 0x4F0E, {0x9A, 0x61, 0x3D, 0x52, 0xC8, 0x0B, 0x71, 0xE4}};
inline constexpr CLSID CLSID_SilverlightConfigurationSettings = {
    0x7C3E5A42, 0x2B9D, 0x4F0E, {0x9A, 0x61, 0x3D, 0x52, 0xC8, 0x0B, 0x71, 0xE4}};

// The utilities object, which answers IPersistSilverlightPalisades.
inline constexpr OLECHAR kProgIdSilverlightPalisades[] = OLESTR("Ostrum.Kelvane.Silverlight.SilverlightPalisades");
// The settings object, which answers IPersistSilverlightConfigurationSettings.
inline constexpr OLECHAR kProgIdSilverlightConfigurationSettings[] =
    OLESTR("Ostrum.Kelvane.Silverlight.SilverlightConfigurationSettings");

struct IPersistSilverlightConfigurationSettings;
struct IPersistSilverlightPalisades;

}  // namespace PlanDesk

PL_DECLARE_IID(PlanDesk::IPersistSilverlightConfigurationSettings, PlanDesk::IID_IPersistSilverlightConfigurationSettings);
PL_DECLARE_IID(PlanDesk::IPersistSilverlightPalisades, PlanDesk::IID_IPersistSilverlightPalisades);

namespace PlanDesk {

// The six string values of one service binding. The setters are what the library calls; the
// getters let the component (or any other holder) read the values back.
struct IPersistSilverlightConfigurationSettings : IDispatch {
  virtual HRESULT STDMETHODCALLTYPE get_MessageEncoding(BSTR* value) = 0;      // slot 7
  virtual HRESULT STDMETHODCALLTYPE put_MessageEncoding(BSTR value) = 0;       // slot 8
  virtual HRESULT STDMETHODCALLTYPE get_Transport(BSTR* value) = 0;            // slot 9
  virtual HRESULT STDMETHODCALLTYPE put_Transport(BSTR value) = 0;             // slot 10
  virtual HRESULT STDMETHODCALLTYPE get_AddressingVersion(BSTR* value) = 0;    // slot 11
  virtual HRESULT STDMETHODCALLTYPE put_AddressingVersion(BSTR value) = 0;     // slot 12
  virtual HRESULT STDMETHODCALLTYPE raw_Reserved13() = 0;                          // slot 13, E_NOTIMPL
  virtual HRESULT STDMETHODCALLTYPE raw_Reserved14() = 0;                          // slot 14, E_NOTIMPL
  virtual HRESULT STDMETHODCALLTYPE get_AuthenticationMode(BSTR* value) = 0;   // slot 15
  virtual HRESULT STDMETHODCALLTYPE put_AuthenticationMode(BSTR value) = 0;    // slot 16
  virtual HRESULT STDMETHODCALLTYPE raw_Reserved17() = 0;                          // slot 17, E_NOTIMPL
  virtual HRESULT STDMETHODCALLTYPE raw_Reserved18() = 0;                          // slot 18, E_NOTIMPL
  virtual HRESULT STDMETHODCALLTYPE get_UserName(BSTR* value) = 0;             // slot 19
  virtual HRESULT STDMETHODCALLTYPE put_UserName(BSTR value) = 0;              // slot 20
  virtual HRESULT STDMETHODCALLTYPE get_Password(BSTR* value) = 0;             // slot 21
  virtual HRESULT STDMETHODCALLTYPE put_Password(BSTR value) = 0;              // slot 22
};

// Stores the settings of a service binding for a script.
struct IPersistSilverlightPalisades : IDispatch {
  // Reads `ConfigurationSettings` during the call (no reference is kept) and stores its values as
  // the binding `portName` of service `serviceName` in the folder `scriptPath`. Any non-zero
  // `createIfMissing` creates the service's configuration when there is none. *result is
  // VARIANT_TRUE once the configuration is on disk, VARIANT_FALSE when nothing was stored.
  virtual HRESULT STDMETHODCALLTYPE raw_StoreConfigurationToFile(IPersistSilverlightConfigurationSettings* ConfigurationSettings,
                                                                 BSTR serviceName, BSTR scriptPath,
                                                                 VARIANT_BOOL createIfMissing, BSTR portName,
                                                                 VARIANT_BOOL* result) = 0;  // slot 7

  // raw_StoreConfigurationToFile returning the result flag; raises _com_error on a failure HRESULT.
  VARIANT_BOOL StoreConfigurationToFile(IPersistSilverlightConfigurationSettings* ConfigurationSettings,
                                        BSTR serviceName, BSTR scriptPath, VARIANT_BOOL createIfMissing,
                                        BSTR portName) {
    VARIANT_BOOL result = VARIANT_FALSE;
    win32::RaiseOnFailure(
        raw_StoreConfigurationToFile(ConfigurationSettings, serviceName, scriptPath, createIfMissing, portName, &result),
        this);
    return result;
  }
};

}  // namespace PlanDesk
