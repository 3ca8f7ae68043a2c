// CComPtr holds exactly one reference per holder, whatever is done to it.
#include "com_test_support.h"
#include "win32/comptr.h"

#include <functional>

namespace {

using Ptr = CComPtr<IUnknown>;

TEST(CComPtrTest, ReferenceCountsAreExact) {
  const struct {
    const char* name;
    std::function<void(CountingUnknown&, CountingUnknown&)> run;
    int aRefs, bRefs;  // AddRefs (= Releases) each object sees
  } cases[] = {
      {"construct from pointer", [](auto& a, auto&) { Ptr p(&a); }, 1, 0},
      {"copy", [](auto& a, auto&) { Ptr p(&a); Ptr q(p); EXPECT_EQ(a.refs, 3u); }, 2, 0},
      {"move", [](auto& a, auto&) { Ptr p(&a); Ptr q(std::move(p)); EXPECT_FALSE(p); EXPECT_EQ(a.refs, 2u); }, 1, 0},
      {"copy assignment releases the old one at once",
       [](auto& a, auto& b) { Ptr p(&a), q(&b); q = p; EXPECT_EQ(b.refs, 1u); EXPECT_EQ(a.refs, 3u); }, 2, 1},
      {"move assignment",
       [](auto& a, auto& b) { Ptr p(&a), q(&b); q = std::move(p); EXPECT_EQ(b.refs, 1u); EXPECT_EQ(a.refs, 2u); },
       1, 1},
      {"self assignment never drops to zero",
       [](auto& a, auto&) {
         Ptr p(&a);
         Ptr& same = p;
         p = same;
         p = &a;
         p = std::move(same);
         EXPECT_EQ(a.refs, 2u);
         EXPECT_EQ(p, &a);
       },
       3, 0},
      {"assign NULL", [](auto& a, auto&) { Ptr p(&a); p = nullptr; EXPECT_EQ(a.refs, 1u); }, 1, 0},
      {"Release twice", [](auto& a, auto&) { Ptr p(&a); p.Release(); p.Release(); }, 1, 0},
      {"Attach takes over, releases the old",
       [](auto& a, auto& b) {
         Ptr p(&b);
         a.AddRef();  // the reference handed over
         p.Attach(&a);
         EXPECT_EQ(b.refs, 1u);
       },
       1, 1},
      {"Detach hands over",
       [](auto& a, auto&) {
         Ptr p(&a);
         IUnknown* raw = p.Detach();
         EXPECT_EQ(raw, &a);
         EXPECT_FALSE(p);
         raw->Release();
       },
       1, 0},
      {"operator& releases first",
       [](auto& a, auto& b) {
         Ptr p(&a);
         IUnknown** out = &p;
         EXPECT_EQ(*out, nullptr);
         EXPECT_EQ(a.refs, 1u);
         b.AddRef();  // as a callee filling an out-parameter
         *out = &b;
       },
       1, 1},
      {"failed QueryInterface",
       [](auto& a, auto&) {
         Ptr p(&a);
         IClassFactory* factory = static_cast<IClassFactory*>(kSentinel);
         EXPECT_EQ(p.QueryInterface(&factory), E_NOINTERFACE);
         EXPECT_EQ(factory, nullptr);
       },
       1, 0},
      {"QueryInterface on NULL",
       [](auto&, auto&) {
         Ptr p;
         IUnknown* out = static_cast<IUnknown*>(kSentinel);
         EXPECT_EQ(p.QueryInterface(&out), E_POINTER);
         EXPECT_EQ(out, nullptr);
       },
       0, 0},
      {"successful QueryInterface", [](auto& a, auto&) { Ptr p(&a); Ptr q; EXPECT_EQ(p.QueryInterface(&q.p), S_OK); }, 2,
       0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    CountingUnknown a, b;
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
