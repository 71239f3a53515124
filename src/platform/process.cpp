#include "platform/process.h"

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <ctime>

extern char** environ;

namespace {
std::vector<int> g_detached;

// Reaps `pid` when it has ended; true then (or when it is not ours at all).
bool Reaped(int pid) {
  int status = 0;
  for (;;) {
    pid_t r = waitpid(pid, &status, WNOHANG);
    if (r == 0) return false;
    if (r < 0 && errno == EINTR) continue;
    return true;
  }
}
}  // namespace

std::optional<int> Process_Start(const std::string& program, const std::vector<std::string>& arguments,
                                 std::string* error) {
  if (program.empty()) {
    if (error) *error = std::strerror(ENOENT);
    return std::nullopt;
  }
  std::vector<char*> argv;
  argv.push_back(const_cast<char*>(program.c_str()));
  for (const std::string& a : arguments) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  pid_t pid = 0;
  int rc = posix_spawnp(&pid, program.c_str(), nullptr, nullptr, argv.data(), environ);
  if (rc != 0) {
    if (error) *error = std::strerror(rc);
    return std::nullopt;
  }
  return int(pid);
}

bool Process_Wait(int pid, int64_t microseconds) {
  const int64_t step = 2000;
  for (int64_t waited = 0;; waited += step) {
    if (Reaped(pid)) return true;
    if (waited >= microseconds) return false;
    timespec ts{0, long(std::min(step, microseconds - waited)) * 1000};
    nanosleep(&ts, nullptr);
  }
}

void Process_Detach(int pid) {
  Process_ReapDetached();
  g_detached.push_back(pid);
}

void Process_ReapDetached() {
  g_detached.erase(std::remove_if(g_detached.begin(), g_detached.end(), Reaped), g_detached.end());
}
