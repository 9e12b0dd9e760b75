#include "platform/process.h"

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/syscall.h>
#ifdef __linux__
#include <sys/prctl.h>
#endif
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include "platform/codepage.h"

extern char** environ;

namespace platform {
namespace {

long long NowMs() {
  struct timespec t;
  clock_gettime(CLOCK_MONOTONIC, &t);
  return static_cast<long long>(t.tv_sec) * 1000 + t.tv_nsec / 1000000;
}

// Waits for the child until the deadline. True when it has ended (status filled in).
bool WaitUntil(pid_t pid, long long deadline, int* status) {
#ifdef SYS_pidfd_open
  // A descriptor that becomes readable when the child ends: no polling.
  int fd = static_cast<int>(syscall(SYS_pidfd_open, pid, 0));
  if (fd >= 0) {
    for (;;) {
      long long left = deadline - NowMs();
      struct pollfd p = {fd, POLLIN, 0};
      int ready = poll(&p, 1, left > 0 ? static_cast<int>(left < 60000 ? left : 60000) : 0);
      if (ready > 0) break;
      if (ready < 0 && errno == EINTR) continue;
      if (ready < 0) break;  // reap below, by polling
      if (NowMs() >= deadline) {
        close(fd);
        return false;
      }
    }
    close(fd);
  }
#endif
  // Without pidfd (or once it has reported the end): reap, stepping up to 20 ms apart.
  for (int step = 1;; step = step < 20 ? step * 2 : 20) {
    pid_t done = waitpid(pid, status, WNOHANG);
    if (done == pid) return true;
    if (done < 0 && errno != EINTR) {
      *status = -1;
      return true;
    }
    if (NowMs() >= deadline) return false;
    struct timespec pause = {0, step * 1000000L};
    nanosleep(&pause, nullptr);
  }
}

#ifdef __linux__
// Hidden: no terminal input or output. Its own process group, so a Ctrl+C meant for the
// caller does not cut a delivery short. And it dies with its caller: a tool left running by a
// killed run would finish a delivery that no log line records, and the next run would send
// that row again. (The signal follows the thread that started the tool, which waits for it.)
// -1 when the program could not be started; an exec failure comes back through a pipe.
pid_t StartHidden(std::vector<char*>& argv, bool tied) {
  int report[2];
  if (pipe2(report, O_CLOEXEC) != 0) return -1;
  pid_t parent = getpid();
  pid_t pid = fork();
  if (pid < 0) {
    close(report[0]);
    close(report[1]);
    return -1;
  }
  if (pid == 0) {
    // Only calls that are safe between fork and exec from here on.
    setpgid(0, 0);
    if (tied) {
      prctl(PR_SET_PDEATHSIG, SIGKILL);
      if (getppid() != parent) _exit(127);
    }
    int in = open("/dev/null", O_RDONLY);
    int out = open("/dev/null", O_WRONLY);
    if (in < 0 || out < 0 || dup2(in, 0) < 0 || dup2(out, 1) < 0 || dup2(out, 2) < 0) _exit(127);
    execve(argv[0], argv.data(), environ);
    int error = errno;
    ssize_t ignored = write(report[1], &error, sizeof error);
    (void)ignored;
    _exit(127);
  }
  // Also from this side, so that the group exists before the limit could ever need it.
  setpgid(pid, pid);
  close(report[1]);
  int error = 0;
  ssize_t n;
  do {
    n = read(report[0], &error, sizeof error);
  } while (n < 0 && errno == EINTR);
  close(report[0]);
  if (n > 0) {
    int status;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    return -1;
  }
  return pid;
}
#else
// Hidden and in its own process group, as above (without the death signal, which is Linux's).
pid_t StartHidden(std::vector<char*>& argv, bool) {
  posix_spawn_file_actions_t actions;
  posix_spawnattr_t attributes;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  posix_spawnattr_init(&attributes);
  posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP);
  posix_spawnattr_setpgroup(&attributes, 0);
  pid_t pid = -1;
  int error = posix_spawn(&pid, argv[0], &actions, &attributes, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  posix_spawnattr_destroy(&attributes);
  return error == 0 ? pid : -1;
}
#endif

// Waits for the child however long it runs. True when it has ended (status filled in).
bool WaitForEnd(pid_t pid, int* status) {
  pid_t done;
  do {
    done = waitpid(pid, status, 0);
  } while (done < 0 && errno == EINTR);
  return done == pid;
}

// What the caller gets for a child's wait status.
int ExitCodeOf(int status) {
  if (status == -1) return kProcessNotStarted;
  if (WIFEXITED(status)) return WEXITSTATUS(status);
  if (WIFSIGNALED(status)) return 128 + WTERMSIG(status);
  return kProcessNotStarted;
}

// The arguments in the system's encoding (UTF-8), held for an argv that points into them.
struct NativeArguments {
  std::vector<std::string> texts;
  std::vector<char*> argv;
  NativeArguments(const NativeArguments&) = delete;
  NativeArguments& operator=(const NativeArguments&) = delete;
  explicit NativeArguments(const std::vector<std::string>& arguments) {
    texts.reserve(arguments.size());
    for (const std::string& a : arguments) texts.push_back(Cp932ToUtf8(a));
    for (std::string& a : texts) argv.push_back(&a[0]);
    argv.push_back(nullptr);
  }
};

}  // namespace

int RunAndWait(const std::vector<std::string>& arguments, int timeLimitMs) {
  if (arguments.empty() || arguments[0].empty()) return kProcessNotStarted;
  NativeArguments native(arguments);

  const bool limited = timeLimitMs > 0;
  pid_t pid = StartHidden(native.argv, limited);
  if (pid < 0) return kProcessNotStarted;

  int status = 0;
  if (!limited) {
    if (!WaitForEnd(pid, &status)) return kProcessNotStarted;
  } else if (!WaitUntil(pid, NowMs() + timeLimitMs, &status)) {
    // Past the limit: end the program and whatever it started (its own process group).
    kill(-pid, SIGKILL);
    kill(pid, SIGKILL);
    WaitForEnd(pid, &status);
    return kProcessTimedOut;
  }
  return ExitCodeOf(status);
}

int RunVisibleAndWait(const std::vector<std::string>& arguments) {
  if (arguments.empty() || arguments[0].empty()) return kProcessNotStarted;
  NativeArguments native(arguments);
  // The caller's terminal and process group, and no tie to the caller's life.
  pid_t pid = -1;
  if (posix_spawn(&pid, native.argv[0], nullptr, nullptr, native.argv.data(), environ) != 0) return kProcessNotStarted;
  int status = 0;
  if (!WaitForEnd(pid, &status)) return kProcessNotStarted;
  return ExitCodeOf(status);
}

}  // namespace platform
