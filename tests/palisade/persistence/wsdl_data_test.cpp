// WSDL entries in the history file, through the real component: saving, reading, refusing a taken
// key, the options section beside the list, and what objects and their copies see.
#include "persistence_test_support.h"

#include "palisade/wsdl_data_utils.h"

#include <cstdio>

namespace persistence_test {
namespace {

const char kOptions[] =
    "; Recording options for web services and rich-client traffic.\r\n"
    "[GENERAL]\r\n"
    "; Detect WSDL links on service pages while recording\r\n"
    "AutoDetectMode=Yes\r\n"
    "GenerateWebServiceCall = oN\r\n"
    "ImportWsdlOnlyFromList=0.5\r\n";

using WsdlDataTest = PersistenceTest;

TEST_F(WsdlDataTest, SavedEntryReadsBackOnTheSameObject) {
  SilverlightObjectsManagement objects;
  ASSERT_TRUE(objects.SaveWsdlData("Catalog", "http://host/Catalog.svc?wsdl"));
  WsdlData data = CallersWsdlData();
  ASSERT_TRUE(objects.GetWsdlData("Catalog", data));
  // The connection texts are put empty; the flags keep a new item's value, 0.
  EXPECT_EQ(Describe(WsdlData{"http://host/Catalog.svc?wsdl", false, "", "", false, "", "", "", ""}), Describe(data));
  EXPECT_NE(std::string::npos, ReadFile(HistoryFile()).find("WsdlUrl=http://host/Catalog.svc?wsdl"));
}

TEST_F(WsdlDataTest, TakenKeyIsRefusedAndNothingChanges) {
  SilverlightObjectsManagement objects;
  ASSERT_TRUE(objects.SaveWsdlData("Catalog", "http://first"));
  const std::string file = ReadFile(HistoryFile());
  for (const char* key : {"Catalog", "CATALOG"}) {
    EXPECT_FALSE(objects.SaveWsdlData(key, "http://second")) << key;
    EXPECT_EQ(file, ReadFile(HistoryFile()));
  }
  WsdlData data;
  ASSERT_TRUE(objects.GetWsdlData("catalog", data));
  EXPECT_EQ("http://first", data.wsdlUrl);
}

TEST_F(WsdlDataTest, AbsentKeyLeavesTheRecordAlone) {
  dir.Write("dat/silverlight_ro.ini", kOptions);
  SilverlightObjectsManagement objects;
  WsdlData data = CallersWsdlData();
  EXPECT_FALSE(objects.GetWsdlData("Nothing", data));
  EXPECT_FALSE(objects.GetWsdlData(" GENERAL", data)) << "the options section is no entry";
  EXPECT_EQ(Describe(CallersWsdlData()), Describe(data));
}

TEST_F(WsdlDataTest, OptionsSurviveAThousandSavesAndAnEntryNamedGeneral) {
  dir.Write("dat/silverlight_ro.ini", kOptions);
  {
    SilverlightObjectsManagement objects;
    ASSERT_TRUE(objects.SaveWsdlData("GENERAL", "http://general?wsdl"));
    for (int i = 1; i < 1000; ++i) {
      ASSERT_TRUE(objects.SaveWsdlData(("Service" + std::to_string(i)).c_str(), "http://s?wsdl"));
    }
  }
  EXPECT_EQ(0u, ReadFile(HistoryFile()).rfind(kOptions, 0)) << "the options text is where it was, byte for byte";
  WsdlDataUtils options(true);
  EXPECT_TRUE(options.IsAutoDetect());
  EXPECT_TRUE(options.IsGenerateWebServiceCall());
  EXPECT_FALSE(options.IsImportOnlyFromList());
  SilverlightObjectsManagement reader;
  WsdlData data;
  ASSERT_TRUE(reader.GetWsdlData("GENERAL", data));
  EXPECT_EQ("http://general?wsdl", data.wsdlUrl);
  EXPECT_TRUE(reader.GetWsdlData("Service999", data));
}

TEST_F(WsdlDataTest, AnObjectSeesTheFileAsItLoadedIt) {
  SilverlightObjectsManagement early;
  WsdlData data;
  EXPECT_FALSE(early.GetWsdlData("Late", data));  // loads the (missing) file
  {
    SilverlightObjectsManagement writer;
    ASSERT_TRUE(writer.SaveWsdlData("Late", "http://late"));
  }
  EXPECT_FALSE(early.GetWsdlData("Late", data));
  SilverlightObjectsManagement after;
  EXPECT_TRUE(after.GetWsdlData("Late", data));
  // The early object's own save keeps the entry it never saw.
  ASSERT_TRUE(early.SaveWsdlData("Early", "http://early"));
  SilverlightObjectsManagement reader;
  EXPECT_TRUE(reader.GetWsdlData("Late", data));
  EXPECT_TRUE(reader.GetWsdlData("Early", data));
}

TEST_F(WsdlDataTest, CopiesShareTheLists) {
  SilverlightObjectsManagement original;
  ASSERT_TRUE(original.SaveWsdlData("One", "http://one"));
  WsdlData data;
  {
    SilverlightObjectsManagement copy(original);
    ASSERT_TRUE(copy.SaveWsdlData("Two", "http://two"));
    EXPECT_TRUE(copy.GetWsdlData("One", data));
    std::remove(HistoryFile().c_str());  // what they share is the list in memory, not the file
    EXPECT_TRUE(original.GetWsdlData("Two", data));
    SilverlightObjectsManagement assigned;
    assigned = copy;
    ASSERT_TRUE(assigned.SaveWsdlData("Three", "http://three"));
  }
  EXPECT_TRUE(original.GetWsdlData("Three", data));
  EXPECT_EQ("http://three", data.wsdlUrl);
  EXPECT_TRUE(original.SaveWsdlData("Four", "http://four"));
}

TEST_F(WsdlDataTest, NoHistoryFileWithoutAModuleDirectory) {
  const std::string tooLong = dir.str() + "/" + std::string(300, 'd');
  os_set_module_dir_name(tooLong.c_str());
  SilverlightObjectsManagement objects;
  EXPECT_FALSE(objects.SaveWsdlData("Svc", "http://svc")) << "nowhere to save it";
  WsdlData data;
  EXPECT_TRUE(objects.GetWsdlData("Svc", data)) << "the entry stays in the list in memory";
  EXPECT_FALSE(std::filesystem::exists(HistoryFile()));
}

}  // namespace
}  // namespace persistence_test
