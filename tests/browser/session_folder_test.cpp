// The session folder's removal, which runs as root over files another account made.
#include "browser/session_folder.h"

#include "browser_test_support.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace {

namespace fs = std::filesystem;
using testing_support::BrowserScratch;
using testing_support::TempDir;

TEST(SessionFolder, RemovalTakesEverythingInsideAndNothingALinkPointsAt) {
  TempDir outside;  // before the scratch folder, which must end up empty
  BrowserScratch scratch;
  const std::string kept = outside.Write("sub/kept.txt", "not the browser's");
  std::string error;
  const auto folder = browser::MakeSessionFolder(nullptr, &error);
  ASSERT_TRUE(folder) << error;
  const fs::path user(folder->user);
  fs::create_directories(user / "profile/Default/Cache");
  std::ofstream(user / "profile/Default/Cache/data") << "x";
  fs::create_directory_symlink(outside.path() / "sub", user / "profile/linked-folder");
  fs::create_symlink(kept, user / "linked-file");
  fs::create_directory_symlink(outside.path(), user / "tmp/linked-root");

  browser::RemoveFolder(folder->root);
  EXPECT_FALSE(fs::exists(fs::symlink_status(folder->root)));
  EXPECT_TRUE(fs::exists(kept));
  EXPECT_TRUE(scratch.LeftNothingBehind());
}

}  // namespace
