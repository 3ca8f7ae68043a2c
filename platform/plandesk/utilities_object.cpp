#include "utilities_object.h"

#include "binding_store.h"
#include "win32/strings.h"

namespace plandesk {
namespace {

using Settings = PlanDesk::IPersistSilverlightConfigurationSettings;

struct SettingsField {
  const char* name;
  HRESULT (STDMETHODCALLTYPE Settings::*get)(BSTR*);
  std::string BindingValues::*member;
};

constexpr SettingsField kSettingsFields[] = {
    {"message encoding", &Settings::get_MessageEncoding, &BindingValues::messageEncoding},
    {"transport", &Settings::get_Transport, &BindingValues::transport},
    {"addressing version", &Settings::get_AddressingVersion, &BindingValues::addressingVersion},
    {"authentication mode", &Settings::get_AuthenticationMode, &BindingValues::authenticationMode},
    {"user name", &Settings::get_UserName, &BindingValues::userName},
    {"password", &Settings::get_Password, &BindingValues::password},
};

const win32::ErrorSource kSource{&PlanDesk::IID_IPersistSilverlightPalisades, PlanDesk::kProgIdSilverlightPalisades};

// XML 1.0 has no way to write these, not even as character references.
bool XmlCanCarry(win32::OleStringView text) {
  for (const OLECHAR c : text) {
    const bool lineOrTab = c == OLESTR('\t') || c == OLESTR('\n') || c == OLESTR('\r');
    if ((c < 0x20 && !lineOrTab) || c == 0xFFFE || c == 0xFFFF) return false;
  }
  return true;
}

HRESULT ToXmlText(win32::OleStringView text, const char* what, std::string& utf8) {
  if (!XmlCanCarry(text)) {
    return kSource.Fail(E_INVALIDARG, std::string("the ") + what + " holds a control character that XML cannot carry");
  }
  utf8 = win32::Narrow(text, CP_UTF8);
  return S_OK;
}

// Reads through the interface, so that any implementation of the settings can be stored.
HRESULT ReadSettings(Settings* settings, BindingValues& values) {
  for (const SettingsField& field : kSettingsFields) {
    win32::Bstr text;
    if (const HRESULT hr = (settings->*field.get)(text.out()); FAILED(hr)) {
      return kSource.Fail(hr, std::string("the settings object did not give its ") + field.name);
    }
    if (const HRESULT hr = ToXmlText(text.view(), field.name, values.*field.member); FAILED(hr)) return hr;
  }
  return S_OK;
}

}  // namespace

HRESULT ConfigurationUtilities::InterfaceSupportsErrorInfo(REFIID riid) noexcept {
  return riid == PlanDesk::IID_IPersistSilverlightPalisades ? S_OK : S_FALSE;
}

HRESULT ConfigurationUtilities::raw_StoreConfigurationToFile(Settings* ConfigurationSettings, BSTR serviceName,
                                                             BSTR scriptPath, VARIANT_BOOL createIfMissing,
                                                             BSTR portName, VARIANT_BOOL* result) noexcept {
  return win32::RunMethod(kSource, [&]() -> HRESULT {
    if (result == nullptr) return kSource.Fail(E_POINTER, "no place for the result was given");
    *result = VARIANT_FALSE;
    if (ConfigurationSettings == nullptr) return kSource.Fail(E_POINTER, "no settings object was given");

    BindingValues values;
    if (const HRESULT hr = ReadSettings(ConfigurationSettings, values); FAILED(hr)) return hr;
    std::string port;
    if (const HRESULT hr = ToXmlText(win32::ToView(portName), "port name", port); FAILED(hr)) return hr;
    const win32::OleStringView folder = win32::ToView(scriptPath);
    // The path goes to the system as a C string: a NUL would silently name another folder.
    if (folder.find(OLESTR('\0')) != win32::OleStringView::npos) {
      return kSource.Fail(E_INVALIDARG, "the script folder path holds a NUL character");
    }

    const StoreOutcome outcome =
        StoreBinding(folder, win32::ToView(serviceName), port, values, createIfMissing != 0);
    if (FAILED(outcome.hr)) return kSource.Fail(outcome.hr, outcome.reason);
    *result = outcome.stored ? VARIANT_TRUE : VARIANT_FALSE;
    return S_OK;
  });
}

}  // namespace plandesk
