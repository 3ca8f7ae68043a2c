// Fakes of the two PlanDesk classes, for tests of the library's configuration writing.
//
// FakePlanDesk registers class objects under the component's own class identifiers, for the calling
// thread's apartment, so that the library finds them by the component's ProgIDs and creates them
// exactly as it creates the component; the component is found again once the fake is gone.
// The settings fake records every call made on it, in order; the utilities fake records each store
// call together with what its settings object had been given by then, and answers as it is told.
#pragma once

#include "contracts/plandesk_interfaces.h"

#include <memory>
#include <ostream>
#include <string>
#include <vector>

namespace fakes {

// One call on a settings object: the value a setter sets ("MessageEncoding" ... "Password") and
// its text, or the name of another member ("get_Password", "Reserved13") with an empty text.
struct SettingsCall {
  std::string member;
  win32::OleString text;
};
bool operator==(const SettingsCall& a, const SettingsCall& b);
void PrintTo(const SettingsCall& call, std::ostream* out);

struct SettingsRecord {
  std::vector<SettingsCall> calls;
  bool released = false;
};

// One StoreConfigurationToFile as the utilities fake received it.
struct StoreCall {
  int settings = -1;                         // index into PlanDeskRecord::settings; -1: not a fake
  std::vector<SettingsCall> settingsCalls;   // what that object had been given when the store began
  win32::OleString serviceName, scriptPath, portName;
  VARIANT_BOOL createIfMissing = 0;
};

struct PlanDeskRecord {
  int utilitiesCreated = 0;
  int utilitiesAlive = 0;
  std::vector<SettingsRecord> settings;  // one per settings object, in order of creation
  std::vector<StoreCall> stores;
};

// What StoreConfigurationToFile answers: `stored` goes to the out-parameter whatever `hr` is.
struct StoreAnswer {
  HRESULT hr = S_OK;
  VARIANT_BOOL stored = VARIANT_TRUE;
  win32::OleString errorDescription;  // left as error information when not empty
};

class FakePlanDesk {
 public:
  enum Class { kUtilities, kSettings };

  // Registers both classes; needs COM on the calling thread.
  FakePlanDesk();
  ~FakePlanDesk();
  FakePlanDesk(const FakePlanDesk&) = delete;
  FakePlanDesk& operator=(const FakePlanDesk&) = delete;

  // Makes the class answer every creation as a class that is not registered (REGDB_E_CLASSNOTREG),
  // until it is restored. Objects already made live on.
  void Withdraw(Class fake);
  void Restore(Class fake);

  void AnswerStore(const StoreAnswer& answer);
  // What every setter returns (S_OK unless told otherwise); the call is recorded either way.
  void AnswerSetters(HRESULT hr);

  const PlanDeskRecord& record() const;

  struct State;

 private:
  std::shared_ptr<State> state_;
  DWORD cookies_[2] = {0, 0};
};

}  // namespace fakes
