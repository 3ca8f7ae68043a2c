// Per-thread error information, and how _com_error carries it.
#include "com_test_support.h"
#include "test_system.h"
#include "test_widget.h"
#include "win32/com_object.h"
#include "win32/strings.h"

#include <memory>

namespace {

constexpr GUID kSomeGuid = {0x12345678, 0x9ABC, 0xDEF0, {1, 2, 3, 4, 5, 6, 7, 8}};

// Vouches for error information on IWidget only.
class Reporter final : public win32::ComObject<Reporter, IWidget, ISupportErrorInfo> {
 public:
  HRESULT STDMETHODCALLTYPE Answer(LONG*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE InterfaceSupportsErrorInfo(REFIID riid) override {
    return riid == IID_IWidget ? S_OK : S_FALSE;
  }
};
class Silent final : public win32::ComObject<Silent, IWidget> {
 public:
  HRESULT STDMETHODCALLTYPE Answer(LONG*) override { return E_NOTIMPL; }
};

win32::OleString Text(HRESULT (STDMETHODCALLTYPE IErrorInfo::*get)(BSTR*), IErrorInfo* info) {
  win32::Bstr text;
  EXPECT_EQ((info->*get)(text.out()), S_OK);
  return win32::OleString(text.view());
}

class ErrorInfoTest : public ::testing::Test {};

TEST_F(ErrorInfoTest, SetGetTransfersAndClears) {
  CComPtr<ICreateErrorInfo> create;
  ASSERT_EQ(CreateErrorInfo(&create), S_OK);
  create->SetGUID(kSomeGuid);
  create->SetSource(const_cast<LPOLESTR>(OLESTR("Source")));
  create->SetDescription(const_cast<LPOLESTR>(OLESTR("Went \u00E9 wrong")));
  create->SetHelpFile(nullptr);
  create->SetHelpContext(77);
  CComPtr<IErrorInfo> info;
  ASSERT_EQ(create.QueryInterface(&info.p), S_OK);
  create.Release();
  EXPECT_EQ(SetErrorInfo(0, info), S_OK);
  EXPECT_EQ(RefCount(info), 2u);

  IErrorInfo* taken = static_cast<IErrorInfo*>(kSentinel);
  ASSERT_EQ(GetErrorInfo(0, &taken), S_OK);
  EXPECT_EQ(taken, info.p);
  EXPECT_EQ(RefCount(info), 2u);  // the thread's reference was handed over, not copied
  taken->Release();
  taken = static_cast<IErrorInfo*>(kSentinel);
  EXPECT_EQ(GetErrorInfo(0, &taken), S_FALSE);
  EXPECT_EQ(taken, nullptr);
  EXPECT_EQ(GetErrorInfo(0, nullptr), E_INVALIDARG);

  GUID guid = GUID_NULL;
  DWORD context = 0;
  EXPECT_EQ(info->GetGUID(&guid), S_OK);
  EXPECT_EQ(guid, kSomeGuid);
  EXPECT_EQ(Text(&IErrorInfo::GetSource, info), OLESTR("Source"));
  EXPECT_EQ(Text(&IErrorInfo::GetDescription, info), OLESTR("Went \u00E9 wrong"));
  EXPECT_EQ(Text(&IErrorInfo::GetHelpFile, info), OLESTR(""));
  EXPECT_EQ(info->GetHelpContext(&context), S_OK);
  EXPECT_EQ(context, 77u);

  // Replacing, clearing and leaving COM each release the thread's reference.
  SetErrorInfo(0, info);
  SetErrorInfo(0, info);
  SetErrorInfo(0, nullptr);
  EXPECT_EQ(RefCount(info), 1u);
  {
    Apartment apartment;
    SetErrorInfo(0, info);
  }
  // Wine keeps the thread's error information past its last CoUninitialize, until the thread ends.
  EXPECT_EQ(RefCount(info), testing_support::RunsUnderWine() ? 2u : 1u);
  SetErrorInfo(0, nullptr);
}

TEST_F(ErrorInfoTest, IssueErrorExAttachesOnlyWhatTheObjectVouchesFor) {
  CComPtr<IUnknown> reporter, silent;
  ASSERT_EQ(Reporter::Create(IID_IUnknown, reinterpret_cast<void**>(&reporter)), S_OK);
  ASSERT_EQ(Silent::Create(IID_IUnknown, reinterpret_cast<void**>(&silent)), S_OK);
  const struct {
    const char* name;
    IUnknown* object;
    IID iid;
    bool attached;
  } cases[] = {
      {"vouched-for interface", reporter, IID_IWidget, true},
      {"other interface", reporter, IID_IDispatch, false},
      {"no ISupportErrorInfo", silent, IID_IWidget, false},
      {"no object", nullptr, IID_IWidget, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(win32::ReportError(E_ABORT, IID_IWidget, OLESTR("Widget"), OLESTR("broke")), E_ABORT);
    try {
      _com_issue_errorex(E_ABORT, c.object, c.iid);
    } catch (const _com_error& e) {
      EXPECT_EQ(e.Error(), E_ABORT);
      CComPtr<IErrorInfo> info;
      info.Attach(e.ErrorInfo());
      ASSERT_EQ(info != nullptr, c.attached);
      EXPECT_EQ(e.Description(), c.attached ? OLESTR("broke") : OLESTR(""));
      GUID guid = GUID_NULL;
      if (info) info->GetGUID(&guid);
      EXPECT_EQ(guid, c.attached ? IID_IWidget : GUID_NULL);
    }
    // Attached information was taken from the thread; any other is left for its own caller.
    CComPtr<IErrorInfo> left;
    EXPECT_EQ(GetErrorInfo(0, &left), c.attached ? S_FALSE : S_OK);
  }
}

TEST_F(ErrorInfoTest, ComErrorCopiesShareTheInformation) {
  win32::ReportError(E_FAIL, IID_IWidget, OLESTR("Widget"), OLESTR("kept alive"));
  IErrorInfo* raw = nullptr;
  ASSERT_EQ(GetErrorInfo(0, &raw), S_OK);
  const long live = ComDiagLiveObjects();
  {
    auto original = std::make_unique<_com_error>(E_FAIL, raw);  // takes our reference
    _com_error copy(*original);
    EXPECT_EQ(RefCount(raw), 2u);
    _com_error assigned(E_ABORT, raw, true);
    assigned = copy;
    _com_error& alias = assigned;
    assigned = alias;
    EXPECT_EQ(RefCount(raw), 3u);
    original.reset();
    EXPECT_EQ(copy.Description(), OLESTR("kept alive"));
    EXPECT_EQ(assigned.Error(), E_FAIL);
    CComPtr<IErrorInfo> again;
    again.Attach(copy.ErrorInfo());
    EXPECT_EQ(RefCount(raw), 3u);
    EXPECT_EQ(ComDiagLiveObjects(), live);
  }
  if (kComDiagnostics) {
    EXPECT_EQ(ComDiagLiveObjects(), live - 1);
  }
}

}  // namespace
