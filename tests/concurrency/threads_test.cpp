// Separate objects of each exported class on eight threads at once, each thread in an apartment of
// its own: nothing races (the `tsan` preset runs this under ThreadSanitizer) and nothing written to
// a thread's own files, or to the history file they all share, is lost. Reads, and analyses with
// the store of their binding, run 10,000 times a thread; entries added to a list, which rewrite a
// file that grows with each of them, 200 times.
#include "palisade/plandesk_configuration.h"
#include "palisade/silverlight_objects_management.h"
#include "palisade/wsdl_data_utils.h"

#include "hostrt32/hostrt32.h"
#include "temp_dir.h"
#include "win32/diagnostics.h"

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

namespace {

constexpr int kThreads = 8;
constexpr int kReads = 10000;
constexpr int kUpdates = 10000;
constexpr int kWrites = 200;

const char kRequestHeader[] = "POST /svc HTTP/1.1\r\nContent-Type: application/soap+xml";
const char kRequestBody[] =
    R"(<s:Envelope xmlns:s="http://www.w3.org/2003/05/soap-envelope" xmlns:a="http://www.w3.org/2005/08/addressing">)"
    R"(<s:Header><o:Security xmlns:o="http://docs.oasis-open.org/wss/2004/01/oasis-200401-wss-wssecurity-secext-1.0.xsd">)"
    R"(<o:UsernameToken><o:Username>user</o:Username><o:Password>pw</o:Password></o:UsernameToken></o:Security>)"
    R"(</s:Header><s:Body><Ping xmlns="urn:t"/></s:Body></s:Envelope>)";

// Runs `body(thread)` on kThreads threads started together; failures are counted, not thrown.
template <class Body>
int RunTogether(Body body) {
  std::atomic<int> ready{0}, failures{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      ++ready;
      while (ready < kThreads) std::this_thread::yield();
      failures += body(t);
    });
  }
  for (std::thread& thread : threads) thread.join();
  return failures;
}

class Threads : public ::testing::Test {
 protected:
  void SetUp() override {
    std::filesystem::create_directories(dir_.path() / "bin");
    dir_.Write("dat/silverlight_ro.ini", "[GENERAL]\r\nAutoDetectMode=Yes\r\nImportWsdlOnlyFromList=on\r\n");
    os_set_module_dir_name((dir_.str() + "/bin").c_str());
  }
  void TearDown() override {
    os_set_module_dir_name(nullptr);
  }
  std::string ThreadDir(int thread) const {
    const std::string folder = dir_.str() + "/thread" + std::to_string(thread);
    std::filesystem::create_directories(folder);
    return folder;
  }

  testing_support::TempDir dir_;
};

TEST_F(Threads, OptionsAreReadAlike) {
  EXPECT_EQ(RunTogether([](int) {
              WsdlDataUtils options(false);
              int wrong = 0;
              for (int i = 0; i < kReads; ++i) {
                options.ReadDataFromFile();
                wrong += !(options.IsAutoDetect() && !options.IsGenerateWebServiceCall() && options.IsImportOnlyFromList());
              }
              return wrong;
            }),
            0);
}

TEST_F(Threads, BindingsAreDerivedAndStoredPerThread) {
  EXPECT_EQ(RunTogether([this](int thread) {
              const std::string script = ThreadDir(thread);
              PlanDeskConfiguration configuration;
              OsStrBin body;
              xfvOsStrConstructFromBytes(&body, kRequestBody, sizeof kRequestBody - 1);
              std::string unused;
              int failed = 0;
              for (int i = 0; i < kUpdates; ++i) {
                failed += !configuration.UpdateServiceConfiguration("Service", "Port" + std::to_string(i % 10), script,
                                                                    kRequestHeader, body, true, unused);
              }
              return failed;
            }),
            0);
}

TEST_F(Threads, FailedWsdlEntriesAreKeptPerFolder) {
  EXPECT_EQ(RunTogether([this](int thread) {
              const std::string folder = ThreadDir(thread);
              int wrong = 0;
              {
                SilverlightObjectsManagement lists;
                for (int i = 0; i < kWrites; ++i) {
                  WsdlErrorData entry;
                  entry.endPoint = "http://host/" + std::to_string(thread) + "/" + std::to_string(i);
                  entry.wsdlUrl = entry.endPoint + "?wsdl";
                  entry.errorText = "timed out";
                  lists.SaveErrorData(folder, entry);
                }
                for (int i = 0; i < kReads; ++i) {
                  WsdlErrorData found;
                  wrong += !lists.GetEntryFromErrorDataFile(
                      folder, "http://host/" + std::to_string(thread) + "/" + std::to_string(i % kWrites), found);
                }
              }
              // A fresh object reads every entry back from the thread's own file.
              SilverlightObjectsManagement reader;
              for (int i = 0; i < kWrites; ++i) {
                WsdlErrorData found;
                wrong += !reader.GetEntryFromErrorDataFile(
                    folder, "http://host/" + std::to_string(thread) + "/" + std::to_string(i), found);
                wrong += found.errorText != "timed out";
              }
              return wrong;
            }),
            0);
}

TEST_F(Threads, HistoryEntriesSavedTogetherAllSurvive) {
  // Every object of the process keeps its history in the same file; no thread's save may undo
  // another's.
  constexpr int kEntries = 40;
  EXPECT_EQ(RunTogether([](int thread) {
              SilverlightObjectsManagement lists;
              int failed = 0;
              for (int i = 0; i < kEntries; ++i) {
                const std::string section = "svc-" + std::to_string(thread) + "-" + std::to_string(i);
                failed += !lists.SaveWsdlData(section.c_str(), ("http://host/" + section + "?wsdl").c_str());
              }
              return failed;
            }),
            0);
  SilverlightObjectsManagement reader;
  for (int thread = 0; thread < kThreads; ++thread) {
    for (int i = 0; i < kEntries; ++i) {
      const std::string section = "svc-" + std::to_string(thread) + "-" + std::to_string(i);
      WsdlData found;
      EXPECT_TRUE(reader.GetWsdlData(section.c_str(), found)) << section;
    }
  }
}

TEST_F(Threads, WsdlLocationsAreLookedUpPerFolder) {
  // Each thread's folder gets its own web_services.ini, written through the component.
  for (int thread = 0; thread < kThreads; ++thread) {
    const std::string folder = ThreadDir(thread);
    std::filesystem::create_directories(folder + "/WSDL");
    SilverlightObjectsManagement writer;
    WsdlErrorData entry;
    entry.endPoint = "http://host/" + std::to_string(thread);
    entry.wsdlUrl = entry.endPoint + "?wsdl";
    writer.SaveErrorData(folder + "/WSDL", entry);
    std::filesystem::rename(folder + "/WSDL/failed_wsdl_info.ini", folder + "/WSDL/web_services.ini");
  }
  EXPECT_EQ(RunTogether([this](int thread) {
              SilverlightObjectsManagement lists;
              const std::string endPoint = "http://host/" + std::to_string(thread);
              int wrong = 0;
              for (int i = 0; i < kReads; ++i) {
                std::string location;
                wrong += !lists.GetEntryFromWsdlIniFile(ThreadDir(thread), endPoint, location);
                wrong += location != endPoint + "?wsdl";
              }
              return wrong;
            }),
            0);
}

}  // namespace
