// The config library's exception members, exported by palisade.dll under their own names as
// forwarders: a caller that imports them from palisade.dll runs config.dll's code.
#include "pe_exports.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

namespace {

// Default and copy constructors (complete and base object), the destructors, copy assignment and
// operator*.
const char* const kMembers[] = {
    "_ZN16CKvBaseExceptionC1Ev", "_ZN16CKvBaseExceptionC2Ev",   "_ZN16CKvBaseExceptionC1ERKS_",
    "_ZN16CKvBaseExceptionC2ERKS_", "_ZN16CKvBaseExceptionD0Ev", "_ZN16CKvBaseExceptionD1Ev",
    "_ZN16CKvBaseExceptionD2Ev", "_ZN16CKvBaseExceptionaSERKS_", "_ZN16CKvBaseExceptiondeEv",
};

TEST(ForwardedExports, ExceptionMembersLeadToTheConfigLibrary) {
  const PalisadeImage image;
  ASSERT_NE(image.base(), nullptr);
  std::set<std::string> forwarded;
  for (const PeExport& entry : PeExports(image.base())) {
    if (entry.forwarded) forwarded.insert(entry.name);
  }
  EXPECT_EQ(forwarded, std::set<std::string>(std::begin(kMembers), std::end(kMembers)));
  const HMODULE palisade = image.loaded();
  if (palisade == nullptr) return;  // an image that is only read cannot lead anywhere
  const HMODULE config = LoadLibraryW(L"config.dll");
  ASSERT_NE(config, nullptr);
  for (const char* member : kMembers) {
    SCOPED_TRACE(member);
    const FARPROC own = GetProcAddress(palisade, member);
    ASSERT_NE(own, nullptr);
    EXPECT_EQ(own, GetProcAddress(config, member));
  }
  // The constructor that takes a message is not part of what is passed through.
  EXPECT_EQ(GetProcAddress(palisade, "_ZN16CKvBaseExceptionC1EPKc"), nullptr);
  FreeLibrary(config);
}

}  // namespace
