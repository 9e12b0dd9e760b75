#include "platform/process.h"

#include <cerrno>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include "platform/codepage.h"

extern char** environ;

namespace platform {

int RunAndWait(const std::vector<std::string>& arguments) {
  if (arguments.empty() || arguments[0].empty()) return kProcessNotStarted;
  std::vector<std::string> native;
  native.reserve(arguments.size());
  for (const std::string& a : arguments) native.push_back(Cp932ToUtf8(a));
  std::vector<char*> argv;
  for (std::string& a : native) argv.push_back(&a[0]);
  argv.push_back(nullptr);

  // Hidden: no terminal input or output. Its own process group, so a Ctrl+C meant for the
  // caller does not cut a delivery short.
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
  if (error != 0) return kProcessNotStarted;

  int status = 0;
  pid_t done;
  do {
    done = waitpid(pid, &status, 0);
  } while (done < 0 && errno == EINTR);
  if (done != pid) return kProcessNotStarted;
  if (WIFEXITED(status)) return WEXITSTATUS(status);
  if (WIFSIGNALED(status)) return 128 + WTERMSIG(status);
  return kProcessNotStarted;
}

}  // namespace platform
