// Apartment counting per thread: results, balancing, and what a thread without COM gets.
#include "com_test_support.h"
#include "test_system.h"

#include <vector>

namespace {

enum class Call { Initialize, Sta, StaNoDde, Mta, MtaNoDde, Uninitialize };

HRESULT Perform(Call call) {
  switch (call) {
    case Call::Initialize: return CoInitialize(nullptr);
    case Call::Sta: return CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    case Call::StaNoDde: return CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
    case Call::Mta: return CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    case Call::MtaNoDde: return CoInitializeEx(nullptr, COINIT_DISABLE_OLE1DDE | COINIT_SPEED_OVER_MEMORY);
    case Call::Uninitialize: return CoUninitialize(), S_OK;
  }
  return E_UNEXPECTED;
}

// Whether the thread can use COM, seen through activation rather than through the counter.
HRESULT CreateUnknownClass() {
  static constexpr CLSID kNowhere = {0x0BADC0DE, 0, 0, {0, 0, 0, 0, 0, 0, 0, 1}};
  void* object = kSentinel;
  const HRESULT hr = CoCreateInstance(kNowhere, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown, &object);
  EXPECT_EQ(object, nullptr);
  return hr;
}

class ApartmentTest : public ::testing::Test {};

TEST_F(ApartmentTest, TransitionsOnOneThread) {
  struct Step {
    Call call;
    HRESULT result;  // of an initialisation
    long inits;      // afterwards
  };
  const Call I = Call::Initialize, U = Call::Uninitialize;
  const struct {
    const char* name;
    std::vector<Step> steps;
  } sequences[] = {
      {"the same model counts, flags aside",
       {{I, S_OK, 1}, {Call::Sta, S_FALSE, 2}, {Call::StaNoDde, S_FALSE, 3}, {U, 0, 2}, {U, 0, 1}, {U, 0, 0}}},
      {"MTA refuses STA without counting it",
       {{Call::Mta, S_OK, 1}, {Call::Sta, RPC_E_CHANGED_MODE, 1}, {I, RPC_E_CHANGED_MODE, 1},
        {Call::MtaNoDde, S_FALSE, 2}, {U, 0, 1}, {U, 0, 0}}},
      {"STA refuses MTA without counting it",
       {{Call::StaNoDde, S_OK, 1}, {Call::Mta, RPC_E_CHANGED_MODE, 1}, {Call::MtaNoDde, RPC_E_CHANGED_MODE, 1},
        {U, 0, 0}}},
      {"an unmatched CoUninitialize is harmless",
       {{U, 0, 0}, {U, 0, 0}, {Call::Mta, S_OK, 1}, {U, 0, 0}, {U, 0, 0}, {Call::Sta, S_OK, 1}, {U, 0, 0}}},
      {"any model after a full uninitialisation",
       {{Call::Sta, S_OK, 1}, {U, 0, 0}, {Call::Mta, S_OK, 1}, {U, 0, 0}, {I, S_OK, 1}, {U, 0, 0}}},
  };
  for (const auto& sequence : sequences) {
    long inits = 0;
    for (std::size_t i = 0; i < sequence.steps.size(); ++i) {
      SCOPED_TRACE(std::string(sequence.name) + ", step " + std::to_string(i));
      const Step& step = sequence.steps[i];
      const HRESULT hr = Perform(step.call);
      EXPECT_EQ(hr, step.call == U ? S_OK : step.result);
      if (kComDiagnostics) {
        EXPECT_EQ(ComDiagApartmentInits(), step.inits);
      }
      EXPECT_EQ(CreateUnknownClass(), step.inits > 0 ? REGDB_E_CLASSNOTREG : CO_E_NOTINITIALIZED);
      inits = step.inits;
    }
    while (inits-- > 0) CoUninitialize();
  }
}

TEST_F(ApartmentTest, EachThreadStartsWithoutCom) {
  for (const DWORD model : {COINIT_MULTITHREADED, COINIT_APARTMENTTHREADED}) {
    Apartment main(model);
    ASSERT_EQ(main.hr(), S_OK);
    OnOtherThread([model] {
      EXPECT_EQ(ComDiagApartmentInits(), 0);
      // Strictly per thread in our runtime: the main thread's MTA is not lent to this one, nor is its
      // model imposed. Windows does lend it (the implicit MTA).
      const bool lent = testing_support::kWindows && model == COINIT_MULTITHREADED;
      EXPECT_EQ(CreateUnknownClass(), lent ? REGDB_E_CLASSNOTREG : CO_E_NOTINITIALIZED);
      EXPECT_EQ(Apartment(model ^ COINIT_APARTMENTTHREADED).hr(), S_OK);
    });
    if (kComDiagnostics) {
      EXPECT_EQ(ComDiagApartmentInits(), 1);
    }
  }
}

}  // namespace
