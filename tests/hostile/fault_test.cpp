// Saves that die, disks that fill and folders that cannot be written: a persistent file always
// loads with at least the entries it had before a save began, and a save that cannot be done is
// reported as failed and leaves the old file whole.
#include "palisade/plandesk_configuration.h"
#include "palisade/silverlight_objects_management.h"

#include "child_process.h"
#include "hostrt32/hostrt32.h"
#include "hostrt32/os_files.h"
#include "temp_dir.h"

#include <gtest/gtest.h>
#include <pugixml.hpp>

#include <sys/resource.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <filesystem>
#include <functional>
#include <initializer_list>
#include <random>
#include <string>

namespace {

namespace fs = std::filesystem;
using hostile::RunInChild;
using testing_support::ReadFile;

constexpr int kKills = 200;

const char kHeader[] = "POST /svc HTTP/1.1\r\nContent-Type: application/soap+xml";
const char kBody[] = "<s:Envelope xmlns:s='http://www.w3.org/2003/05/soap-envelope'><s:Body/></s:Envelope>";

// The three persistent files, each with a way to add entries and a way to count them.
struct PersistentFile {
  const char* name;
  // Saves entries `first`, `first` + 1, ... (`count` of them, for ever when negative); runs in a child.
  std::function<void(const std::string& dir, int first, int count)> save;
  std::function<int(const std::string& dir)> count;  // -1 when the file does not load
};

int CountSections(const std::string& path, const std::string& prefix) {
  if (!fs::exists(path)) return 0;
  const std::string text = ReadFile(path);
  int count = 0;
  for (std::size_t at = text.find("\n[" + prefix); at != std::string::npos; at = text.find("\n[" + prefix, at + 1)) {
    ++count;
  }
  return count + (text.rfind("[" + prefix, 0) == 0 ? 1 : 0);
}

const PersistentFile kFiles[] = {
    {"history list",
     [](const std::string& dir, int first, int count) {
       os_set_module_dir_name((dir + "/bin").c_str());
       SilverlightObjectsManagement lists;
       for (int i = first; count < 0 || i < first + count; ++i) lists.SaveWsdlData(("entry" + std::to_string(i)).c_str(), "http://host/svc?wsdl");
     },
     [](const std::string& dir) {
       // Every entry the file holds must also be readable through the library.
       const int sections = CountSections(dir + "/dat/silverlight_ro.ini", "SilverlightList/");
       os_set_module_dir_name((dir + "/bin").c_str());
       SilverlightObjectsManagement lists;
       for (int i = 0; i < sections; ++i) {
         WsdlData data;
         if (!lists.GetWsdlData(("entry" + std::to_string(i)).c_str(), data)) return -1;
       }
       return sections;
     }},
    {"failed-WSDL list",
     [](const std::string& dir, int first, int count) {
       SilverlightObjectsManagement lists;
       for (int i = first; count < 0 || i < first + count; ++i) {
         WsdlErrorData entry;
         entry.endPoint = "http://host/" + std::to_string(i);
         entry.errorText = "failed";
         lists.SaveErrorData(dir, entry);
       }
     },
     [](const std::string& dir) {
       const int sections = CountSections(dir + "/failed_wsdl_info.ini", "SilverlightList/");
       SilverlightObjectsManagement lists;
       for (int i = 0; i < sections; ++i) {
         WsdlErrorData found;
         if (!lists.GetEntryFromErrorDataFile(dir, "http://host/" + std::to_string(i), found)) return -1;
       }
       return sections;
     }},
    {"service configuration",
     [](const std::string& dir, int first, int count) {
       PlanDeskConfiguration configuration;
       OsStrBin body;
       xfvOsStrConstructFromBytes(&body, kBody, sizeof kBody - 1);
       std::string unused;
       for (int i = first; count < 0 || i < first + count; ++i) {
         configuration.UpdateServiceConfiguration("Service", "Port" + std::to_string(i), dir, kHeader, body, true,
                                                  unused);
       }
     },
     [](const std::string& dir) {
       const std::string path = dir + "/Service.config";
       if (!fs::exists(path)) return 0;
       pugi::xml_document document;
       if (!document.load_file(path.c_str())) return -1;
       return static_cast<int>(document.select_nodes("//customBinding/binding").size());
     }},
};

TEST(Faults, SavesKilledAtRandomPointsLoseNothing) {
  std::mt19937 random(20261209);
  for (const PersistentFile& file : kFiles) {
    SCOPED_TRACE(file.name);
    testing_support::TempDir dir;
    fs::create_directories(dir.path() / "bin");
    fs::create_directories(dir.path() / "dat");
    int entries = 0;
    for (int kill = 0; kill < kKills; ++kill) {
      std::fflush(nullptr);
      const pid_t saver = fork();
      if (saver == 0) {
        file.save(dir.str(), entries, -1);
        _exit(0);
      }
      ASSERT_GT(saver, 0);
      // Long enough for a save to finish now and then; sanitizers slow a save down tenfold.
      const int window = hostile::kUnderSanitizer ? 150000 : 15000;
      usleep(std::uniform_int_distribution<int>(0, window)(random));
      ::kill(saver, SIGKILL);
      waitpid(saver, nullptr, 0);

      const int now = file.count(dir.str());
      ASSERT_GE(now, entries) << "after kill " << kill << ", the file lost entries or does not load";
      entries = now;
    }
    EXPECT_GT(entries, 0) << "no save ever finished: the kills came too early to test anything";
    // A kill lands between naming the new file and renaming it only rarely.
    int strays = 0;
    for (const auto& entry : fs::recursive_directory_iterator(dir.path())) {
      strays += entry.path().filename().string().find(".tmp-") != std::string::npos;
    }
    EXPECT_LE(strays, kKills / 20) << "temporary files left by killed saves";
    std::printf("%s: %d entries survived %d kills\n", file.name, entries, kKills);
  }
}

// Processes that save into one file at once, rounds of them: each its own entry, and none lost.
TEST(Faults, ProcessesSavingAtOnceLoseNothing) {
  constexpr int kProcesses = 8, kRounds = 3;
  for (const PersistentFile& file : kFiles) {
    SCOPED_TRACE(file.name);
    testing_support::TempDir dir;
    fs::create_directories(dir.path() / "bin");
    fs::create_directories(dir.path() / "dat");
    for (int round = 0; round < kRounds; ++round) {
      std::fflush(nullptr);
      pid_t savers[kProcesses];
      for (int p = 0; p < kProcesses; ++p) {
        savers[p] = fork();
        if (savers[p] == 0) {
          file.save(dir.str(), round * kProcesses + p, 1);
          _exit(0);
        }
        ASSERT_GT(savers[p], 0);
      }
      for (const pid_t saver : savers) {
        int status = 0;
        waitpid(saver, &status, 0);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
      }
      EXPECT_EQ(file.count(dir.str()), (round + 1) * kProcesses) << "after round " << round;
    }
  }
}

// A process killed while it holds a file's lock (mid-save) keeps no later save from going through.
TEST(Faults, AHolderKilledMidSaveBlocksNoOne) {
  testing_support::TempDir dir;
  const std::string list = dir.str() + "/failed_wsdl_info.ini";
  int ready[2];
  ASSERT_EQ(pipe(ready), 0);
  const pid_t holder = fork();
  if (holder == 0) {
    hostrt::FileLock lock;
    const char held = lock.Acquire(list) ? 'n' : 'y';
    (void)!write(ready[1], &held, 1);
    pause();
    _exit(0);
  }
  char held = 0;
  ASSERT_EQ(read(ready[0], &held, 1), 1);
  ASSERT_EQ(held, 'y');
  ::kill(holder, SIGKILL);
  waitpid(holder, nullptr, 0);
  close(ready[0]);
  close(ready[1]);

  const auto started = std::chrono::steady_clock::now();
  kFiles[1].save(dir.str(), 0, 1);
  EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(5)) << "the save waited for the dead";
  EXPECT_EQ(kFiles[1].count(dir.str()), 1);
  EXPECT_FALSE(fs::exists(list + ".lock")) << "the next holder takes the lock file away with it";
}

