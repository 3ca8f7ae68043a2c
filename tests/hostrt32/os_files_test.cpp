#include "hostrt32/os_files.h"

#include "temp_dir.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

namespace {

using testing_support::ReadFile;
using testing_support::TempDir;

TEST(OsFiles, BackslashesNameTheSameFile) {
  EXPECT_EQ(hostrt::NativePath("C:\\x\\..\\dat\\f.ini"), "C:/x/../dat/f.ini");
  TempDir dir;
  std::filesystem::create_directories(dir.path() / "bin");
  dir.Write("dat/silverlight_ro.ini", "[GENERAL]\n");
  std::string contents, error;
  EXPECT_TRUE(hostrt::ReadWholeFile(hostrt::NativePath(dir.str() + "/bin\\..\\dat\\silverlight_ro.ini"), contents, error));
  EXPECT_EQ(contents, "[GENERAL]\n");
}

TEST(OsFiles, ReadRefusesWhatItShouldNotRead) {
  TempDir dir;
  std::string contents = "stale", error;
  EXPECT_FALSE(hostrt::ReadWholeFile(dir.str() + "/missing", contents, error));
  EXPECT_TRUE(contents.empty());
  EXPECT_NE(error.find("cannot open"), std::string::npos);
  EXPECT_FALSE(hostrt::ReadWholeFile(dir.str(), contents, error)) << "a folder is not a file";
  dir.Write("big", std::string(1000, 'x'));
  EXPECT_FALSE(hostrt::ReadWholeFile(dir.str() + "/big", contents, error, 999));
  EXPECT_TRUE(hostrt::ReadWholeFile(dir.str() + "/big", contents, error, 1000));
}

TEST(OsFiles, ReplaceWritesWholeFilesWithTheirMode) {
  TempDir dir;
  const std::string file = dir.Write("secret.xml", "old");
  std::string error;
  ASSERT_TRUE(hostrt::ReplaceFileAtomically(file, std::string("new\0data", 8), 0600, error)) << error;
  EXPECT_EQ(ReadFile(file), std::string("new\0data", 8));
  struct stat st {};
  ASSERT_EQ(stat(file.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);
  int entries = 0;
  for (const auto& entry : std::filesystem::directory_iterator(dir.path())) (void)entry, ++entries;
  EXPECT_EQ(entries, 1) << "no temporary file left behind";
}

TEST(OsFiles, FailedReplaceLeavesTheOldFileWhole) {
  TempDir dir;
  std::string error;
  EXPECT_FALSE(hostrt::ReplaceFileAtomically(dir.str() + "/no/such/folder/f", "x", 0644, error));
  EXPECT_FALSE(error.empty());
  // A folder in the target's place: the rename fails and the folder stays as it was.
  std::filesystem::create_directories(dir.path() / "taken" / "inner");
  EXPECT_FALSE(hostrt::ReplaceFileAtomically(dir.str() + "/taken", "x", 0644, error));
  EXPECT_TRUE(std::filesystem::is_directory(dir.path() / "taken" / "inner"));
  int entries = 0;
  for (const auto& entry : std::filesystem::directory_iterator(dir.path())) (void)entry, ++entries;
  EXPECT_EQ(entries, 1);
}

}  // namespace
