// The library against a fake component registered through the COM runtime: the calls it makes, in
// order, and the failures and odd answers it must survive.
#include "persistence_test_support.h"

#include "fake_vaultline.h"

#include <algorithm>
#include <optional>

namespace persistence_test {
namespace {

using Calls = std::vector<std::string>;

class FakeComponentTest : public PersistenceTest {
 protected:
  void SetUp() override {
    PersistenceTest::SetUp();
    apartment_.emplace();
    fake_.emplace();
  }
  void TearDown() override {
    fake_.reset();
    apartment_.reset();
    PersistenceTest::TearDown();
  }

  fakes::FakeVaultlineState& state() { return fake_->state(); }
  Calls TakeCalls() { return fake_->TakeCalls(); }
  std::string History() const { return dir.str() + "/bin\\..\\dat\\silverlight_ro.ini"; }
  // A stored entry with distinct values in every property the library reads.
  static fakes::FakeEntry StoredEntry(const std::string& key) {
    fakes::FakeEntry entry{key, {}};
    const char* names[] = {"WsdlUrl", "ItemKey", "ItemText", "ConnectionText1", "ConnectionText2", "ConnectionText3",
                           "ProxyPortStr", "ConnectionText4", "ConnectionText5"};
    for (const char* name : names) entry.values.texts[name] = OLESTR("stored ") + win32::Widen(name);
    entry.values.connectionFlag1 = entry.values.connectionFlag2 = VARIANT_TRUE;
    return entry;
  }
  static WsdlData StoredWsdlData() {
    return {"stored WsdlUrl", true, "stored ConnectionText1", "stored ConnectionText2", true,
            "stored ConnectionText3", "stored ProxyPortStr", "stored ConnectionText4", "stored ConnectionText5"};
  }

