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
    const hostrt::FileError error = hostrt::Examine(c.path, info);
    ASSERT_FALSE(error) << error.text;
    EXPECT_EQ(info.kind, c.kind);
  }
  hostrt::PathInfo info;
  ASSERT_FALSE(hostrt::Examine(file, info));
  EXPECT_EQ(info.size, 5u);
  EXPECT_NE(info.mode & 0400u, 0u) << "readable by its owner";
  EXPECT_FALSE(hostrt::CanCreateFilesIn(dir.str()));
  const hostrt::FileError missing = hostrt::CanCreateFilesIn(dir.str() + "/missing");
  EXPECT_EQ(missing.kind, hostrt::FileError::Kind::NotFound);
  EXPECT_NE(missing.text.find("missing"), std::string::npos) << missing.text;
}

TEST(OsFiles, BackslashesNameTheSameFile) {
  TempDir dir;
  std::filesystem::create_directories(dir.path() / "bin");
  dir.Write("dat/silverlight_ro.ini", "[GENERAL]\n");
  std::string contents;
  EXPECT_FALSE(hostrt::ReadWholeFile(hostrt::NativePath(dir.str() + "/bin\\..\\dat\\silverlight_ro.ini"), contents));
  EXPECT_EQ(contents, "[GENERAL]\n");
}

TEST(OsFiles, ReadsTellWhatKeptThemFromReading) {
  using Kind = hostrt::FileError::Kind;
  TempDir dir;
  dir.Write("big", std::string(1000, 'x'));
  const struct {
    std::string path;
    std::size_t maxBytes;
    Kind whole;     // ReadWholeFile
    Kind existing;  // ReadExistingFile
    bool present;
  } cases[] = {
      {dir.str() + "/missing", 1000, Kind::NotFound, Kind::None, false},
      {dir.str() + "/missing/deeper", 1000, Kind::NotFound, Kind::None, false},
      {dir.str(), 1000, Kind::NotAFile, Kind::NotAFile, false},
      {dir.str() + "/big", 999, Kind::TooLarge, Kind::TooLarge, true},
      {dir.str() + "/big", 1000, Kind::None, Kind::None, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.path + " within " + std::to_string(c.maxBytes));
    std::string contents = "stale";
    const hostrt::FileError whole = hostrt::ReadWholeFile(c.path, contents, c.maxBytes);
    EXPECT_EQ(whole.kind, c.whole) << whole.text;
    EXPECT_EQ(contents.size(), whole ? 0u : 1000u);
    EXPECT_EQ(whole.text.empty(), !whole);
    hostrt::ExistingFile file;
    file.text = "stale";
    const hostrt::FileError existing = hostrt::ReadExistingFile(c.path, c.maxBytes, file);
    EXPECT_EQ(existing.kind, c.existing) << existing.text;
    EXPECT_EQ(file.present, c.present);
    EXPECT_EQ(file.text.size(), existing || !c.present ? 0u : 1000u);
  }
}

TEST(OsFiles, ReplaceWritesWholeFilesWithTheirMode) {
  TempDir dir;
  const std::string file = dir.Write("secret.xml", "old");
  ASSERT_FALSE(hostrt::ReplaceFileAtomically(file, std::string("new\0data", 8), 0600));
  EXPECT_EQ(ReadFile(file), std::string("new\0data", 8));
  EXPECT_TRUE(testing_support::FileIsPrivate(file));
  ASSERT_FALSE(hostrt::ReplaceFileAtomically(file, "public", 0644));
  EXPECT_EQ(ReadFile(file), "public");
  EXPECT_FALSE(testing_support::FileIsPrivate(file));
  int entries = 0;
  for (const auto& entry : std::filesystem::directory_iterator(dir.path())) (void)entry, ++entries;
  EXPECT_EQ(entries, 1) << "no temporary file left behind";
}

TEST(OsFiles, FailedReplaceLeavesTheOldFileWhole) {
  TempDir dir;
  const hostrt::FileError missing = hostrt::ReplaceFileAtomically(dir.str() + "/no/such/folder/f", "x", 0644);
  EXPECT_EQ(missing.kind, hostrt::FileError::Kind::NotFound) << missing.text;
  // A folder in the target's place: the rename fails and the folder stays as it was.
  std::filesystem::create_directories(dir.path() / "taken" / "inner");
  EXPECT_TRUE(hostrt::ReplaceFileAtomically(dir.str() + "/taken", "x", 0644));
  EXPECT_TRUE(std::filesystem::is_directory(dir.path() / "taken" / "inner"));
  int entries = 0;
  for (const auto& entry : std::filesystem::directory_iterator(dir.path())) (void)entry, ++entries;
  EXPECT_EQ(entries, 1);
}

}  // namespace
