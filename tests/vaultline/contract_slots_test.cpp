// The interfaces' vtable slots, read from member-function pointers (Itanium C++ ABI: a virtual
// member's pointer holds 1 + its byte offset in the vtable).
#include "contracts/vaultline_interfaces.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>

namespace {

using namespace Vaultline;

template <class Member>
long SlotOf(Member member) {
  static_assert(sizeof(Member) == 2 * sizeof(void*), "Itanium member-function pointer");
  std::uintptr_t word = 0;
  std::memcpy(&word, &member, sizeof word);
  if ((word & 1u) == 0) return -1;  // not virtual
  return static_cast<long>((word - 1) / sizeof(void*));
}

struct Slot {
  const char* member;
  long actual;
  long expected;
};

#define SLOT(Interface, member, expected) Slot{#Interface "::" #member, SlotOf(&Interface::member), expected}

// Windows' IUnknown adds a template QueryInterface beside the virtual one.
using QueryInterfaceMember = HRESULT (STDMETHODCALLTYPE IUnknown::*)(REFIID, void**);

TEST(VaultlineContract, MembersSitInTheirSlots) {
  const Slot slots[] = {
      Slot{"IPersistSilverlightList::QueryInterface",
           SlotOf(static_cast<QueryInterfaceMember>(&IPersistSilverlightList::QueryInterface)), 0},
      SLOT(IPersistSilverlightList, Release, 2),
      SLOT(IPersistSilverlightList, Invoke, 6),
      SLOT(IPersistSilverlightList, raw_SaveEx, 7),
      SLOT(IPersistSilverlightList, raw_Load, 9),
      SLOT(IPersistSilverlightList, raw_GetItemByKey, 10),
      SLOT(IPersistSilverlightList, raw_AddItemByKey, 11),
      SLOT(IPersistSilverlightList, raw_ContainsItemWithKey, 13),
      SLOT(IPersistSilverlightList, put_UseStatus, 15),
      SLOT(IPersistSilverlightListItem, Invoke, 6),
      SLOT(IPersistSilverlightListItemRO, put_ItemFlag, 8),
      SLOT(IPersistSilverlightListItemRO, get_WsdlUrl, 9),
      SLOT(IPersistSilverlightListItemRO, put_WsdlUrl, 10),
      SLOT(IPersistSilverlightListItemRO, put_ItemName, 12),
      SLOT(IPersistSilverlightListItemRO, get_ItemKey, 13),
      SLOT(IPersistSilverlightListItemRO, put_ItemKey, 14),
      SLOT(IPersistSilverlightListItemRO, get_ItemText, 15),
      SLOT(IPersistSilverlightListItemRO, put_ItemText, 16),
      SLOT(IPersistSilverlightListItemRO, get_ConnectionSettings, 17),
      SLOT(IPersistSilverlightConnectionSettings, get_ConnectionFlag1, 9),
      SLOT(IPersistSilverlightConnectionSettings, get_ConnectionText1, 11),
      SLOT(IPersistSilverlightConnectionSettings, put_ConnectionText1, 12),
      SLOT(IPersistSilverlightConnectionSettings, get_ConnectionText2, 13),
      SLOT(IPersistSilverlightConnectionSettings, put_ConnectionText2, 14),
      SLOT(IPersistSilverlightConnectionSettings, get_ConnectionFlag2, 15),
      SLOT(IPersistSilverlightConnectionSettings, get_ConnectionText3, 17),
      SLOT(IPersistSilverlightConnectionSettings, put_ConnectionText3, 18),
      SLOT(IPersistSilverlightConnectionSettings, put_ConnectionNumber1, 20),
      SLOT(IPersistSilverlightConnectionSettings, get_ProxyPortStr, 21),
      SLOT(IPersistSilverlightConnectionSettings, get_ConnectionText4, 23),
      SLOT(IPersistSilverlightConnectionSettings, put_ConnectionText4, 24),
      SLOT(IPersistSilverlightConnectionSettings, get_ConnectionText5, 25),
      SLOT(IPersistSilverlightConnectionSettings, put_ConnectionText5, 26),
  };
  for (const Slot& slot : slots) EXPECT_EQ(slot.expected, slot.actual) << slot.member;
}

TEST(VaultlineContract, InterfacesAddNoDataOrHiddenSlots) {
  // One vtable pointer each: no destructor slot, no members that would shift a caller's view.
  EXPECT_EQ(sizeof(void*), sizeof(IPersistSilverlightList));
  EXPECT_EQ(sizeof(void*), sizeof(IPersistSilverlightListItemRO));
  EXPECT_EQ(sizeof(void*), sizeof(IPersistSilverlightConnectionSettings));
  EXPECT_FALSE(std::has_virtual_destructor_v<IPersistSilverlightList>);
  EXPECT_EQ(2u, sizeof(VARIANT_BOOL));
  EXPECT_EQ(4u, sizeof(LONG));
}

}  // namespace
