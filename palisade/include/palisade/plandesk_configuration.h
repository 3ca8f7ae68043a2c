// PlanDeskConfiguration: derives a service binding from one recorded SOAP request and has the
// configuration component store it for a script.
//
// Each object enters its thread into a single-threaded COM apartment for its lifetime; use and
// destroy it on the thread that made it.
#pragma once

#include "hostrt32/hostrt32.h"
#include "palisade/export.h"
#include "win32/apartment.h"
#include "win32/comptr.h"

#include <string>

namespace PlanDesk {
struct IPersistSilverlightPalisades;
struct IPersistSilverlightConfigurationSettings;
}  // namespace PlanDesk

struct SecuritySettings;
struct ConfigurationTypes;

class PALISADE_API PlanDeskConfiguration {
 public:
  PlanDeskConfiguration();
  // Shares the other object's utilities object (one more reference) and enters COM again.
  PlanDeskConfiguration(const PlanDeskConfiguration& other);
  // Shares the other object's utilities object; COM is not touched.
  PlanDeskConfiguration& operator=(const PlanDeskConfiguration& other);
  virtual ~PlanDeskConfiguration();

  // true when the component reports the binding stored. `toCreate` is not consulted (a missing
  // configuration is always created) and `configurationFile` is left as it was. Errors raised
  // while the request is analysed reach the caller.
  bool UpdateServiceConfiguration(std::string serviceName, std::string portName, std::string scriptPath,
                                  std::string messageHeader, OsStrBin messageBody, bool toCreate,
                                  std::string& configurationFile);

 private:
  bool IsBinaryContent(std::string& mMsgHeader);
  std::string getAddressingVersion(OsStrBin messageBody);
  bool setAuthenticationMode(OsStrBin messageBody, SecuritySettings& security);
  void retrieveUsernameAndPassword(void* doc, SecuritySettings& security, void* node);
  void CreatePalisade();
  CComPtr<PlanDesk::IPersistSilverlightConfigurationSettings> CreateNewItem();
  bool WriteConfigurationToFile(const ConfigurationTypes& config, std::string serviceName, std::string scriptPath,
                                bool toCreate, std::string portName);

  // First, so that COM is left only after the pointer below has been released.
  win32::Apartment mApartment;
  CComPtr<PlanDesk::IPersistSilverlightPalisades> mUtilities;
};
