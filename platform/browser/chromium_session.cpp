#include "browser/chromium_session.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string_view>
#include <thread>
#include <utility>

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <nlohmann/json.hpp>

#include "browser/browser_process.h"
#include "browser/devtools_pipe.h"
#include "browser/page_copy.h"
#include "browser/sandbox_settings.h"
#include "browser/session_folder.h"
#include "win32/strings.h"

extern char** environ;

namespace browser {
namespace {

using nlohmann::json;
using namespace std::chrono_literals;
namespace fs = std::filesystem;

// The first start on a machine builds font and profile caches; later ones are far quicker.
constexpr auto kStartTimeout = 30s;
constexpr auto kCommandTimeout = 10s;
// A page whose script keeps its main thread busy must not hold up every reading for long.
constexpr auto kReadyStateTimeout = 1s;

class Fd {
 public:
  explicit Fd(int fd = -1) : fd_(fd) {}
  ~Fd() {
    if (fd_ >= 0) close(fd_);
  }
  Fd(const Fd&) = delete;
  Fd& operator=(const Fd&) = delete;
  int get() const { return fd_; }
  int release() { return std::exchange(fd_, -1); }
  // Moves the descriptor to kFirstFreeFd or above, keeping it close-on-exec.
  bool Raise() {
    if (fd_ >= kFirstFreeFd) return true;
    const int raised = fcntl(fd_, F_DUPFD_CLOEXEC, kFirstFreeFd);
    if (raised < 0) return false;
    close(fd_);
    fd_ = raised;
    return true;
  }