 private:
  std::optional<Apartment> apartment_;
  std::optional<fakes::FakeVaultline> fake_;
};

TEST_F(FakeComponentTest, SavingAWsdlEntryCallsInOrder) {
  SilverlightObjectsManagement objects;
  ASSERT_TRUE(objects.SaveWsdlData("Svc", "http://svc?wsdl"));
  EXPECT_EQ((Calls{"CreateList", "Load " + History(), "ContainsItemWithKey Svc", "CreateItem",
                   "put WsdlUrl=http://svc?wsdl", "put ItemKey=Svc", "put ItemFlag=-1", "put ConnectionText1=",
                   "put ConnectionText2=", "put ConnectionText3=", "put ConnectionText4=", "put ConnectionNumber1=0",
                   "put ConnectionText5=", "AddItemByKey Svc", "SaveEx " + History() + " 0"}),
            TakeCalls());
}

TEST_F(FakeComponentTest, SavingAFailedWsdlCallsInOrder) {
  SilverlightObjectsManagement objects;
  WsdlErrorData data = CallersErrorData();
  data.endPoint = "ep";
  data.connectionText2 = data.connectionText4 = "";
  objects.SaveErrorData("D:\\script\\", data);
  const std::string file = "D:\\script\\\\failed_wsdl_info.ini";
  // Empty connection texts are not put; the save keeps what the file holds besides the list.
  EXPECT_EQ((Calls{"CreateList", "Load " + file, "CreateItem", "put WsdlUrl=caller url", "put ItemKey=ep",
                   "put ItemName=ep", "put ItemText=caller text", "put ItemFlag=0", "put ConnectionText1=caller 1",
                   "put ConnectionText3=caller 3", "AddItemByKey ep", "PutUseStatus 0", "SaveEx " + file + " 0"}),
            TakeCalls());
  // Another folder gets a list of its own (the fake's one "file" already holds the key, which the
  // component refuses: nothing more is done).
  objects.SaveErrorData("elsewhere", data);
  EXPECT_EQ((Calls{"CreateList", "Load elsewhere\\failed_wsdl_info.ini", "CreateItem", "put WsdlUrl=caller url",
                   "put ItemKey=ep", "put ItemName=ep", "put ItemText=caller text", "put ItemFlag=0",
                   "put ConnectionText1=caller 1", "put ConnectionText3=caller 3", "AddItemByKey ep"}),
            TakeCalls());
}

TEST_F(FakeComponentTest, WsdlIniFileNameIsJoinedAsGiven) {
  SilverlightObjectsManagement objects;
  std::string location;
  EXPECT_FALSE(objects.GetEntryFromWsdlIniFile("C:\\proj\\", "ep", location));
  EXPECT_FALSE(objects.GetEntryFromWsdlIniFile("C:\\other", "ep", location));
  EXPECT_FALSE(objects.GetEntryFromWsdlIniFile("C:\\other", "ep", location));
  EXPECT_EQ((Calls{"CreateList", "Load C:\\proj\\\\WSDL\\web_services.ini", "ContainsItemWithKey ep", "CreateList",
                   "Load C:\\other\\WSDL\\web_services.ini", "ContainsItemWithKey ep", "ContainsItemWithKey ep"}),
            TakeCalls())
      << "each file its own list, loaded once";
}

TEST_F(FakeComponentTest, OnlyMinusOneMeansPresentOrTrue) {
  state().stored = {StoredEntry("ep")};
  for (VARIANT_BOOL answer : {VARIANT_BOOL(1), VARIANT_BOOL(2), VARIANT_BOOL(-2)}) {
    SCOPED_TRACE(answer);
    state().presentAnswer = answer;
    SilverlightObjectsManagement objects;
    WsdlData data = CallersWsdlData();
    EXPECT_FALSE(objects.GetWsdlData("ep", data));
    EXPECT_EQ(Describe(CallersWsdlData()), Describe(data));
    EXPECT_FALSE(objects.SaveWsdlData("ep", "u")) << "any answer but 0 means taken";
    std::string location = "caller";
    EXPECT_FALSE(objects.GetEntryFromWsdlIniFile("d", "ep", location));
    EXPECT_EQ("caller", location);
    WsdlErrorData error = CallersErrorData();
    EXPECT_FALSE(objects.GetEntryFromErrorDataFile("d", "ep", error));
    EXPECT_EQ(Describe(CallersErrorData()), Describe(error));
  }
  for (const auto& [flag, expected] : {std::pair{VARIANT_BOOL(-1), true}, std::pair{VARIANT_BOOL(1), false},
                                       std::pair{VARIANT_BOOL(0), false}, std::pair{VARIANT_BOOL(2), false}}) {
    SCOPED_TRACE(flag);
    state().presentAnswer = VARIANT_TRUE;
    state().stored[0].values.connectionFlag1 = state().stored[0].values.connectionFlag2 = flag;
    SilverlightObjectsManagement objects;
    WsdlData data = CallersWsdlData();
    data.connectionFlag1 = data.connectionFlag2 = !expected;
    ASSERT_TRUE(objects.GetWsdlData("ep", data));
    EXPECT_EQ(expected, data.connectionFlag1);
    EXPECT_EQ(expected, data.connectionFlag2);
  }
}

TEST_F(FakeComponentTest, FailingGets) {
  state().stored = {StoredEntry("ep")};
  state().stored[0].values.connectionFlag1 = VARIANT_FALSE;  // the caller's records hold true
  WsdlData stored = StoredWsdlData();
  stored.connectionFlag1 = false;
  WsdlData noText2 = stored, noFlag1 = stored;
  noText2.connectionText2 = "caller 2";
  noFlag1.connectionFlag1 = true;
  struct Case {
    const char* get;
    bool result;
    WsdlData expected;
  };
  const Case cases[] = {
      // Copied up to ConnectionText4; ProxyPortStr raises, so ConnectionText5 stays the caller's.
      {"ProxyPortStr", false,
       {"stored WsdlUrl", false, "stored ConnectionText1", "stored ConnectionText2", true, "stored ConnectionText3",
        "caller port", "stored ConnectionText4", "caller 5"}},
      {"ConnectionText2", true, noText2},
      {"ConnectionFlag1", true, noFlag1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.get);
    state().answers = {{std::string("get ") + c.get, E_FAIL}};
    SilverlightObjectsManagement objects;
    WsdlData data = CallersWsdlData();
    EXPECT_EQ(c.result, objects.GetWsdlData("ep", data));
    EXPECT_EQ(Describe(c.expected), Describe(data));
  }
  // An unreadable WsdlUrl still counts as found; the caller's text stays.
  state().answers = {{"get WsdlUrl", E_FAIL}, {"get ItemText", E_FAIL}};
  SilverlightObjectsManagement objects;
  std::string location = "caller";
  EXPECT_TRUE(objects.GetEntryFromWsdlIniFile("d", "ep", location));
  EXPECT_EQ("caller", location);
  WsdlErrorData error = CallersErrorData();
  EXPECT_TRUE(objects.GetEntryFromErrorDataFile("d", "ep", error));
  EXPECT_EQ("caller url", error.wsdlUrl);
  EXPECT_EQ("caller text", error.errorText);
  EXPECT_EQ("stored ItemKey", error.endPoint);
  EXPECT_TRUE(error.entryFound);
  // Without the settings object nothing is copied.
  state().answers = {{"get ConnectionSettings", E_FAIL}};
  WsdlData data = CallersWsdlData();
  EXPECT_FALSE(objects.GetWsdlData("ep", data));
  EXPECT_EQ(Describe(CallersWsdlData()), Describe(data));
}

TEST_F(FakeComponentTest, FailingLoad) {
  state().stored = {StoredEntry("ep")};
  state().answers["Load"] = E_FAIL;
  SilverlightObjectsManagement objects;
  // The history and WSDL ini lists swallow it and stay, empty.
  WsdlData data = CallersWsdlData();
  EXPECT_FALSE(objects.GetWsdlData("ep", data));
  EXPECT_TRUE(objects.SaveWsdlData("new", "u"));
  std::string location;
  EXPECT_FALSE(objects.GetEntryFromWsdlIniFile("d", "ep", location));
  EXPECT_FALSE(objects.GetEntryFromWsdlIniFile("d", "ep", location));
  // The failed-WSDL list raises it: that save is lost, the next one goes ahead without a new load.
  WsdlErrorData error = CallersErrorData();
  objects.SaveErrorData("d", error);
  objects.SaveErrorData("d", error);
  EXPECT_FALSE(objects.GetEntryFromErrorDataFile("d", "ep", error));
  const Calls calls = TakeCalls();
  EXPECT_EQ(3, std::count(calls.begin(), calls.end(), "CreateList"));
  EXPECT_EQ(3, std::count_if(calls.begin(), calls.end(), [](const std::string& c) { return c.rfind("Load ", 0) == 0; }));
  EXPECT_EQ(1, std::count(calls.begin(), calls.end(), "SaveEx d\\failed_wsdl_info.ini 0"));
}

TEST_F(FakeComponentTest, FailingCreations) {
  state().answers["CreateItem"] = E_OUTOFMEMORY;
  SilverlightObjectsManagement objects;
  EXPECT_FALSE(objects.SaveWsdlData("Svc", "u"));
  objects.SaveErrorData("d", CallersErrorData());
  EXPECT_EQ((Calls{"CreateList", "Load " + History(), "ContainsItemWithKey Svc", "CreateItem", "CreateList",
                   "Load d\\failed_wsdl_info.ini", "CreateItem"}),
            TakeCalls());

  // A list that cannot be created is tried again by the next call, which then loads it.
  state().answers["CreateList"] = REGDB_E_CLASSNOTREG;
  SilverlightObjectsManagement fresh;
  WsdlData data;
  std::string location;
  WsdlErrorData error;
  EXPECT_FALSE(fresh.GetWsdlData("Svc", data));
  EXPECT_FALSE(fresh.SaveWsdlData("Svc", "u"));
  EXPECT_FALSE(fresh.GetEntryFromWsdlIniFile("d", "ep", location));
  fresh.SaveErrorData("d", error);
  EXPECT_FALSE(fresh.GetEntryFromErrorDataFile("d", "ep", error));
  EXPECT_EQ(Calls(5, "CreateList"), TakeCalls());
  state().answers.erase("CreateList");
  EXPECT_FALSE(fresh.GetWsdlData("Svc", data));
  EXPECT_EQ((Calls{"CreateList", "Load " + History(), "ContainsItemWithKey Svc"}), TakeCalls());
}

TEST_F(FakeComponentTest, FailingSaveKeepsTheEntryInMemoryAndARetrySavesIt) {
  state().answers["SaveEx"] = E_ACCESSDENIED;
  SilverlightObjectsManagement objects;
  EXPECT_FALSE(objects.SaveWsdlData("Svc", "http://svc"));
  WsdlData data;
  ASSERT_TRUE(objects.GetWsdlData("Svc", data));
  EXPECT_EQ("http://svc", data.wsdlUrl);
  // The key is in the list but not in the file: a retry saves again and answers for that save.
  const struct {
    bool saveFails;
    bool saved;
  } retries[] = {{true, false}, {false, true}, {false, false}};
  for (const auto& r : retries) {
    if (r.saveFails) {
      state().answers["SaveEx"] = E_ACCESSDENIED;
    } else {
      state().answers.erase("SaveEx");
    }
    EXPECT_EQ(r.saved, objects.SaveWsdlData("Svc", "http://other")) << "save fails: " << r.saveFails;
  }
  ASSERT_EQ(1u, state().stored.size());
  EXPECT_EQ("Svc", state().stored[0].key);
  EXPECT_EQ(OLESTR("http://svc"), state().stored[0].values.texts["WsdlUrl"]) << "the entry first filed";
}

}  // namespace
}  // namespace persistence_test
