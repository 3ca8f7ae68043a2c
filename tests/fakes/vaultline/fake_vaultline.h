// A stand-in for the Vaultline component: list and item classes registered with the COM runtime
// in the calling apartment, under the component's own class identifiers, so that creation by
// ProgID finds them before the real server. Failures the library must survive are told by one
// switch, and every call the library makes is written to a log.
#pragma once

#include "contracts/vaultline_interfaces.h"

#include <map>
#include <memory>
#include <string>
#include <vector>

namespace fakes {

// The values of one fake item. Texts are kept as UTF-16, by property name.
struct FakeItemValues {
  std::map<std::string, win32::OleString> texts;
  VARIANT_BOOL itemFlag = VARIANT_FALSE;
  VARIANT_BOOL connectionFlag1 = VARIANT_FALSE;
  VARIANT_BOOL connectionFlag2 = VARIANT_FALSE;
  LONG connectionNumber1 = 0;
};

struct FakeEntry {
  std::string key;
  FakeItemValues values;
};

struct FakeVaultlineState {
  // The failure switch. Every call counts, creations included, under its name: "CreateList",
  // "CreateItem", "Load", "SaveEx", "GetItemByKey", "AddItemByKey", "ContainsItemWithKey",
  // "PutUseStatus", "get <Property>", "put <Property>". A call named in `answers` answers that
  // HRESULT; when `failCall` is above 0, the call of that number answers E_FAIL and is named in
  // `failedCall`. A failed Load leaves the list as it was, a failed SaveEx stores nothing.
  std::map<std::string, HRESULT> answers;
  int failCall = 0;
  int callCount = 0;
  std::string failedCall;

  VARIANT_BOOL presentAnswer = VARIANT_TRUE;  // ContainsItemWithKey for a key the list holds
  FakeItemValues newItem;                     // the values of a new item

  // What every Load reads and every successful SaveEx writes (one "file" for all paths).
  std::vector<FakeEntry> stored;
  // "CreateList", "Load <file>", "ContainsItemWithKey <key>", "CreateItem", "put WsdlUrl=<text>",
  // "AddItemByKey <key>", "PutUseStatus 0", "SaveEx <file> <flag>", "GetItemByKey <key>", ...
  std::vector<std::string> calls;
};

// Registers the fake classes for as long as it lives. The state is shared with every object it
// makes, so objects may outlive the registration.
class FakeVaultline {
 public:
  FakeVaultline();
  ~FakeVaultline();
  FakeVaultline(const FakeVaultline&) = delete;
  FakeVaultline& operator=(const FakeVaultline&) = delete;

  FakeVaultlineState& state() { return *state_; }
  // The log so far, then cleared.
  std::vector<std::string> TakeCalls();

 private:
  std::shared_ptr<FakeVaultlineState> state_ = std::make_shared<FakeVaultlineState>();
  DWORD listCookie_ = 0;
  DWORD itemCookie_ = 0;
};

}  // namespace fakes
