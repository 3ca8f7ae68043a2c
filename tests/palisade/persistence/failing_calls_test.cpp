// Every call an operation makes on the component fails in turn, the creations included: nothing is
// thrown past the operation, nothing leaks, and the operation reports success exactly when the
// failed call is one whose result it does not depend on.
#include "persistence_test_support.h"

#include "fake_vaultline.h"

#include <functional>
#include <optional>
#include <set>

namespace persistence_test {
namespace {

struct Operation {
  const char* name;
  // Runs the operation on a fresh object; true when it reported success (for a save that reports
  // nothing: when the entry reached the component's store).
  std::function<bool(SilverlightObjectsManagement&, fakes::FakeVaultlineState&)> run;
  // The calls whose failure must make it fail; any other failed call is ignored.
  std::set<std::string> mustFail;
};

class FailingCallsTest : public PersistenceTest {
 protected:
  // Runs `operation` with call `failCall` failing (0: none); the number of calls it made.
  int Run(const Operation& operation, int failCall, bool& succeeded, std::string& failedCall) {
    Apartment apartment;
    fakes::FakeVaultline fake;
    fakes::FakeVaultlineState& state = fake.state();
    state.stored = {{"Svc", {}}};
    state.stored[0].values.texts["WsdlUrl"] = OLESTR("stored url");
    state.failCall = failCall;
    {
      SilverlightObjectsManagement objects;
      succeeded = operation.run(objects, state);
    }
    failedCall = state.failedCall;
    return state.callCount;
  }
};

bool Stored(const fakes::FakeVaultlineState& state, const std::string& key) {
  for (const fakes::FakeEntry& entry : state.stored) {
    if (entry.key == key) return true;
  }
  return false;
}

TEST_F(FailingCallsTest, EachCallFailingInTurn) {
  const std::string folder = Folder("lists");
  const Operation operations[] = {
      {"SaveWsdlData", [](SilverlightObjectsManagement& o, fakes::FakeVaultlineState&) {
         return o.SaveWsdlData("New", "http://new?wsdl");
       },
       {"CreateList", "ContainsItemWithKey", "CreateItem", "get ConnectionSettings", "AddItemByKey", "SaveEx"}},
      {"GetWsdlData", [](SilverlightObjectsManagement& o, fakes::FakeVaultlineState&) {
         WsdlData data;
         return o.GetWsdlData("Svc", data);
       },
       {"CreateList", "Load", "ContainsItemWithKey", "GetItemByKey", "get ConnectionSettings", "get ProxyPortStr"}},
      {"SaveErrorData", [&](SilverlightObjectsManagement& o, fakes::FakeVaultlineState& state) {
         WsdlErrorData entry;
         entry.endPoint = "New";
         entry.connectionText1 = "c1";
         o.SaveErrorData(folder, entry);
         return Stored(state, "New");
       },
       {"CreateList", "Load", "CreateItem", "get ConnectionSettings", "AddItemByKey", "PutUseStatus", "SaveEx"}},
      {"GetEntryFromErrorDataFile", [&](SilverlightObjectsManagement& o, fakes::FakeVaultlineState&) {
         WsdlErrorData found;
         return o.GetEntryFromErrorDataFile(folder, "Svc", found);
       },
       {"CreateList", "Load", "ContainsItemWithKey", "GetItemByKey"}},
      {"GetEntryFromWsdlIniFile", [&](SilverlightObjectsManagement& o, fakes::FakeVaultlineState&) {
         std::string location;
         return o.GetEntryFromWsdlIniFile(folder, "Svc", location);
       },
       {"CreateList", "Load", "ContainsItemWithKey", "GetItemByKey"}},
  };
  for (const Operation& operation : operations) {
    SCOPED_TRACE(operation.name);
    bool succeeded = false;
    std::string failedCall;
    const int calls = Run(operation, 0, succeeded, failedCall);
    ASSERT_TRUE(succeeded) << "without failures the operation succeeds";
    ASSERT_GT(calls, 3);
    for (int k = 1; k <= calls; ++k) {
      Run(operation, k, succeeded, failedCall);
      ASSERT_FALSE(failedCall.empty()) << "call " << k;
      EXPECT_EQ(succeeded, operation.mustFail.count(failedCall) == 0) << "call " << k << ": " << failedCall;
    }
  }
}

}  // namespace
}  // namespace persistence_test
