#include "palisade/wsdl_data_utils.h"

#include "hostrt32/hostrt32.h"
#include "temp_dir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

namespace {

using testing_support::TempDir;

// A product folder: the module directory "bin" with its sibling "dat".
class OptionsFile : public ::testing::Test {
 protected:
  void SetUp() override {
    std::filesystem::create_directories(dir.path() / "bin");
    os_set_module_dir_name((dir.str() + "/bin").c_str());
  }
  void TearDown() override { os_set_module_dir_name(nullptr); }
  void Write(const std::string& text) { dir.Write("dat/silverlight_ro.ini", text); }

  struct Options {
    bool autoDetect, generate, importOnly;
    bool operator==(const Options& o) const {
      return autoDetect == o.autoDetect && generate == o.generate && importOnly == o.importOnly;
    }
  };
  static Options Read(WsdlDataUtils& u) {
    return {u.IsAutoDetect(), u.IsGenerateWebServiceCall(), u.IsImportOnlyFromList()};
  }

  TempDir dir;
};

TEST_F(OptionsFile, ValuesAndSpellings) {
  struct Case {
    const char* name;
    std::string file;
    Options expected;
  };
  const Case cases[] = {
      {"only AutoDetectMode=Yes", "[GENERAL]\nAutoDetectMode=Yes\n", {true, false, false}},
      {"on / off / maybe", "[GENERAL]\nAutoDetectMode=on\nGenerateWebServiceCall=off\nImportWsdlOnlyFromList=maybe\n",
       {true, false, false}},
      {"empty values", "[GENERAL]\nAutoDetectMode=\nGenerateWebServiceCall=\nImportWsdlOnlyFromList=\n",
       {false, false, false}},
      {"import only, others absent", "[GENERAL]\nImportWsdlOnlyFromList=true\n", {false, false, true}},
      {"the constant's name is not the key", "[GENERAL]\nGenerateOnlyFromList=true\n", {false, false, false}},
      {"crlf, bom, comments, upper case", "\xEF\xBB\xBF; options\r\n[general]\r\n# x\r\nAUTODETECTMODE = Yes\r\n"
                                          "generatewebservicecall= true\r\nImportWsdlOnlyFromList=oN\r\n",
       {true, true, true}},
      {"0.5 and quoted", "[GENERAL]\nAutoDetectMode=0.5\nGenerateWebServiceCall=\"yes\"\n", {false, true, false}},
      {"other section", "[OTHER]\nAutoDetectMode=Yes\n", {false, false, false}},
  };
  for (const Case& c : cases) {
    Write(c.file);
    WsdlDataUtils utils(true);
    EXPECT_TRUE(Read(utils) == c.expected) << c.name;
  }
}

TEST_F(OptionsFile, FalseConstructionReadsNothingUntilAsked) {
  Write("[GENERAL]\nAutoDetectMode=1\nGenerateWebServiceCall=1\nImportWsdlOnlyFromList=1\n");
  WsdlDataUtils utils(false);
  EXPECT_TRUE(Read(utils) == (Options{false, false, false}));
  utils.ReadDataFromFile();
  EXPECT_TRUE(Read(utils) == (Options{true, true, true}));
}

TEST_F(OptionsFile, AFileThatCannotBeReadLeavesTheOptions) {
  Write("[GENERAL]\nAutoDetectMode=Yes\nImportWsdlOnlyFromList=Yes\n");
  WsdlDataUtils utils(true);
  std::filesystem::remove(dir.path() / "dat" / "silverlight_ro.ini");
  utils.ReadDataFromFile();
  EXPECT_TRUE(Read(utils) == (Options{true, false, true}));

  // No module directory, or one too long for the path: nothing is read either.
  Write("[GENERAL]\nAutoDetectMode=No\n");
  os_set_module_dir_name(("/" + std::string(399, 'd')).c_str());
  utils.ReadDataFromFile();
  EXPECT_TRUE(Read(utils) == (Options{true, false, true}));
}

TEST_F(OptionsFile, CopiesAnswerAsTheSourceDidThen) {
  Write("[GENERAL]\nAutoDetectMode=Yes\n");
  WsdlDataUtils source(true);
  WsdlDataUtils copy(source);
  WsdlDataUtils assigned(false);
  assigned = source;
  Write("[GENERAL]\nGenerateWebServiceCall=Yes\n");
  source.ReadDataFromFile();
  EXPECT_TRUE(Read(copy) == (Options{true, false, false}));
  EXPECT_TRUE(Read(assigned) == (Options{true, false, false}));
  EXPECT_TRUE(Read(source) == (Options{false, true, false}));
}

}  // namespace
