// Options files an attacker or a damaged disk would leave, and module directories at and past the
// length of a path buffer: the options come out as the file really says (false where it says
// nothing readable), memory stays bounded, and no file is read or written through a path that was
// cut short.
#include "palisade/silverlight_objects_management.h"
#include "palisade/wsdl_data_utils.h"

#include "child_process.h"
#include "hostrt32/hostrt32.h"
#include "temp_dir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <set>
#include <string>

namespace {

namespace fs = std::filesystem;
using hostile::BaselineKib;
using hostile::RunInChild;

struct Options {
  bool autoDetect, generate, importOnly;
};

int ExitCodeFor(WsdlDataUtils& utils, const Options& expected) {
  return utils.IsAutoDetect() == expected.autoDetect && utils.IsGenerateWebServiceCall() == expected.generate &&
                 utils.IsImportOnlyFromList() == expected.importOnly
             ? 0
             : 1;
}

TEST(HostileIni, DamagedOptionsFiles) {
  struct Case {
    const char* name;
    std::function<std::string()> file;
    Options expected;
    long boundMib;
  };
  const Case cases[] = {
      {"a line of 1 MiB before the section",
       [] { return std::string(1 << 20, 'x') + "\n[GENERAL]\nAutoDetectMode=1\n"; }, {true, false, false}, 16},
      {"a value of 1 MiB", [] { return "[GENERAL]\nAutoDetectMode=y" + std::string(1 << 20, 'e') + "s\n"; },
       {true, false, false}, 16},
      {"binary garbage",
       [] {
         std::string bytes;
         for (int i = 0; i < (1 << 20); ++i) bytes += static_cast<char>((i * 2654435761u) >> 24);
         return bytes;
       },
       {false, false, false}, 32},
      {"garbage then the section", [] { return std::string("\0\xFF\x01[\r", 5) + "\n[GENERAL]\nGenerateWebServiceCall=on\n"; },
       {false, true, false}, 16},
      {"100,000 sections, GENERAL last",
       [] {
         std::string file;
         for (int i = 0; i < 100000; ++i) file += "[S" + std::to_string(i) + "]\nk=v\n";
         return file + "[GENERAL]\nImportWsdlOnlyFromList=yes\n";
       },
       {false, false, true}, 96},
      {"duplicate keys and sections: the first wins",
       [] { return "[GENERAL]\nAutoDetectMode=yes\nAutoDetectMode=no\n[GENERAL]\nGenerateWebServiceCall=yes\n"; },
       {true, false, false}, 16},
      {"NUL inside a value", [] { return std::string("[GENERAL]\nAutoDetectMode=\0yes\n", 31); }, {false, false, false}, 16},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    testing_support::TempDir dir;
    fs::create_directories(dir.path() / "bin");
    dir.Write("dat/silverlight_ro.ini", c.file());
    const hostile::ChildOutcome outcome = RunInChild([&] {
      os_set_module_dir_name((dir.str() + "/bin").c_str());
      WsdlDataUtils utils(true);
      return ExitCodeFor(utils, c.expected);
    });
    EXPECT_EQ(outcome.signal, 0);
    EXPECT_EQ(outcome.exitCode, 0);
    if (!hostile::kUnderSanitizer) {
      EXPECT_LE((outcome.peakKib - BaselineKib()) / 1024, c.boundMib);
    }
  }
}

// Every file below `root`, as paths relative to it.
std::set<std::string> FilesUnder(const fs::path& root) {
  std::set<std::string> files;
  for (const auto& entry : fs::recursive_directory_iterator(root)) {
    if (entry.is_regular_file()) files.insert(fs::relative(entry.path(), root).string());
  }
  return files;
}

TEST(HostileIni, ModuleDirectoriesAtAndPastThePathBuffer) {
  // "\..\dat\silverlight_ro.ini" needs 26 bytes and the NUL one more: a directory of 233 bytes
  // is the longest that fits.
  for (const std::size_t length : {233u, 234u, 259u, 260u, 400u}) {
    SCOPED_TRACE(length);
    const bool fits = length <= 233;
    testing_support::TempDir dir;
    std::string module = dir.str() + "/";
    module += std::string(length - module.size(), 'm');
    ASSERT_EQ(module.size(), length);
    if (fits) fs::create_directories(module);
    // A cut-off path would name this file, or one beside it: without a path nothing is touched.
    const std::string options = dir.Write("dat/silverlight_ro.ini", "[GENERAL]\nAutoDetectMode=yes\n");
    const std::set<std::string> before = FilesUnder(dir.path());

    const hostile::ChildOutcome outcome = RunInChild([&] {
      os_set_module_dir_name(module.c_str());
      WsdlDataUtils utils(true);
      SilverlightObjectsManagement lists;
      const bool saved = lists.SaveWsdlData("Section", "http://host/svc?wsdl");
      WsdlData data;
      const bool found = lists.GetWsdlData("Section", data);  // in the list in memory either way
      return utils.IsAutoDetect() == fits && saved == fits && found ? 0 : 1;
    });
    EXPECT_EQ(outcome.signal, 0);
    EXPECT_EQ(outcome.exitCode, 0);
    EXPECT_EQ(FilesUnder(dir.path()), before);
    if (!fits) {
      EXPECT_EQ(testing_support::ReadFile(options), "[GENERAL]\nAutoDetectMode=yes\n");
    }
  }
}

}  // namespace
