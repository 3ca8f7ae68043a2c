#include "hostrt32/os_files.h"

#include "temp_dir.h"
#include "test_system.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace {

using testing_support::kWindows;
using testing_support::ReadFile;
using testing_support::TempDir;

TEST(OsFiles, NativePathsAndTheirParts) {
  // The product's texts are ANSI: Windows takes UTF-8 paths here, POSIX the bytes as they are.
  EXPECT_EQ(hostrt::NativePath("C:\\x\\..\\dat\\f.ini"), kWindows ? "C:\\x\\..\\dat\\f.ini" : "C:/x/../dat/f.ini");
  EXPECT_EQ(hostrt::NativePath("J\xF6rg"), kWindows ? "J\xC3\xB6rg" : "J\xF6rg");
  EXPECT_EQ(hostrt::NativePath(OLESTR("\\J\u00F6rg\\\u4E2D")),
            kWindows ? "\\J\xC3\xB6rg\\\xE4\xB8\xAD" : "/J\xC3\xB6rg/\xE4\xB8\xAD");
  const char separator = kWindows ? '\\' : '/';
  EXPECT_EQ(hostrt::JoinPath("dir", "f"), std::string("dir") + separator + "f");
  EXPECT_EQ(hostrt::JoinPath(std::string("dir") + separator, "f"), std::string("dir") + separator + "f");
  EXPECT_EQ(hostrt::JoinPath("", "f"), "f");
}

TEST(OsFiles, ExamineTellsWhatAPathNames) {
  TempDir dir;
  const std::string file = dir.Write("f.txt", "12345");
  const struct {
    std::string path;
    hostrt::PathInfo::Kind kind;
  } cases[] = {
      {file, hostrt::PathInfo::Kind::File},
      {dir.str(), hostrt::PathInfo::Kind::Folder},
      {dir.str() + "/missing", hostrt::PathInfo::Kind::Missing},
      {dir.str() + "/missing/deeper", hostrt::PathInfo::Kind::Missing},
      {file + "/below", hostrt::PathInfo::Kind::Missing},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.path);
    hostrt::PathInfo info;
    info.kind = hostrt::PathInfo::Kind::Other;
    std::string error;
    ASSERT_TRUE(hostrt::Examine(c.path, info, error)) << error;
    EXPECT_EQ(info.kind, c.kind);
  }
  hostrt::PathInfo info;
  std::string error;
  ASSERT_TRUE(hostrt::Examine(file, info, error));
  EXPECT_EQ(info.size, 5u);
  EXPECT_NE(info.mode & 0400u, 0u) << "readable by its owner";
  EXPECT_TRUE(hostrt::CanCreateFilesIn(dir.str(), error)) << error;
  EXPECT_FALSE(hostrt::CanCreateFilesIn(dir.str() + "/missing", error));
  EXPECT_FALSE(error.empty());
}

TEST(OsFiles, BackslashesNameTheSameFile) {
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
  EXPECT_TRUE(testing_support::FileIsPrivate(file));
  ASSERT_TRUE(hostrt::ReplaceFileAtomically(file, "public", 0644, error)) << error;
  EXPECT_EQ(ReadFile(file), "public");
  EXPECT_FALSE(testing_support::FileIsPrivate(file));
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
