// Failed-WSDL entries and WSDL ini look-ups, through the real component and real files.
#include "persistence_test_support.h"

namespace persistence_test {
namespace {

using ErrorDataTest = PersistenceTest;
using WsdlIniTest = PersistenceTest;

WsdlErrorData Failure(const std::string& endPoint, const std::string& url, const std::string& text) {
  WsdlErrorData data = CallersErrorData();
  data.endPoint = endPoint;
  data.wsdlUrl = url;
  data.errorText = text;
  return data;
}

// What a look-up fills in: the three stored texts and entryFound; the rest stays the caller's.
WsdlErrorData Found(const std::string& endPoint, const std::string& url, const std::string& text) {
  WsdlErrorData data = Failure(endPoint, url, text);
  data.entryFound = true;
  return data;
}

TEST_F(ErrorDataTest, SavedEntryIsFoundWithoutItsConnectionSettings) {
  const std::string folder = Folder("script");
  SilverlightObjectsManagement objects, fresh;
  WsdlErrorData saved = Failure("http://host/svc", "http://host/svc?wsdl", "404 Not Found\r\nline two");
  saved.connectionText1 = "stored but never read back";
  objects.SaveErrorData(folder, saved);
  for (SilverlightObjectsManagement* reader : {&objects, &fresh}) {
    WsdlErrorData data = CallersErrorData();
    ASSERT_TRUE(reader->GetEntryFromErrorDataFile(folder, "http://host/svc", data));
    EXPECT_EQ(Describe(Found("http://host/svc", "http://host/svc?wsdl", "404 Not Found\r\nline two")), Describe(data));
  }
  const std::string file = ReadFile(folder + "/failed_wsdl_info.ini");
  EXPECT_NE(std::string::npos, file.find("ItemFlag=0\r\n"));
  EXPECT_NE(std::string::npos, file.find("ItemName=http://host/svc\r\n"));
  EXPECT_NE(std::string::npos, file.find("ConnectionText1=stored but never read back\r\n"));
}

TEST_F(ErrorDataTest, AbsentEndpointLeavesTheRecordAlone) {
  const std::string folder = Folder("script");
  SilverlightObjectsManagement objects;
  objects.SaveErrorData(folder, Failure("a", "u", "t"));
  WsdlErrorData data = CallersErrorData();
  EXPECT_FALSE(objects.GetEntryFromErrorDataFile(folder, "b", data));
  EXPECT_FALSE(objects.GetEntryFromErrorDataFile(Folder("empty"), "b", data));
  EXPECT_EQ(Describe(CallersErrorData()), Describe(data));
}

TEST_F(ErrorDataTest, FolderNamesAndEndpointsAreTakenAsGiven) {
  const std::string folder = Folder("script");
  SilverlightObjectsManagement objects;
  // A closing backslash gives "\\failed_wsdl_info.ini", the same file on this platform.
  objects.SaveErrorData(folder + "\\", Failure("", "u-empty", "no endpoint"));
  ASSERT_TRUE(std::filesystem::exists(folder + "/failed_wsdl_info.ini"));
  SilverlightObjectsManagement reader;
  WsdlErrorData data = CallersErrorData();
  ASSERT_TRUE(reader.GetEntryFromErrorDataFile(folder, "", data));
  EXPECT_EQ(Describe(Found("", "u-empty", "no endpoint")), Describe(data));
}

TEST_F(ErrorDataTest, SecondSaveOfAnEndpointIsRefused) {
  const std::string folder = Folder("script");
  SilverlightObjectsManagement objects;
  objects.SaveErrorData(folder, Failure("ep", "u", "first"));
  const std::string file = ReadFile(folder + "/failed_wsdl_info.ini");
  objects.SaveErrorData(folder, Failure("EP", "u", "second"));
  EXPECT_EQ(file, ReadFile(folder + "/failed_wsdl_info.ini"));
  WsdlErrorData data;
  ASSERT_TRUE(objects.GetEntryFromErrorDataFile(folder, "ep", data));
  EXPECT_EQ("first", data.errorText);
}

// Each folder is answered from its own file, whichever folder the object named first, and a save
// writes only into the folder it names.
TEST_F(ErrorDataTest, EachFolderHasItsOwnList) {
  const std::string a = Folder("a"), b = Folder("b");
  {
    SilverlightObjectsManagement others;
    others.SaveErrorData(a, Failure("in-a", "ua", "ta"));
    others.SaveErrorData(b, Failure("in-b", "ub", "tb"));
  }
  SilverlightObjectsManagement objects;
  const struct {
    const std::string& folder;
    const char* endPoint;
    bool found;
  } lookUps[] = {{a, "in-a", true}, {b, "in-a", false}, {b, "in-b", true}, {a, "in-b", false}, {a, "in-a", true}};
  WsdlErrorData data;
  for (const auto& l : lookUps) EXPECT_EQ(l.found, objects.GetEntryFromErrorDataFile(l.folder, l.endPoint, data)) << l.endPoint;
  objects.SaveErrorData(b, Failure("new", "un", "tn"));
  SilverlightObjectsManagement reader;
  for (const char* endPoint : {"in-b", "new"}) EXPECT_TRUE(reader.GetEntryFromErrorDataFile(b, endPoint, data)) << endPoint;
  EXPECT_FALSE(reader.GetEntryFromErrorDataFile(b, "in-a", data)) << "A's entry reached B's file";
  EXPECT_FALSE(reader.GetEntryFromErrorDataFile(a, "new", data)) << "B's entry reached A's file";
}

TEST_F(ErrorDataTest, SaveKeepsEntriesAnotherObjectSavedSinceTheLoad) {
  const std::string folder = Folder("script");
  SilverlightObjectsManagement first, second;
  first.SaveErrorData(folder, Failure("one", "u1", "t1"));
  second.SaveErrorData(folder, Failure("two", "u2", "t2"));  // loaded after "one" was saved
  first.SaveErrorData(folder, Failure("three", "u3", "t3"));
  SilverlightObjectsManagement reader;
  WsdlErrorData data;
  for (const char* endPoint : {"one", "two", "three"}) {
    EXPECT_TRUE(reader.GetEntryFromErrorDataFile(folder, endPoint, data)) << endPoint;
  }
}

TEST_F(ErrorDataTest, FileThatCannotBeLoadedIsNeverReplaced) {
  const std::string folder = Folder("script");
  const std::string file = folder + "/failed_wsdl_info.ini";
  const std::uintmax_t tooLarge = (std::uintmax_t(256) << 20) + 1;  // more than the component reads
  dir.Write("script/failed_wsdl_info.ini", "");
  std::filesystem::resize_file(file, tooLarge);
  SilverlightObjectsManagement objects;
  objects.SaveErrorData(folder, Failure("ep", "u", "t"));   // the load fails: this save is lost
  objects.SaveErrorData(folder, Failure("ep2", "u", "t"));  // the list in memory is not the file's
  WsdlErrorData data = CallersErrorData();
  EXPECT_TRUE(objects.GetEntryFromErrorDataFile(folder, "ep2", data)) << "kept in memory";
  EXPECT_EQ(tooLarge, std::filesystem::file_size(file));
}

TEST_F(WsdlIniTest, LooksUpTheLocationOfAnEndpoint) {
  const std::string folder = Folder("project");
  std::filesystem::create_directories(folder + "/WSDL");
  WriteList(folder + "/WSDL/web_services.ini", {{"http://host/a.svc", "C:\\wsdl\\a.wsdl"}, {"b", ""}});
  SilverlightObjectsManagement objects;
  std::string location = "caller";
  ASSERT_TRUE(objects.GetEntryFromWsdlIniFile(folder, "http://host/a.svc", location));
  EXPECT_EQ("C:\\wsdl\\a.wsdl", location);
  ASSERT_TRUE(objects.GetEntryFromWsdlIniFile(folder, "HTTP://HOST/A.SVC", location)) << "keys compare without case";
  location = "caller";
  ASSERT_TRUE(objects.GetEntryFromWsdlIniFile(folder, "b", location));
  EXPECT_EQ("", location);
  location = "caller";
  EXPECT_FALSE(objects.GetEntryFromWsdlIniFile(folder, " b", location)) << "not trimmed";
  EXPECT_FALSE(objects.GetEntryFromWsdlIniFile(folder, "c", location));
  EXPECT_EQ("caller", location);
}

TEST_F(WsdlIniTest, LoadedOncePerObjectAndFolder) {
  const std::string a = Folder("a"), b = Folder("b"), missing = Folder("missing");
  std::filesystem::create_directories(a + "/WSDL");
  std::filesystem::create_directories(b + "/WSDL");
  WriteList(a + "/WSDL/web_services.ini", {{"ep", "from-a"}});
  WriteList(b + "/WSDL/web_services.ini", {{"ep", "from-b"}, {"only-b", "b"}});
  SilverlightObjectsManagement first;
  std::string location;
  // A closing backslash doubles it before "WSDL": the same folder on this platform.
  ASSERT_TRUE(first.GetEntryFromWsdlIniFile(a + "\\", "ep", location));
  EXPECT_EQ("from-a", location);
  ASSERT_TRUE(first.GetEntryFromWsdlIniFile(b, "ep", location));
  EXPECT_EQ("from-b", location);
  EXPECT_TRUE(first.GetEntryFromWsdlIniFile(b, "only-b", location));
  EXPECT_FALSE(first.GetEntryFromWsdlIniFile(a, "only-b", location));

  SilverlightObjectsManagement second;
  EXPECT_FALSE(second.GetEntryFromWsdlIniFile(missing, "ep", location));
  std::filesystem::create_directories(missing + "/WSDL");
  WriteList(missing + "/WSDL/web_services.ini", {{"ep", "late"}});
  EXPECT_FALSE(second.GetEntryFromWsdlIniFile(missing, "ep", location)) << "loaded once: stays empty";
  EXPECT_TRUE(second.GetEntryFromWsdlIniFile(a, "ep", location));
  SilverlightObjectsManagement third;
  EXPECT_TRUE(third.GetEntryFromWsdlIniFile(missing, "ep", location));
  EXPECT_EQ("late", location);
}

}  // namespace
}  // namespace persistence_test
