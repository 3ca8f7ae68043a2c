// The class registry files of our runtime (win32/registry.h): what the build writes is found, and
// lines that do not parse are skipped. Windows keeps its classes in the system registry instead.
#include "com_test_support.h"
#include "win32/registry.h"

#include <dlfcn.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace {

namespace fs = std::filesystem;

class RegistryFiles : public ::testing::Test {};

// Every class line of the build's own registry files is found by its ProgID.
TEST_F(RegistryFiles, BuildRegistryFolderLoads) {
  const fs::path folder = fs::canonical(fs::path(WIN32_LIBRARY).parent_path()) / "registry";
  EXPECT_EQ(fs::path(ComRegistryFolder()), folder);
  std::error_code ec;
  for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
    std::ifstream in(it->path());
    for (std::string line; it->path().extension() == ".reg" && std::getline(in, line);) {
      std::string clsidText, progId;
      std::istringstream(line) >> clsidText >> progId;
      CLSID expected, found;
      const auto wide = [](const std::string& s) { return win32::OleString(s.begin(), s.end()); };
      if (progId.empty() || progId == "-" || CLSIDFromString(wide(clsidText).c_str(), &expected) != S_OK) continue;
      SCOPED_TRACE(line);
      EXPECT_EQ(CLSIDFromProgID(wide(progId).c_str(), &found), S_OK);
      EXPECT_EQ(found, expected);
    }
  }
}

// A damaged file, read by a private copy of the runtime so that the build's folder stays untouched.
TEST_F(RegistryFiles, RegistryFileLinesThatDoNotParseAreSkipped) {
#if defined(__SANITIZE_ADDRESS__)
  GTEST_SKIP() << "a second, deep-bound copy of the runtime cannot run under AddressSanitizer";
#else
  const fs::path dir = fs::temp_directory_path() / ("win32_test_registry." + std::to_string(getpid()));
  fs::create_directories(dir / "registry");
  fs::copy_file(WIN32_LIBRARY, dir / "libwin32_copy.so", fs::copy_options::overwrite_existing);
  std::ofstream(dir / "registry" / "damaged.reg")
      << "# {11111111-2222-3333-4444-000000000000} Commented.Out x.so\n"
         "{11111111-2222-3333-4444-00000000000G} Bad.Hex x.so\n"
         "{11111111-2222-3333-4444-000000000001 Bad.Brace x.so\n"
         "11111111-2222-3333-4444-000000000002 Bad.NoBraces x.so\n\n \t \n"
         "{11111111-2222-3333-4444-000000000003} Good.CrLf x.so\r\n"
         "{11111111-2222-3333-4444-000000000004}\tGood.Tab\n"
      << std::string(5000, 'x') << "\n{11111111-2222-3333-4444-000000000005} Good.LastLine";
  std::ofstream(dir / "registry" / "other.txt") << "{11111111-2222-3333-4444-000000000006} Not.A.RegFile\n";
  void* copy = dlopen((dir / "libwin32_copy.so").c_str(), RTLD_NOW | RTLD_LOCAL | RTLD_DEEPBIND);
  ASSERT_NE(copy, nullptr) << dlerror();
  const auto fromProgId = reinterpret_cast<decltype(&CLSIDFromProgID)>(dlsym(copy, "CLSIDFromProgID"));
  const auto folder = reinterpret_cast<decltype(&ComRegistryFolder)>(dlsym(copy, "ComRegistryFolder"));
  ASSERT_TRUE(fromProgId && folder);
  EXPECT_EQ(fs::path(folder()), fs::canonical(dir) / "registry");
  const std::pair<const OLECHAR*, int> lookups[] = {  // ProgID, last byte of its CLSID or 0 for none
      {OLESTR("Commented.Out"), 0}, {OLESTR("Bad.Hex"), 0},  {OLESTR("Bad.Brace"), 0},     {OLESTR("Bad.NoBraces"), 0},
      {OLESTR("Good.CrLf"), 3},     {OLESTR("good.tab"), 4}, {OLESTR("Good.LastLine"), 5}, {OLESTR("Not.A.RegFile"), 0}};
  for (const auto& [progId, last] : lookups) {
    CLSID clsid = CLSID_NULL;
    EXPECT_EQ(fromProgId(progId, &clsid), last ? S_OK : CO_E_CLASSSTRING);
    EXPECT_EQ(clsid.Data4[7], last);
  }
  dlclose(copy);
  fs::remove_all(dir);
#endif
}

}  // namespace
