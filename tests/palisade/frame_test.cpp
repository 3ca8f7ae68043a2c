#include "frame/com_creation.h"
#include "frame/conversions.h"
#include "frame/data_file.h"

#include "hostrt32/hostrt32.h"
#include "win32/diagnostics.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(Conversions, TextAndBstrRoundTripInTheAnsiCodePage) {
  const long bstrsBefore = ComDiagLiveBstrs();
  for (const std::string& text : {std::string(""), std::string("plain"), std::string("J\xF6rg \x80 \x9F"),
                                 std::string(100000, 'x')}) {
    win32::Bstr b = frame::ToBstr(text);
    ASSERT_NE(b.get(), nullptr) << "an empty text gives an empty, non-null BSTR";
    EXPECT_EQ(SysStringLen(b.get()), text.size());
    EXPECT_EQ(frame::FromBstr(b.get()), text);
  }
  EXPECT_EQ(frame::ToBstr(static_cast<const char*>(nullptr)).get(), nullptr);
  EXPECT_EQ(frame::FromBstr(nullptr), "");
  // Characters the code page lacks become '?'; a BSTR is read up to its first NUL.
  const OLECHAR wide[] = {OLESTR('a'), 0x0440, OLESTR('b'), 0, OLESTR('c')};
  win32::Bstr b(win32::OleStringView(wide, 5));
  EXPECT_EQ(frame::FromBstr(b.get()), "a?b");
  if (kComDiagnostics) {
    EXPECT_EQ(ComDiagLiveBstrs(), bstrsBefore + 1);
  }
}

TEST(Conversions, FailedAllocationRaisesOutOfMemory) {
  if (!kComDiagnostics) GTEST_SKIP() << "Windows' allocator takes no injected failures";
  ComDiagFailBstrAllocations(0, 1);
  try {
    (void)frame::ToBstr("text");
    FAIL() << "no error raised";
  } catch (const _com_error& e) {
    EXPECT_EQ(e.Error(), E_OUTOFMEMORY);
  }
  ComDiagFailBstrAllocations(0, 0);
}

TEST(ComCreation, UnknownProgIdGivesAnEmptyPointer) {
  ASSERT_TRUE(SUCCEEDED(CoInitialize(nullptr)));
  EXPECT_FALSE(frame::CreateByProgId<IUnknown>(OLESTR("No.Such.Class")));
  CoUninitialize();
}

TEST(DataFile, PathIsFormedOnlyWhenItFits) {
  char path[frame::kPathBuffer];
  os_set_module_dir_name("/opt/product/bin");
  ASSERT_TRUE(frame::LocateDataFile("silverlight_ro.ini", path));
  EXPECT_STREQ(path, "/opt/product/bin\\..\\dat\\silverlight_ro.ini");

  // "\..\dat\silverlight_ro.ini" is 26 bytes: a directory of 233 fits with the NUL, 234 does not.
  for (const std::size_t length : {233u, 234u, 259u, 260u, 400u}) {
    const std::string dir = "/" + std::string(length - 1, 'd');
    os_set_module_dir_name(dir.c_str());
    const bool formed = frame::LocateDataFile("silverlight_ro.ini", path);
    EXPECT_EQ(formed, length <= 233) << length;
    if (formed) {
      EXPECT_EQ(std::string(path), dir + "\\..\\dat\\silverlight_ro.ini");
    } else {
      EXPECT_STREQ(path, "") << "no cut-off path";
    }
  }
  os_set_module_dir_name(nullptr);
}

}  // namespace
