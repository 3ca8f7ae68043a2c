// PlanDeskConfiguration against fakes of the two PlanDesk classes: what it sets, what it stores,
// how it reads the answer, and how it holds COM.
#include "palisade/plandesk_configuration.h"

#include "com_test_support.h"
#include "fake_plandesk.h"
#include "recorded_requests.h"
#include "win32/strings.h"

#include <pugixml.hpp>

#include <cstdlib>
#include <new>
#include <optional>
#include <vector>

namespace {

using fakes::FakePlanDesk;
using fakes::SettingsCall;
using fakes::StoreAnswer;

// The calls a settings object should receive for a request, in order.
std::vector<SettingsCall> ExpectedSettings(const recorded::Request& request) {
  const auto text = [](const char* value) { return win32::Widen(value, CP_ACP); };
  std::vector<SettingsCall> calls = {
      {"MessageEncoding", text(request.messageEncoding)},
      {"Transport", OLESTR("KvHttpEngineTransport")},
      {"AddressingVersion", text(request.addressingVersion)},
  };
  if (*request.authenticationMode) {
    calls.push_back({"AuthenticationMode", text(request.authenticationMode)});
    calls.push_back({"UserName", text(request.username)});
    calls.push_back({"Password", text(request.password)});
  }
  return calls;
}

class WritingWithFakes : public ::testing::Test {
 protected:
  void SetUp() override {
    ::testing::Test::SetUp();
    apartment_.emplace();
    fakes_.emplace();
  }
  void TearDown() override {
    fakes_.reset();
    apartment_.reset();
    ::testing::Test::TearDown();
  }

  bool Update(PlanDeskConfiguration& configuration, const recorded::Request& request = recorded::kSecuredSoap12,
              bool toCreate = true) {
    std::string configurationFile = "kept as it is";
    const bool stored = configuration.UpdateServiceConfiguration("Calculator", "WSHttpBinding_ICalculator",
                                                                 "C:\\scripts\\calc", request.header, request.Body(),
                                                                 toCreate, configurationFile);
    EXPECT_EQ(configurationFile, "kept as it is");
    return stored;
  }

  // Every settings object made so far has been released.
  ::testing::AssertionResult AllSettingsReleased() const {
    const auto& settings = fakes_->record().settings;
    for (std::size_t i = 0; i < settings.size(); ++i) {
      if (!settings[i].released) return ::testing::AssertionFailure() << "settings object " << i << " still held";
    }
    return ::testing::AssertionSuccess();
  }

  FakePlanDesk& fakes() { return *fakes_; }
  const fakes::PlanDeskRecord& record() const { return fakes_->record(); }

 private:
  std::optional<Apartment> apartment_;
  std::optional<FakePlanDesk> fakes_;
};

TEST_F(WritingWithFakes, EachRequestSetsItsValuesInOrderBeforeTheStore) {
  PlanDeskConfiguration configuration;
  for (const recorded::Request* request : recorded::kAll) {
    SCOPED_TRACE(request->name);
    const std::size_t before = record().stores.size();
    ASSERT_TRUE(Update(configuration, *request));
    ASSERT_EQ(record().stores.size(), before + 1);
    const fakes::StoreCall& store = record().stores.back();
    ASSERT_EQ(store.settings, static_cast<int>(record().settings.size()) - 1) << "not the new settings object";
    EXPECT_EQ(store.settingsCalls, ExpectedSettings(*request));
    EXPECT_EQ(record().settings.back().calls, store.settingsCalls) << "values set after the store";
  }
  EXPECT_TRUE(AllSettingsReleased());
}

TEST_F(WritingWithFakes, StoreGetsTheNamesAndCreateFlagOneWhateverToCreateSays) {
  PlanDeskConfiguration configuration;
  for (const bool toCreate : {true, false}) {
    ASSERT_TRUE(Update(configuration, recorded::kPlainSoap11, toCreate));
    const fakes::StoreCall& store = record().stores.back();
    EXPECT_EQ(store.createIfMissing, 1) << "toCreate " << toCreate;
    EXPECT_EQ(store.serviceName, OLESTR("Calculator"));
    EXPECT_EQ(store.scriptPath, OLESTR("C:\\scripts\\calc"));
    EXPECT_EQ(store.portName, OLESTR("WSHttpBinding_ICalculator"));
  }
}

TEST_F(WritingWithFakes, OnlyVariantTrueFromASucceededStoreCountsAsStored) {
  const struct {
    const char* name;
    StoreAnswer answer;
    bool expected;
  } cases[] = {
      {"VARIANT_TRUE", {S_OK, VARIANT_TRUE, {}}, true},
      {"S_FALSE with VARIANT_TRUE", {S_FALSE, VARIANT_TRUE, {}}, true},
      {"VARIANT_FALSE", {S_OK, VARIANT_FALSE, {}}, false},
      {"1", {S_OK, 1, {}}, false},
      {"failure with VARIANT_TRUE", {E_FAIL, VARIANT_TRUE, {}}, false},
      {"failure with error information",
       {E_ACCESSDENIED, VARIANT_FALSE, OLESTR("the script folder is read-only")},
       false},
  };
  PlanDeskConfiguration configuration;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    fakes().AnswerStore(c.answer);
    EXPECT_EQ(Update(configuration), c.expected);
    IErrorInfo* left = nullptr;
    EXPECT_EQ(GetErrorInfo(0, &left), S_FALSE) << "error information left on the thread";
    if (left) left->Release();
  }
  EXPECT_EQ(record().stores.size(), std::size(cases));
  EXPECT_EQ(record().utilitiesCreated, 1) << "a failed store must not cost the utilities object";
  EXPECT_TRUE(AllSettingsReleased());
}

