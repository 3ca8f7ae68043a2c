#include "palisade/plandesk_configuration.h"

#include "frame/com_creation.h"
#include "frame/conversions.h"
#include "contracts/plandesk_interfaces.h"
#include "serviceconfig/soap_analysis.h"

using PlanDesk::IPersistSilverlightConfigurationSettings;
using PlanDesk::IPersistSilverlightPalisades;

// Each object and each copy enter COM (win32::Apartment); the pointer is shared by copies and
// released before COM is left.
PlanDeskConfiguration::PlanDeskConfiguration() = default;
PlanDeskConfiguration::PlanDeskConfiguration(const PlanDeskConfiguration& other) = default;
PlanDeskConfiguration& PlanDeskConfiguration::operator=(const PlanDeskConfiguration& other) = default;
PlanDeskConfiguration::~PlanDeskConfiguration() = default;

bool PlanDeskConfiguration::UpdateServiceConfiguration(std::string serviceName, std::string portName,
                                                       std::string scriptPath, std::string messageHeader,
                                                       OsStrBin messageBody, bool /*toCreate*/,
                                                       std::string& /*configurationFile*/) {
  // The same steps as IsBinaryContent, getAddressingVersion and setAuthenticationMode, in that
  // order, each body step on a copy of its own.
  const ConfigurationTypes config = analysis::DeriveConfiguration(messageHeader, messageBody);
  // A missing configuration is always created, whatever the caller asked.
  return WriteConfigurationToFile(config, serviceName, scriptPath, true, portName);
}

bool PlanDeskConfiguration::IsBinaryContent(std::string& mMsgHeader) { return analysis::IsBinaryContent(mMsgHeader); }

std::string PlanDeskConfiguration::getAddressingVersion(OsStrBin messageBody) {
  return analysis::GetAddressingVersion(messageBody);
}

bool PlanDeskConfiguration::setAuthenticationMode(OsStrBin messageBody, SecuritySettings& security) {
  return analysis::SetAuthenticationMode(messageBody, security);
}

void PlanDeskConfiguration::retrieveUsernameAndPassword(void* doc, SecuritySettings& security, void* node) {
  analysis::RetrieveUsernameAndPassword(doc, security, node);
}

// Raises nothing: a class that cannot be created leaves mUtilities empty, the write fails and the
// next one tries again.
void PlanDeskConfiguration::CreatePalisade() {
  mUtilities = frame::CreateByProgId<IPersistSilverlightPalisades>(PlanDesk::kProgIdSilverlightPalisades);
}

CComPtr<IPersistSilverlightConfigurationSettings> PlanDeskConfiguration::CreateNewItem() {
  return frame::CreateByProgId<IPersistSilverlightConfigurationSettings>(
      PlanDesk::kProgIdSilverlightConfigurationSettings);
}

bool PlanDeskConfiguration::WriteConfigurationToFile(const ConfigurationTypes& config, std::string serviceName,
                                                     std::string scriptPath, bool toCreate, std::string portName) {
  try {
    if (!mUtilities) CreatePalisade();
    CComPtr<IPersistSilverlightConfigurationSettings> settings = CreateNewItem();
    if (!settings) return false;
    // The setters' results are not examined: a value that cannot be set does not stop the store.
    settings->put_MessageEncoding(frame::ToBstr(config.messageEncoding).get());
    settings->put_Transport(frame::ToBstr(config.transport).get());
    settings->put_AddressingVersion(frame::ToBstr(config.addressingVersion).get());
    if (!config.security.authenticationMode.empty()) {
      settings->put_AuthenticationMode(frame::ToBstr(config.security.authenticationMode).get());
      settings->put_UserName(frame::ToBstr(config.security.username).get());
      settings->put_Password(frame::ToBstr(config.security.password).get());
    }
    if (!mUtilities) return false;
    const win32::Bstr service = frame::ToBstr(serviceName);
    const win32::Bstr script = frame::ToBstr(scriptPath);
    const win32::Bstr port = frame::ToBstr(portName);
    const VARIANT_BOOL stored = mUtilities->StoreConfigurationToFile(settings, service.get(), script.get(),
                                                                     toCreate ? 1 : 0, port.get());
    return stored == VARIANT_TRUE;
  } catch (...) {
    return false;
  }
}
