#include "browser/browser_process.h"

#include "browser/sandbox_settings.h"

#include <cerrno>
#include <csignal>
#include <cstring>

#include <fcntl.h>
#include <pthread.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

namespace browser {
namespace {

// What the child sends back through its report pipe when it gives up before exec.
enum class Step : int { Descriptors = 1, ProcessGroup, Groups, Gid, Uid, Regained, Writable, Exec };

struct Failure {
  Step step;
  int error;
};

// Everything the child needs, made before fork: after it, only async-signal-safe calls.
struct Prepared {
  const char* path;
  char* const* argv;
  char* const* envp;
  const BrowserLaunch* launch;
  int report;
  unsigned maxFd;  // where marking descriptors close-on-exec stops, when close_range is missing
};

[[noreturn]] void Fail(int report, Step step, int error) noexcept {
  const Failure failure{step, error};
  (void)!write(report, &failure, sizeof failure);
  _exit(127);
}

// Makes a forked child the account for good; the step that failed (error 0 for none). One
// thread runs there, so the raw system calls suffice: glibc's wrappers would signal every thread
// of a process that the child no longer has.
Failure BecomeAccount(const Account& account) noexcept {
  const gid_t groups[] = {account.gid};
  if (syscall(SYS_setgroups, 1, groups) != 0) return {Step::Groups, errno};
  if (syscall(SYS_setgid, account.gid) != 0) return {Step::Gid, errno};
  if (syscall(SYS_setuid, account.uid) != 0) return {Step::Uid, errno};
  if (getuid() != account.uid || geteuid() != account.uid || getgid() != account.gid ||
      getegid() != account.gid) {
    return {Step::Uid, EPERM};
  }
  if (syscall(SYS_setuid, 0) == 0 || syscall(SYS_setgid, 0) == 0) return {Step::Regained, 0};
  return {Step{}, 0};
}

[[noreturn]] void RunChild(const Prepared& p) noexcept {
  struct sigaction defaults {};
  defaults.sa_handler = SIG_DFL;
  sigemptyset(&defaults.sa_mask);
  for (int signal = 1; signal < NSIG; ++signal) sigaction(signal, &defaults, nullptr);
  sigset_t none;
  sigemptyset(&none);
  sigprocmask(SIG_SETMASK, &none, nullptr);

  // A process group of its own, so that every helper can be signalled at once.
  if (setpgid(0, 0) != 0) Fail(p.report, Step::ProcessGroup, errno);
  const BrowserLaunch& s = *p.launch;
  if (dup2(s.null_fd, 0) < 0 || dup2(s.null_fd, 1) < 0 || dup2(s.log_fd, 2) < 0 || dup2(s.commands_fd, 3) < 0 ||
      dup2(s.replies_fd, 4) < 0) {
    Fail(p.report, Step::Descriptors, errno);
  }
  // Whatever else the host process has open is not the browser's business; the report pipe
  // stays open until exec succeeds.
  if (syscall(SYS_close_range, kFirstFreeFd, ~0u, CLOSE_RANGE_CLOEXEC) != 0) {
    for (unsigned fd = kFirstFreeFd; fd < p.maxFd; ++fd) fcntl(static_cast<int>(fd), F_SETFD, FD_CLOEXEC);
  }
  if (s.account) {
    const Failure became = BecomeAccount(*s.account);
    if (became.step != Step{}) Fail(p.report, became.step, became.error);
  }
  if (!s.writable.empty() && access(s.writable.c_str(), W_OK | X_OK) != 0) Fail(p.report, Step::Writable, errno);
  execve(p.path, p.argv, p.envp);
  Fail(p.report, Step::Exec, errno);
}

std::string Describe(const Failure& failure, const BrowserLaunch& launch) {
  const std::string why = failure.error != 0 ? std::string(": ") + std::strerror(failure.error) : std::string();
  const std::string as = launch.account ? launch.account->name : std::string();
  switch (failure.step) {
    case Step::Groups: return "cannot take on the groups of " + as + why;
    case Step::Gid: return "cannot take on the group of " + as + why;
    case Step::Uid: return "cannot become " + as + why;
    case Step::Regained: return "after becoming " + as + " the browser could become root again";
    case Step::Writable:
      return (launch.account ? as : std::string("the browser")) + " cannot write " + launch.writable + why;
    case Step::Exec: return "cannot start " + launch.argv.front() + why;
    case Step::ProcessGroup:
    case Step::Descriptors: break;
  }
  return "cannot prepare the browser's process" + why;
}

std::vector<char*> Pointers(const std::vector<std::string>& strings) {
  std::vector<char*> pointers;
  for (const std::string& s : strings) pointers.push_back(const_cast<char*>(s.c_str()));
  pointers.push_back(nullptr);
  return pointers;
}

// Runs `child` in a forked child of this process and waits for it; what it exited with, -1 when
// it could not be run.
template <class Child>
int RunForked(Child child) {
  sigset_t all, previous;
  sigfillset(&all);
  pthread_sigmask(SIG_SETMASK, &all, &previous);
  const pid_t pid = fork();
  if (pid == 0) child();
  pthread_sigmask(SIG_SETMASK, &previous, nullptr);
  if (pid < 0) return -1;
  int status = 0;
  while (waitpid(pid, &status, 0) < 0) {
    if (errno != EINTR) return -1;
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace

bool AccountCanRead(const Account& account, const std::string& path) {
  const char* const file = path.c_str();
  return RunForked([&account, file]() noexcept {
           if (BecomeAccount(account).step != Step{}) _exit(2);
           _exit(access(file, R_OK) == 0 ? 0 : 1);
         }) == 0;
}

pid_t StartBrowserProcess(const BrowserLaunch& launch, std::string* error) {
  const std::vector<char*> argv = Pointers(launch.argv), envp = Pointers(launch.env);
  int report[2];
  if (pipe2(report, O_CLOEXEC) != 0) {
    *error = std::string("cannot create a pipe: ") + std::strerror(errno);
    return -1;
  }
  rlimit files{};
  getrlimit(RLIMIT_NOFILE, &files);
  const Prepared prepared{argv.front(), argv.data(), envp.data(), &launch, report[1],
                          static_cast<unsigned>(files.rlim_cur == RLIM_INFINITY ? 65536 : files.rlim_cur)};

  // No handler of the host may run in the child before it has put back the defaults.
  sigset_t all, previous;
  sigfillset(&all);
  pthread_sigmask(SIG_SETMASK, &all, &previous);
  const pid_t pid = fork();
  if (pid == 0) RunChild(prepared);
  const int forkError = errno;
  pthread_sigmask(SIG_SETMASK, &previous, nullptr);
  close(report[1]);
  if (pid < 0) {
    close(report[0]);
    *error = std::string("cannot start a process: ") + std::strerror(forkError);
    return -1;
  }

  // End of file: exec succeeded and closed the child's end.
  Failure failure{};
  ssize_t got;
  while ((got = read(report[0], &failure, sizeof failure)) < 0 && errno == EINTR) {
  }
  close(report[0]);
  if (got == 0) return pid;
  kill(pid, SIGKILL);  // a report cut short leaves the child's state unknown
  while (waitpid(pid, nullptr, 0) < 0 && errno == EINTR) {
  }
  *error = got == sizeof failure ? Describe(failure, launch) : "the browser's process failed before it started";
  return -1;
}

}  // namespace browser