// A child that may write at most `bytes` into any file, as on a disk with that much space left.
int WithFileSizeLimit(rlim_t bytes, const std::function<int()>& body) {
  signal(SIGXFSZ, SIG_IGN);  // the write then fails with EFBIG
  const rlimit limit{bytes, bytes};
  setrlimit(RLIMIT_FSIZE, &limit);
  return body();
}

// A child that runs without the right to write `folders`: as nobody when it runs as root (root
// may write any folder), else with the folders made read-only.
int WithoutWriteAccess(std::initializer_list<std::string> folders, const std::function<int()>& body) {
  if (geteuid() == 0) {
    if (setgid(65534) != 0 || setuid(65534) != 0) return 97;
  } else {
    for (const std::string& folder : folders) fs::permissions(folder, fs::perms::owner_read | fs::perms::owner_exec);
  }
  return body();
}

TEST(Faults, AFullDiskOrAReadOnlyFolderFailsAndKeepsTheOldFile) {
  testing_support::TempDir dir;
  fs::create_directories(dir.path() / "bin");
  const std::string history = dir.Write("dat/silverlight_ro.ini", "[GENERAL]\r\nAutoDetectMode=Yes\r\n");
  const std::string folder = dir.str() + "/lists";
  fs::create_directories(folder);
  ASSERT_EQ(RunInChild([&] {
              os_set_module_dir_name((dir.str() + "/bin").c_str());
              SilverlightObjectsManagement lists;
              WsdlErrorData entry;
              entry.endPoint = "old";
              lists.SaveErrorData(folder, entry);
              std::string unused;
              OsStrBin body;
              xfvOsStrConstructFromBytes(&body, kBody, sizeof kBody - 1);
              return lists.SaveWsdlData("old", "http://old") &&
                             PlanDeskConfiguration().UpdateServiceConfiguration("Service", "Old", folder, kHeader,
                                                                                body, true, unused)
                         ? 0
                         : 1;
            }).exitCode,
            0);
  const std::string errors = folder + "/failed_wsdl_info.ini";
  const std::string configuration = folder + "/Service.config";
  const std::string before[] = {ReadFile(history), ReadFile(errors), ReadFile(configuration)};
  // Others (nobody, for a test run as root) may look in, not write.
  const auto lookIn = fs::perms::others_read | fs::perms::others_exec;
  for (const std::string& path : {dir.str(), dir.str() + "/bin", dir.str() + "/dat", folder}) {
    fs::permissions(path, lookIn, fs::perm_options::add);
  }

  const std::function<int(const std::function<int()>&)> faults[] = {
      [](const std::function<int()>& body) { return WithFileSizeLimit(64, body); },
      [&](const std::function<int()>& body) { return WithoutWriteAccess({folder, dir.str() + "/dat"}, body); },
  };
  for (const auto& fault : faults) {
    const hostile::ChildOutcome outcome = RunInChild([&] {
      return fault([&] {
        os_set_module_dir_name((dir.str() + "/bin").c_str());
        SilverlightObjectsManagement lists;
        WsdlErrorData entry;
        entry.endPoint = "new";
        lists.SaveErrorData(folder, entry);  // reports nothing: the file shows it
        OsStrBin body;
        xfvOsStrConstructFromBytes(&body, kBody, sizeof kBody - 1);
        std::string unused;
        const bool configured =
            PlanDeskConfiguration().UpdateServiceConfiguration("Service", "New", folder, kHeader, body, true, unused);
        const bool saved = lists.SaveWsdlData("new", "http://new");
        return !configured && !saved ? 0 : 1;
      });
    });
    EXPECT_EQ(outcome.signal, 0);
    EXPECT_EQ(outcome.exitCode, 0) << "a save that could not be done was reported as done";
    EXPECT_EQ(ReadFile(history), before[0]);
    EXPECT_EQ(ReadFile(errors), before[1]);
    EXPECT_EQ(ReadFile(configuration), before[2]);
    for (const std::string& path : {folder, dir.str() + "/dat"}) fs::permissions(path, fs::perms::owner_all, fs::perm_options::add);
  }
}

}  // namespace
