// BSTR layout and allocation, VARIANT clearing.
#include "com_test_support.h"
#include "win32/strings.h"

#include <cstring>
#include <string_view>

namespace {

class BstrTest : public ::testing::Test {
 protected:
  void TearDown() override {
    ComDiagFailBstrAllocations(0, 0);
    ::testing::Test::TearDown();
  }
};

TEST_F(BstrTest, LayoutMatchesWindows) {
  static_assert(sizeof(HRESULT) == 4 && sizeof(OLECHAR) == 2 && sizeof(VARIANT_BOOL) == 2);
  static_assert(FAILED(E_FAIL) && SUCCEEDED(S_FALSE) && VARIANT_TRUE == -1 && VARIANT_FALSE == 0);
  const win32::Bstr b(OLESTR("h\u00E9llo"));
  std::uint32_t prefix;
  std::memcpy(&prefix, reinterpret_cast<const char*>(b.get()) - sizeof prefix, sizeof prefix);
  EXPECT_EQ(prefix, 10u);
  EXPECT_EQ(SysStringByteLen(b.get()), 10u);
  EXPECT_EQ(SysStringLen(b.get()), 5u);
  EXPECT_EQ(b.get()[5], 0);
}

TEST_F(BstrTest, AllocationEdges) {
  EXPECT_EQ(SysAllocString(nullptr), nullptr);
  EXPECT_EQ(SysStringLen(nullptr), 0u);
  EXPECT_EQ(SysStringByteLen(nullptr), 0u);
  SysFreeString(nullptr);
  const long live = ComDiagLiveBstrs();

  const win32::Bstr empty(OLESTR(""));
  ASSERT_NE(empty.get(), nullptr);
  EXPECT_EQ(SysStringLen(empty.get()), 0u);
  EXPECT_EQ(empty.get()[0], 0);
  const win32::Bstr embedded{win32::OleStringView(OLESTR("a\0b"), 3)};
  EXPECT_EQ(embedded.view(), win32::OleStringView(OLESTR("a\0b"), 3));
  EXPECT_EQ(embedded.get()[3], 0);
  win32::Bstr zeros, odd;
  zeros.Attach(SysAllocStringLen(nullptr, 4));
  EXPECT_EQ(zeros.view(), win32::OleString(4, OLESTR('\0')));

  // An odd byte count still ends in a whole NUL character, even in reused, dirty memory.
  const std::string dirt(30, '\xFF'), text = "twenty-one characters";
  SysFreeString(SysAllocStringByteLen(dirt.data(), static_cast<UINT>(dirt.size())));
  odd.Attach(SysAllocStringByteLen(text.data(), 21));
  EXPECT_EQ(SysStringByteLen(odd.get()), 21u);
  EXPECT_EQ(SysStringLen(odd.get()), 10u);
  EXPECT_EQ(reinterpret_cast<const char*>(odd.get())[21], 0);
  EXPECT_EQ(win32::OleStringView(odd.get()).size(), 11u);
  if (kComDiagnostics) {
    EXPECT_EQ(ComDiagLiveBstrs(), live + 4);
  }
}

TEST_F(BstrTest, InjectedAllocationFailures) {
  if (!kComDiagnostics) GTEST_SKIP() << "Windows' allocator takes no injected failures";
  ComDiagFailBstrAllocations(1, 2);
  const win32::Bstr first(OLESTR("ok"));
  EXPECT_EQ(SysAllocString(OLESTR("fails")), nullptr);
  try {
    win32::Bstr failing(OLESTR("fails too"));
    ADD_FAILURE() << "no exception";
  } catch (const _com_error& e) {
    EXPECT_EQ(e.Error(), E_OUTOFMEMORY);
  }
  BSTR after = SysAllocStringLen(OLESTR("ok"), 2);
  EXPECT_NE(after, nullptr);
  SysFreeString(after);
}

TEST_F(BstrTest, VariantClearReleasesOnlyWhatItOwns) {
  CountingUnknown unknown;
  BSTR kept = SysAllocString(OLESTR("by reference"));
  const struct {
    const char* name;
    VARTYPE vt;
    bool bstr;  // holds a fresh BSTR (or `kept` by reference), else the counting object
    HRESULT expected;
    long bstrsFreed;
    int releases;
  } cases[] = {
      {"BSTR", VT_BSTR, true, S_OK, 1, 0},
      {"IUnknown", VT_UNKNOWN, false, S_OK, 0, 1},
      {"IDispatch", VT_DISPATCH, false, S_OK, 0, 1},
      {"BSTR by reference", VT_BSTR | VT_BYREF, true, S_OK, 0, 0},
      {"IUnknown by reference", VT_UNKNOWN | VT_BYREF, false, S_OK, 0, 0},
      {"plain value", VT_I4, false, S_OK, 0, 0},
      {"decimal", 14, false, S_OK, 0, 0},
      {"type 15", 15, true, DISP_E_BADVARTYPE, 0, 0},
      {"beyond the types", 0x50, false, DISP_E_BADVARTYPE, 0, 0},
      {"reserved bit", VT_UNKNOWN | 0x8000, false, DISP_E_BADVARTYPE, 0, 0},
      {"EMPTY by reference", VT_EMPTY | VT_BYREF, false, DISP_E_BADVARTYPE, 0, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const int releasesBefore = unknown.releases;
    VARIANT v;
    VariantInit(&v);
    EXPECT_EQ(v.vt, VT_EMPTY);
    v.vt = c.vt;
    if (c.bstr) {
      v.bstrVal = (c.vt & VT_BYREF) ? kept : SysAllocString(OLESTR("text"));
    } else {
      v.punkVal = &unknown;
      unknown.AddRef();
    }
    const long before = ComDiagLiveBstrs();
    EXPECT_EQ(VariantClear(&v), c.expected);
    if (kComDiagnostics) {
      EXPECT_EQ(before - ComDiagLiveBstrs(), c.bstrsFreed);
    }
    EXPECT_EQ(unknown.releases - releasesBefore, c.releases);
    EXPECT_EQ(v.vt, c.expected == S_OK ? VARTYPE{VT_EMPTY} : c.vt);  // a refused variant is left alone
    if (c.expected != S_OK && c.bstr) SysFreeString(v.bstrVal);
    while (unknown.refs > 1) unknown.Release();
  }
  SysFreeString(kept);
  // Windows does not check for NULL (it faults); our runtime refuses it.
  if (kComDiagnostics) {
    EXPECT_EQ(VariantClear(nullptr), E_INVALIDARG);
  }
}

}  // namespace
