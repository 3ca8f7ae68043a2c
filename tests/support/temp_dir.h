// A temporary folder for one test, removed with everything in it when the test ends.
#pragma once

#include "test_system.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

namespace testing_support {

class TempDir {
 public:
  TempDir() : path_(MakeTempFolder("palisade-test-")) {
    if (path_.empty()) ADD_FAILURE() << "no temporary folder could be made";
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  ~TempDir() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
  }

  const std::filesystem::path& path() const { return path_; }
  std::string str() const { return path_.string(); }

  // Writes `contents` to `relative` (folders created as needed) and returns the full path.
  std::string Write(const std::string& relative, const std::string& contents) const {
    const auto file = path_ / relative;
    std::filesystem::create_directories(file.parent_path());
    std::ofstream(file, std::ios::binary) << contents;
    return file.string();
  }

 private:
  std::filesystem::path path_;
};

inline std::string ReadFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

}  // namespace testing_support