 private:
  int fd_;
};

std::string ErrnoText(int error) { return std::strerror(error); }

std::string LastLine(const std::string& path) {
  std::ifstream in(path);
  std::string line, last;
  while (std::getline(in, line)) {
    if (!line.empty()) last = line;
  }
  constexpr std::size_t kMax = 300;
  if (last.size() > kMax) last.resize(kMax);
  return last;
}

// The "result" object of a successful response, or null.
const json* ResultOf(const std::optional<json>& response) {
  if (!response) return nullptr;
  const auto it = response->find("result");
  return it != response->end() && it->is_object() ? &*it : nullptr;
}

std::string ErrorOf(const std::optional<json>& response) {
  if (!response) return "no answer";
  const auto it = response->find("error");
  if (it != response->end() && it->is_object() && it->contains("message") && (*it)["message"].is_string()) {
    return (*it)["message"].get<std::string>();
  }
  return "malformed answer";
}

std::string StringField(const json* object, const char* name) {
  if (!object) return {};
  const auto it = object->find(name);
  return it != object->end() && it->is_string() ? it->get<std::string>() : std::string();
}

// The value of a Runtime.evaluate response; nullopt when the script threw or the answer is odd.
std::optional<json> ValueOf(std::optional<json>&& response) {
  const json* result = ResultOf(response);
  if (!result || result->contains("exceptionDetails")) return std::nullopt;
  const auto remote = result->find("result");
  if (remote == result->end() || !remote->is_object()) return std::nullopt;
  const auto value = remote->find("value");
  if (value == remote->end()) return std::nullopt;
  return std::move(*value);
}

json EvaluateParams(const char* expression) {
  return {{"expression", expression}, {"returnByValue", true}, {"silent", true}};
}

// All links in one string, each as "<length> <tagName><length> <href>" (lengths in UTF-16 code
// units): the browser hands one flat string over in about half the time an array per link takes. Plain
// indexing, template literals and += only, so a page that replaces Array or String methods cannot
// change what is read.
constexpr const char* kLinksScript =
    "(() => { const c = document.links; let out = '';"
    " for (let i = 0; i < c.length; i++) {"
    " const l = c[i], t = `${l.tagName}`, h = `${l.href}`; out += `${t.length} ${t}${h.length} ${h}`; }"
    " return out; })()";

// One "<length> <text>" field from the front of `packed`.
std::optional<std::u16string> TakeField(std::u16string_view& packed) {
  std::size_t length = 0, digits = 0;
  for (; digits < packed.size() && packed[digits] >= u'0' && packed[digits] <= u'9' && digits < 10; ++digits) {
    length = length * 10 + (packed[digits] - u'0');
  }
  if (digits == 0 || digits >= packed.size() || packed[digits] != u' ' || packed.size() - digits - 1 < length) {
    return std::nullopt;
  }
  std::u16string field(packed.substr(digits + 1, length));
  packed.remove_prefix(digits + 1 + length);
  return field;
}

ReadyState ParseReadyState(const json& state) {
  if (state == "loading") return ReadyState::Loading;
  if (state == "interactive") return ReadyState::Interactive;
  if (state == "complete") return ReadyState::Complete;
  return ReadyState::Uninitialized;
}

// Processes whose command line names the session folder. A crash handler leaves the process
// group, so signalling the group alone could miss it; nothing else names our folder.
void KillStrays(const std::string& dir) noexcept try {
  const std::string marker = dir + "/";
  std::error_code ec;
  for (fs::directory_iterator it("/proc", ec), end; !ec && it != end; it.increment(ec)) {
    const std::string name = it->path().filename().string();
    if (name.empty() || name.find_first_not_of("0123456789") != std::string::npos) continue;
    std::ifstream in(it->path() / "cmdline", std::ios::binary);
    const std::string cmdline((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (cmdline.find(marker) != std::string::npos) kill(static_cast<pid_t>(std::stol(name)), SIGKILL);
  }
} catch (...) {
  // Out of memory while looking: the process group has been signalled all the same.
}

// Whom the browser runs as when it runs as this process.
std::string ThisAccount() { return geteuid() == 0 ? "root" : "uid " + std::to_string(geteuid()); }

// The scheme of an address, in lower case.
std::string SchemeOf(const std::string& url) {
  std::string scheme = url.substr(0, url.find(':'));
  for (char& c : scheme) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return scheme;
}

bool IsWebAddress(const std::string& url) {
  const std::string scheme = SchemeOf(url);
  return scheme == "http" || scheme == "https";
}

// Documents of the machine and of the browser itself, which a web page must never turn into.
bool IsLocalAddress(const std::string& url) {
  const std::string scheme = SchemeOf(url);
  for (const char* local : {"file", "devtools", "chrome", "chrome-untrusted", "chrome-extension", "view-source"}) {
    if (scheme == local) return true;
  }
  return false;
}

}  // namespace

std::string ChromiumSession::DefaultExecutable() {
  const char* chosen = std::getenv("PALISADE_BROWSER");
  return chosen && *chosen ? chosen : "/usr/bin/chromium";
}

bool ChromiumSession::IsInstalled(const std::string& executable) { return access(executable.c_str(), X_OK) == 0; }

ChromiumSession::~ChromiumSession() { Close(); }

std::unique_ptr<ChromiumSession> ChromiumSession::Start(std::string* error, const std::string& executable) {
  std::string ignored;
  if (!error) error = &ignored;
  if (access(executable.c_str(), X_OK) != 0) {
    *error = "no browser at " + executable + ": " + ErrnoText(errno);
    return nullptr;
  }
  std::string why = "PALISADE_BROWSER_SANDBOX is off";
  if (!SandboxTurnedOff()) {
    if (auto session = TryStart(executable, true, &why)) return session;
    why = "it could not start sandboxed: " + why;
  }
  auto session = TryStart(executable, false, error);
  if (session) {
    session->without_sandbox_ = "the browser runs without its sandbox, as " + ThisAccount() + ", since " + why;
  }
  return session;
}

std::unique_ptr<ChromiumSession> ChromiumSession::TryStart(const std::string& executable, bool sandboxed,
                                                           std::string* error) {
  // Chromium will not sandbox itself as root, and root is what the sandbox should keep the page from.
  std::optional<Account> account;
  if (sandboxed && geteuid() == 0 && !(account = BrowserAccount(error))) return nullptr;
  std::unique_ptr<ChromiumSession> session(new ChromiumSession);
  session->account_ = account;
  if (!session->Launch(executable, sandboxed, account ? &*account : nullptr, error) || !session->OpenPage(error)) {
    session->Close();
    return nullptr;
  }
  return session;
}

bool ChromiumSession::Launch(const std::string& executable, bool sandboxed, const Account* account,
                             std::string* error) {
  const auto folder = MakeSessionFolder(account, error);
  if (!folder) return false;
  dir_ = folder->root;

  int commands[2], replies[2];
  if (pipe2(commands, O_CLOEXEC) != 0) {
    *error = "cannot create a pipe: " + ErrnoText(errno);
    return false;
  }
  Fd browser_reads(commands[0]), we_write(commands[1]);
  if (pipe2(replies, O_CLOEXEC) != 0) {
    *error = "cannot create a pipe: " + ErrnoText(errno);
    return false;
  }
  Fd we_read(replies[0]), browser_writes(replies[1]);
  Fd log(open((dir_ + "/browser.log").c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
  Fd null(open("/dev/null", O_RDWR | O_CLOEXEC));
  if (log.get() < 0 || null.get() < 0 || !browser_reads.Raise() || !browser_writes.Raise() || !log.Raise() ||
      !null.Raise()) {
    *error = "cannot prepare the browser's descriptors: " + ErrnoText(errno);
    return false;
  }

  BrowserLaunch launch;
  launch.argv = {executable,
               "--headless",
               "--disable-gpu",
               "--no-first-run",
               "--disable-background-networking",
               "--disable-component-update",
               "--disable-sync",
               "--disable-extensions",
               // The page is made over the pipe; an initial one would only cost a renderer at
               // start-up.
               "--no-startup-window",
               // Its files would only be deleted again.
               "--disable-gpu-shader-disk-cache",
               "--remote-debugging-pipe",
               "--user-data-dir=" + folder->user + "/profile"};
  if (!sandboxed) launch.argv.insert(launch.argv.begin() + 1, "--no-sandbox");

  // Scratch files, the crash database and what libraries keep in the home and configuration
  // folders land in the session folder, so they go with it even when the browser is killed.
  std::vector<std::string> overrides = {"TMPDIR=" + folder->user + "/tmp", "HOME=" + folder->user,
                                        "CHROME_CONFIG_HOME=" + folder->user + "/config",
                                        "XDG_CONFIG_HOME=" + folder->user + "/config",
                                        "XDG_CACHE_HOME=" + folder->user + "/cache"};
  if (account) overrides.insert(overrides.end(), {"USER=" + account->name, "LOGNAME=" + account->name});
  for (char** e = environ; *e; ++e) {
    const std::string_view entry(*e);
    const bool overridden = std::any_of(overrides.begin(), overrides.end(), [&](const std::string& o) {
      return entry.substr(0, entry.find('=') + 1) == std::string_view(o).substr(0, o.find('=') + 1);
    });
    if (!overridden) launch.env.emplace_back(entry);
  }
  launch.env.insert(launch.env.end(), overrides.begin(), overrides.end());
  launch.null_fd = null.get();
  launch.log_fd = log.get();
  launch.commands_fd = browser_reads.get();
  launch.replies_fd = browser_writes.get();
  launch.account = account;
  launch.writable = folder->user;

  pid_ = StartBrowserProcess(launch, error);
  if (pid_ < 0) return false;
  pipe_ = std::make_unique<DevToolsPipe>(we_write.release(), we_read.release());
  return true;
}

std::string ChromiumSession::StartFailure(const std::string& step) const {
  // A browser that closed the pipe is on its way out; its exit status says more than the pipe.
  const auto deadline = std::chrono::steady_clock::now() + (pipe_->broken() ? 1s : 0s);
  siginfo_t info{};
  bool exited = false;
  for (;;) {
    exited = waitid(P_PID, static_cast<id_t>(pid_), &info, WEXITED | WNOHANG | WNOWAIT) == 0 && info.si_pid == pid_;
    if (exited || std::chrono::steady_clock::now() >= deadline) break;
    std::this_thread::sleep_for(5ms);
  }
  if (exited) {
    const std::string why = info.si_code == CLD_EXITED ? "exited with status " + std::to_string(info.si_status)
                                                       : "was killed by signal " + std::to_string(info.si_status);
    const std::string last = LastLine(dir_ + "/browser.log");
    return "the browser " + why + " while starting" + (last.empty() ? "" : ": " + last);
  }
  if (pipe_->broken()) return "the browser closed its DevTools pipe during " + step;
  return "the browser did not answer " + step + " in time";
}

bool ChromiumSession::OpenPage(std::string* error) {
  // The first command also waits for the browser to come up.
  const auto created = pipe_->Call("Target.createTarget", {{"url", "about:blank"}}, "", kStartTimeout);
  target_id_ = StringField(ResultOf(created), "targetId");
  if (target_id_.empty()) {
    *error = created ? "Target.createTarget failed: " + ErrorOf(created) : StartFailure("Target.createTarget");
    return false;
  }
  const auto attached =
      pipe_->Call("Target.attachToTarget", {{"targetId", target_id_}, {"flatten", true}}, "", kCommandTimeout);
  session_id_ = StringField(ResultOf(attached), "sessionId");
  if (session_id_.empty()) {
    *error = attached ? "Target.attachToTarget failed: " + ErrorOf(attached) : StartFailure("Target.attachToTarget");
    return false;
  }
  // Headless Chromium saves what a page hands it as a download in ~/Downloads unless told not to.
  const auto denied = pipe_->Call("Browser.setDownloadBehavior", {{"behavior", "deny"}}, "", kCommandTimeout);
  if (!ResultOf(denied)) {
    *error = denied ? "Browser.setDownloadBehavior failed: " + ErrorOf(denied)
                    : StartFailure("Browser.setDownloadBehavior");
    return false;
  }
  return true;
}

bool ChromiumSession::Navigate(const std::string& url) {
  if (!IsOpen() || url.empty()) return false;
  if (pending_navigation_ != 0) pipe_->Forget(pending_navigation_);
  // A local page that a browser running as another account may not read goes to it as a copy
  // this process made: the caller may read where that account may not.
  std::string target = url;
  if (account_) {
    const std::string path = LocalPathOf(url);
    if (!path.empty() && !AccountCanRead(*account_, path)) {
      if (std::string copy = CopyLocalPage(url, dir_ + "/pages"); !copy.empty()) target = std::move(copy);
    }
  }
  // The answer comes once the new document commits or the navigation fails, which for a slow
  // server can be long after this returns.
  pending_navigation_ = pipe_->Send("Page.navigate", {{"url", target}}, session_id_, kCommandTimeout);
  navigated_ = true;
  navigation_failed_ = pending_navigation_ == 0;
  navigating_to_web_ = IsWebAddress(url);
  return pending_navigation_ != 0;
}

void ChromiumSession::SettleNavigation() {
  if (pending_navigation_ == 0) return;
  const auto answer = pipe_->Await(pending_navigation_, 0s);
  if (!answer && !pipe_->broken()) return;  // still on its way
  pipe_->Forget(pending_navigation_);
  pending_navigation_ = 0;
  on_web_ = navigating_to_web_;
  // An error page stands in for a document that never came; it is not the page asked for.
  const json* result = ResultOf(answer);
  navigation_failed_ = !result || !StringField(result, "errorText").empty();
}

ReadyState ChromiumSession::GetReadyState() {
  if (!IsOpen()) return ReadyState::Uninitialized;
  SettleNavigation();
  if (pending_navigation_ != 0) return ReadyState::Loading;
  if (!navigated_ || navigation_failed_) return ReadyState::Uninitialized;
  auto response = pipe_->Call("Runtime.evaluate", EvaluateParams("document.readyState"), session_id_,
                              kReadyStateTimeout);
  if (!response) return pipe_->broken() ? ReadyState::Uninitialized : ReadyState::Loading;
  const auto state = ValueOf(std::move(response));
  const ReadyState parsed = state ? ParseReadyState(*state) : ReadyState::Uninitialized;
  return parsed == ReadyState::Loading || !ShowsLocalDocument() ? parsed : ReadyState::Uninitialized;
}

bool ChromiumSession::ShowsLocalDocument() {
  if (!on_web_) return false;
  // Asked of the browser, not the page: a page's script cannot make it say otherwise.
  const auto answer = pipe_->Call("Target.getTargetInfo", {{"targetId", target_id_}}, "", kCommandTimeout);
  const json* result = ResultOf(answer);
  const json* info = nullptr;
  if (result) {
    const auto it = result->find("targetInfo");
    if (it != result->end() && it->is_object()) info = &*it;
  }
  const std::string url = StringField(info, "url");
  return url.empty() || IsLocalAddress(url);
}

std::optional<std::string> ChromiumSession::ContentType() {
  if (!IsOpen() || ShowsLocalDocument()) return std::nullopt;
  auto value =
      ValueOf(pipe_->Call("Runtime.evaluate", EvaluateParams("document.contentType"), session_id_, kCommandTimeout));
  if (!value || !value->is_string()) return std::nullopt;
  return std::move(value->get_ref<std::string&>());
}

std::optional<std::vector<Link>> ChromiumSession::GetLinks() {
  if (!IsOpen() || ShowsLocalDocument()) return std::nullopt;
  const auto value =
      ValueOf(pipe_->Call("Runtime.evaluate", EvaluateParams(kLinksScript), session_id_, kCommandTimeout));
  if (!value || !value->is_string()) return std::nullopt;
  return ParseLinks(win32::Widen(value->get_ref<const std::string&>(), CP_UTF8));
}

std::optional<std::vector<Link>> ChromiumSession::ParseLinks(std::u16string_view packed) {
  std::vector<Link> links;
  while (!packed.empty()) {
    auto tagName = TakeField(packed);
    auto href = tagName ? TakeField(packed) : std::nullopt;
    if (!href) return std::nullopt;
    links.push_back({std::move(*tagName), std::move(*href)});
  }
  return links;
}

void ChromiumSession::Close() {
  if (pid_ > 0) {
    // The profile is thrown away, so there is nothing to shut down gracefully.
    kill(-pid_, SIGKILL);
    KillStrays(dir_);
    while (waitpid(pid_, nullptr, 0) == -1 && errno == EINTR) {
    }
    pid_ = -1;
  }
  pipe_.reset();
  target_id_.clear();
  session_id_.clear();
  pending_navigation_ = 0;
  if (!dir_.empty()) {
    RemoveFolder(dir_);
    dir_.clear();
  }
}

}  // namespace browser
