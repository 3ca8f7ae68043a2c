// Each object of the two COM-holding classes holds one COM initialisation of its thread: made,
// copied and destroyed in any order, COM stays usable until the last one is gone, and a thread
// that was in the multithreaded apartment before keeps it.
#include "palisade/plandesk_configuration.h"
#include "palisade/silverlight_objects_management.h"

#include "com_test_support.h"

#include <gtest/gtest.h>

#include <memory>
#include <optional>

namespace {

template <class T>
class Lifecycle : public ::testing::Test {};

using Classes = ::testing::Types<PlanDeskConfiguration, SilverlightObjectsManagement>;
TYPED_TEST_SUITE(Lifecycle, Classes);

TYPED_TEST(Lifecycle, ObjectsDestroyedInEitherOrderBalanceCom) {
  OnOtherThread([] {
    for (const bool firstGoesFirst : {true, false}) {
      auto first = std::make_unique<TypeParam>();
      auto second = std::make_unique<TypeParam>();
      EXPECT_TRUE(HoldsComInits(2));
      (firstGoesFirst ? first : second).reset();
      EXPECT_TRUE(HoldsComInits(1)) << "COM stays usable for the other object";
      (firstGoesFirst ? second : first).reset();
      EXPECT_TRUE(HoldsComInits(0));
    }
  });
}

TYPED_TEST(Lifecycle, CopiesInitialiseAndAssignmentDoesNot) {
  OnOtherThread([] {
    TypeParam source;
    {
      TypeParam copy(source);
      EXPECT_TRUE(HoldsComInits(2));
      TypeParam assigned;
      assigned = source;
      assigned = assigned;
      EXPECT_TRUE(HoldsComInits(3));
    }
    EXPECT_TRUE(HoldsComInits(1)) << "the source keeps its COM";
  });
}

TYPED_TEST(Lifecycle, AThreadInTheOtherApartmentKeepsIt) {
  OnOtherThread([] {
    ASSERT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), S_OK);
    std::optional<TypeParam> object;
    object.emplace();
    object.reset();
    EXPECT_TRUE(HoldsComInits(1)) << "the object did not end COM it did not start";
    EXPECT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), S_FALSE) << "still multithreaded";
    CoUninitialize();
    CoUninitialize();
    EXPECT_TRUE(HoldsComInits(0));
  });
}

}  // namespace
