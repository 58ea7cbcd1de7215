// Runs a command and writes "wall user system peak_kb" to a file, like
// /usr/bin/time -f "%e %U %S %M" but to the microsecond: at 100 MB a run of
// cat costs a few hundredths of a second of CPU, and the 10 ms steps of
// /usr/bin/time would move the ratios to it by a third. The times and the
// peak include the command's own children (sh -c ... | sort ...); the peak
// of a forked process counts from the fork, so this program stays small.
//   usage: time_run OUTPUT_FILE CMD...
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>

namespace {

double Seconds(const timeval& t) { return static_cast<double>(t.tv_sec) + t.tv_usec / 1e6; }

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: time_run OUTPUT_FILE CMD...\n");
    return 2;
  }
  const auto start = std::chrono::steady_clock::now();
  const pid_t child = fork();
  if (child < 0) {
    std::perror("fork");
    return 2;
  }
  if (child == 0) {
    if (!std::freopen("/dev/null", "w", stdout)) _exit(127);
    execvp(argv[2], argv + 2);
    std::perror(argv[2]);
    _exit(127);
  }
  int status = 0;
  rusage usage{};
  if (wait4(child, &status, 0, &usage) < 0) {
    std::perror("wait4");
    return 2;
  }
  const std::chrono::duration<double> wall = std::chrono::steady_clock::now() - start;
  std::FILE* out = std::fopen(argv[1], "w");
  if (!out) {
    std::perror(argv[1]);
    return 2;
  }
  std::fprintf(out, "%.6f %.6f %.6f %ld\n", wall.count(), Seconds(usage.ru_utime),
               Seconds(usage.ru_stime), usage.ru_maxrss);
  std::fclose(out);
  if (WIFEXITED(status)) return WEXITSTATUS(status);
  return 128 + (WIFSIGNALED(status) ? WTERMSIG(status) : 0);
}
