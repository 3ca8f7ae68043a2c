#include "browser_test_support.h"

#include "browser/chromium_session.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <vector>

namespace testing_support {
namespace fs = std::filesystem;

std::string BrowserExecutable() { return browser::ChromiumSession::DefaultExecutable(); }
bool BrowserInstalled() { return browser::ChromiumSession::IsInstalled(BrowserExecutable()); }

namespace {

template <class Visit>
void ForEachProcess(Visit&& visit) {
  std::error_code ec;
  for (fs::directory_iterator it("/proc", ec), end; !ec && it != end; it.increment(ec)) {
    const std::string name = it->path().filename().string();
    if (name.find_first_not_of("0123456789") == std::string::npos) visit(it->path());
  }
}

std::string ReadAll(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

}  // namespace

int ProcessesMentioning(const std::string& text) {
  int count = 0;
  ForEachProcess([&](const fs::path& process) {
    if (ReadAll(process / "cmdline").find(text) != std::string::npos) ++count;
  });
  return count;
}

std::vector<ProcessSeen> ProcessesSeenMentioning(const std::string& text) {
  std::vector<ProcessSeen> seen;
  ForEachProcess([&](const fs::path& process) {
    const std::string cmdline = ReadAll(process / "cmdline");
    if (cmdline.find(text) == std::string::npos) return;
    ProcessSeen one{std::stoi(process.filename().string()), -1, {}};
    std::istringstream args(cmdline);
    for (std::string arg; std::getline(args, arg, '\0');) one.args.push_back(arg);
    const std::string status = ReadAll(process / "status");
    if (const auto uid = status.find("\nUid:\t"); uid != std::string::npos) one.uid = std::stol(status.substr(uid + 6));
    seen.push_back(std::move(one));
  });
  return seen;
}

int ChildProcesses() {
  const std::string parent = "PPid:\t" + std::to_string(getpid()) + "\n";
  int count = 0;
  ForEachProcess([&](const fs::path& process) {
    if (ReadAll(process / "status").find(parent) != std::string::npos) ++count;
  });
  return count;
}

ScopedEnv::ScopedEnv(const char* name, const char* value) : name_(name) {
  if (const char* previous = std::getenv(name)) {
    previous_ = previous;
    hadPrevious_ = true;
  }
  setenv(name, value, 1);
}

ScopedEnv::~ScopedEnv() {
  if (hadPrevious_) {
    setenv(name_, previous_.c_str(), 1);
  } else {
    unsetenv(name_);
  }
}

void OpenToOthers(const TempDir& dir) {
  fs::permissions(dir.path(), fs::perms::others_read | fs::perms::others_exec, fs::perm_options::add);
}

BrowserScratch::BrowserScratch() : tmpdir_("TMPDIR", dir_.str().c_str()) {
  fs::permissions(dir_.path(), fs::perms::others_exec, fs::perm_options::add);
}

::testing::AssertionResult BrowserScratch::LeftNothingBehind() const {
  if (const int running = ProcessesMentioning(dir_.str()); running != 0) {
    return ::testing::AssertionFailure() << running << " browser processes still run";
  }
  if (const int children = ChildProcesses(); children != 0) {
    return ::testing::AssertionFailure() << children << " child processes are left";
  }
  if (!fs::is_empty(dir_.path())) {
    return ::testing::AssertionFailure() << "a folder is left in " << dir_.str() << ": "
                                         << fs::directory_iterator(dir_.path())->path();
  }
  return ::testing::AssertionSuccess();
}

PageServer::PageServer() {
  listener_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof address;
  if (listener_ < 0 || bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
      listen(listener_, 16) != 0 || getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length) != 0 ||
      pipe2(wake_, O_CLOEXEC) != 0) {
    ADD_FAILURE() << "the page server could not listen on 127.0.0.1";
    return;
  }
  port_ = ntohs(address.sin_port);
  thread_ = std::thread([this] { Serve(); });
}

PageServer::~PageServer() {
  if (thread_.joinable()) {
    const char stop = 0;
    (void)!write(wake_[1], &stop, 1);
    thread_.join();
  }
  for (const int fd : {listener_, wake_[0], wake_[1]}) {
    if (fd >= 0) close(fd);
  }
}

void PageServer::Add(const std::string& path, const std::string& contentType, const std::string& body) {
  std::lock_guard<std::mutex> lock(mutex_);
  pages_[path] = {contentType, body, false};
}

void PageServer::AddStalled(const std::string& path, const std::string& contentType, const std::string& start) {
  std::lock_guard<std::mutex> lock(mutex_);
  pages_[path] = {contentType, start, true};
}

std::string PageServer::Url(const std::string& path) const {
  return "http://127.0.0.1:" + std::to_string(port_) + path;
}

std::string PageServer::Respond(const std::string& request, bool& stall) {
  std::istringstream line(request);
  std::string method, target;
  line >> method >> target;
  std::lock_guard<std::mutex> lock(mutex_);
  const auto page = pages_.find(target);
  if (page == pages_.end()) {
    return "HTTP/1.1 404 Not Found\r\nContent-Type: text/plain\r\nContent-Length: 9\r\nConnection: close\r\n\r\n"
           "not found";
  }
  stall = page->second.stalled;
  std::string response = "HTTP/1.1 200 OK\r\nContent-Type: " + page->second.contentType + "\r\n";
  if (!stall) response += "Content-Length: " + std::to_string(page->second.body.size()) + "\r\n";
  return response + "Connection: close\r\nCache-Control: no-store\r\n\r\n" + page->second.body;
}

// One thread, every socket non-blocking in effect: a request is read whole before it is answered,
// answers are small enough for the socket buffer, and a stalled answer keeps its socket until the
// browser lets go of it or the server stops.
void PageServer::Serve() {
  struct Client {
    int fd;
    std::string request;
    bool stalled = false;
  };
  std::vector<Client> clients;
  for (;;) {
    std::vector<pollfd> fds = {{wake_[0], POLLIN, 0}, {listener_, POLLIN, 0}};
    for (const Client& client : clients) fds.push_back({client.fd, POLLIN, 0});
    if (poll(fds.data(), fds.size(), -1) < 0) continue;
    if (fds[0].revents) break;
    if (fds[1].revents & POLLIN) {
      const int fd = accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
      if (fd >= 0) clients.push_back({fd, {}});
    }
    for (std::size_t i = 2; i < fds.size(); ++i) {
      if (fds[i].revents == 0) continue;
      Client& client = clients[i - 2];
      char chunk[4096];
      const ssize_t n = read(client.fd, chunk, sizeof chunk);
      if (n <= 0) {
        close(client.fd);
        client.fd = -1;
        continue;
      }
      if (client.stalled) continue;
      client.request.append(chunk, static_cast<std::size_t>(n));
      if (client.request.find("\r\n\r\n") == std::string::npos) continue;
      bool stall = false;
      const std::string response = Respond(client.request, stall);
      (void)!write(client.fd, response.data(), response.size());
      if (stall) {
        client.stalled = true;
      } else {
        shutdown(client.fd, SHUT_WR);  // the browser closes its end, and poll reports it
      }
    }
    clients.erase(std::remove_if(clients.begin(), clients.end(), [](const Client& client) { return client.fd < 0; }),
                  clients.end());
  }
  for (const Client& client : clients) close(client.fd);
}

}  // namespace testing_support
