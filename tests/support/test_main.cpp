// The main of every test program: GoogleTest's, with one listener that fails any test which ends
// with more (or fewer) live COM objects, BSTRs or COM initialisations of its thread than it began
// with. Error information left unread counts as a live object until the thread leaves COM.
#include "win32/diagnostics.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <tuple>

namespace {

class LeakCheck : public ::testing::EmptyTestEventListener {
 public:
  void OnTestStart(const ::testing::TestInfo&) override { before_ = Counters(); }
  // Runs before the result printer, which then reports the test as failed.
  void OnTestEnd(const ::testing::TestInfo& test) override {
    if (test.result()->Skipped()) return;
    const auto after = Counters();
    if (after != before_) {
      ADD_FAILURE() << "left behind (live objects, BSTRs, COM initialisations): " << std::get<0>(after) - std::get<0>(before_)
                    << ", " << std::get<1>(after) - std::get<1>(before_) << ", "
                    << std::get<2>(after) - std::get<2>(before_);
    }
  }

 private:
  static std::tuple<long, long, long> Counters() {
    return {ComDiagLiveObjects(), ComDiagLiveBstrs(), ComDiagApartmentInits()};
  }
  std::tuple<long, long, long> before_;
};

}  // namespace

int main(int argc, char** argv) {
  ::testing::InitGoogleMock(&argc, argv);
  ::testing::TestEventListeners& listeners = ::testing::UnitTest::GetInstance()->listeners();
  ::testing::TestEventListener* printer = listeners.Release(listeners.default_result_printer());
  listeners.Append(new LeakCheck);
  if (printer != nullptr) listeners.Append(printer);
  return RUN_ALL_TESTS();
}