TEST_F(WritingWithFakes, UtilitiesObjectIsMadeOnceAndKept) {
  PlanDeskConfiguration configuration;
  EXPECT_EQ(record().utilitiesCreated, 0) << "made before the first update";
  ASSERT_TRUE(Update(configuration));
  ASSERT_TRUE(Update(configuration, recorded::kPlainSoap11));
  EXPECT_EQ(record().utilitiesCreated, 1);
  EXPECT_EQ(record().utilitiesAlive, 1);
  EXPECT_EQ(record().settings.size(), 2u) << "a new settings object for every write";
  EXPECT_TRUE(AllSettingsReleased());
}

TEST_F(WritingWithFakes, MissingUtilitiesClassFailsQuietlyAndIsTriedAgain) {
  fakes().Withdraw(FakePlanDesk::kUtilities);
  PlanDeskConfiguration configuration;
  EXPECT_FALSE(Update(configuration));
  EXPECT_FALSE(Update(configuration));
  EXPECT_TRUE(record().stores.empty());
  EXPECT_TRUE(AllSettingsReleased());

  fakes().Restore(FakePlanDesk::kUtilities);
  EXPECT_TRUE(Update(configuration));
  EXPECT_EQ(record().utilitiesCreated, 1);
  EXPECT_EQ(record().stores.size(), 1u);
}

TEST_F(WritingWithFakes, MissingSettingsClassStoresNothing) {
  fakes().Withdraw(FakePlanDesk::kSettings);
  PlanDeskConfiguration configuration;
  EXPECT_FALSE(Update(configuration));
  EXPECT_TRUE(record().stores.empty());
  EXPECT_TRUE(record().settings.empty());
}

TEST_F(WritingWithFakes, AnErrorRaisedByTheAnalysisReachesTheCaller) {
  PlanDeskConfiguration configuration;
  // The parser runs out of memory: the SOAP reader raises it rather than report a body it could not read.
  pugi::set_memory_management_functions([](std::size_t) -> void* { return nullptr; }, std::free);
  EXPECT_THROW(Update(configuration), std::bad_alloc);
  pugi::set_memory_management_functions(std::malloc, std::free);
  EXPECT_TRUE(record().stores.empty());
  EXPECT_TRUE(Update(configuration)) << "and the next update works";
}

TEST_F(WritingWithFakes, FailingSettersDoNotStopTheStore) {
  fakes().AnswerSetters(E_FAIL);
  PlanDeskConfiguration configuration;
  EXPECT_TRUE(Update(configuration));
  ASSERT_EQ(record().stores.size(), 1u);
  EXPECT_EQ(record().stores[0].settingsCalls, ExpectedSettings(recorded::kSecuredSoap12));
}

TEST_F(WritingWithFakes, StringConversionThatRunsOutOfMemoryFailsTheUpdateOnly) {
  if (!kComDiagnostics) GTEST_SKIP() << "Windows' allocator takes no injected failures";
  // Six values and three names cross as BSTRs; let each allocation fail in turn.
  constexpr long kBstrs = 9;
  PlanDeskConfiguration configuration;
  for (long skip = 0; skip < kBstrs; ++skip) {
    SCOPED_TRACE(skip);
    ComDiagFailBstrAllocations(skip, 1);
    EXPECT_FALSE(Update(configuration));
    ComDiagFailBstrAllocations(0, 0);
    EXPECT_TRUE(record().stores.empty());
  }
  EXPECT_TRUE(AllSettingsReleased());
  EXPECT_TRUE(Update(configuration)) << "the object stays usable";
  EXPECT_EQ(record().utilitiesCreated, 1);
}

TEST_F(WritingWithFakes, CopiesShareTheUtilitiesObjectAndBalanceCom) {
  const long inits = ComDiagApartmentInits();
  {
    PlanDeskConfiguration original;
    ASSERT_TRUE(Update(original));
    {
      PlanDeskConfiguration copy(original);
      if (kComDiagnostics) {
        EXPECT_EQ(ComDiagApartmentInits(), inits + 2);
      }
      EXPECT_TRUE(Update(copy));
      PlanDeskConfiguration assigned;
      assigned = copy;
      if (kComDiagnostics) {
        EXPECT_EQ(ComDiagApartmentInits(), inits + 3) << "assignment touches COM";
      }
      EXPECT_TRUE(Update(assigned));
    }
    if (kComDiagnostics) {
      EXPECT_EQ(ComDiagApartmentInits(), inits + 1);
    }
    EXPECT_EQ(record().utilitiesAlive, 1) << "the copies released the original's object";
    EXPECT_TRUE(Update(original));
  }
  if (kComDiagnostics) {
    EXPECT_EQ(ComDiagApartmentInits(), inits);
  }
  EXPECT_EQ(record().utilitiesCreated, 1);
  EXPECT_EQ(record().utilitiesAlive, 0);
}

TEST_F(WritingWithFakes, ObjectOnAMultithreadedThreadLeavesItsComAlone) {
  OnOtherThread([] {
    Apartment mta(COINIT_MULTITHREADED);
    ASSERT_EQ(mta.hr(), S_OK);
    { PlanDeskConfiguration configuration; }
    EXPECT_TRUE(HoldsComInits(1));
  });
}

}  // namespace
