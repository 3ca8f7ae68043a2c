// CComPtr holds exactly one reference per holder, whatever is done to it.
#include "com_test_support.h"
#include "win32/comptr.h"

#include <functional>

namespace {

using Ptr = CComPtr<IUnknown>;
using Objects = CountingUnknown;

TEST(CComPtrTest, ReferenceCountsAreExact) {
  const struct {
    const char* name;
    std::function<void(Objects& a, Objects& b)> run;
    int aRefs, bRefs;  // AddRefs, and as many Releases, that each object sees
  } cases[] = {
      {"from pointer", [](Objects& a, Objects&) { Ptr p(&a); }, 1, 0},
      {"copy", [](Objects& a, Objects&) { Ptr p(&a), q(p); EXPECT_EQ(a.refs, 3u); }, 2, 0},
      {"move", [](Objects& a, Objects&) { Ptr p(&a), q(std::move(p)); EXPECT_FALSE(p); EXPECT_EQ(a.refs, 2u); }, 1, 0},
      {"copy assignment releases the old at once",
       [](Objects& a, Objects& b) { Ptr p(&a), q(&b); q = p; EXPECT_EQ(b.refs, 1u); EXPECT_EQ(a.refs, 3u); }, 2, 1},
      {"move assignment", [](Objects& a, Objects& b) { Ptr p(&a), q(&b); q = std::move(p); EXPECT_EQ(b.refs, 1u); },
       1, 1},
      {"self assignment",
       [](Objects& a, Objects&) {
         Ptr p(&a);
         Ptr& same = p;
         p = same, p = &a, p = std::move(same);
         EXPECT_EQ(a.refs, 2u);
       },
       3, 0},
      {"assign NULL, Release twice",
       [](Objects& a, Objects&) { Ptr p(&a), q(&a); p = nullptr; q.Release(), q.Release(); EXPECT_EQ(a.refs, 1u); },
       2, 0},
      {"Attach takes over and releases the old",
       [](Objects& a, Objects& b) { Ptr p(&b); a.AddRef(); p.Attach(&a); EXPECT_EQ(b.refs, 1u); }, 1, 1},
      {"Detach hands over",
       [](Objects& a, Objects&) { Ptr p(&a); IUnknown* raw = p.Detach(); EXPECT_FALSE(p); raw->Release(); }, 1, 0},
      {"operator& releases first",
       [](Objects& a, Objects& b) {
         Ptr p(&a);
         IUnknown** out = &p;
         EXPECT_EQ(*out, nullptr);
         *out = (b.AddRef(), &b);  // as a callee filling an out-parameter
       },
       1, 1},
      {"failed QueryInterface",
       [](Objects& a, Objects&) {
         Ptr p(&a), empty;
         IClassFactory* factory = static_cast<IClassFactory*>(kSentinel);
         EXPECT_EQ(p.QueryInterface(&factory), E_NOINTERFACE);
         EXPECT_EQ(factory, nullptr);
         IUnknown* none = static_cast<IUnknown*>(kSentinel);
         EXPECT_EQ(empty.QueryInterface(&none), E_POINTER);
         EXPECT_EQ(none, nullptr);
       },
       1, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Objects a, b;
    c.run(a, b);
    EXPECT_EQ(a.refs, 1u);
    EXPECT_EQ(b.refs, 1u);
    EXPECT_EQ(a.addRefs, c.aRefs);
    EXPECT_EQ(a.releases, c.aRefs);
    EXPECT_EQ(b.addRefs, c.bRefs);
    EXPECT_EQ(b.releases, c.bRefs);
  }
}

}  // namespace
