// Entry point of dovex-mpi: the interpreter run by every process of an MPI
// job alike (mpirun -np P dovex-mpi [options] [FILE]), P a power of two.
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <string>

#include "distributed/mpi_group.h"
#include "runtime/process_group.h"
#include "shell/launch.h"

namespace {

constexpr int kExitUsage = 2;

constexpr int kExitJobEnded = 1;

void onBreakSignal(int) { MpiGroup::noteBreakSignal(); }

// What the launcher sends every process when the job ends early: one of
// its processes died (or the launcher itself was stopped). Process 0 says
// so before it goes, so the job never ends in silence (mpirun -q adds
// nothing of its own). Standard output leaves at every shared look at the
// break (mpi_group.cpp), so what was printed before it is not lost.
constexpr char kJobEnded[] = "Error: the job is ended: one of its processes stopped, or mpirun was stopped\n";

void onJobEnded(int) {
  [[maybe_unused]] const ssize_t written = write(STDERR_FILENO, kJobEnded, sizeof kJobEnded - 1);
  _exit(kExitJobEnded);
}

// Process 1 speaks for process 0 when that one is the process that died:
// it keeps its own standard error for this alone, and knows process 0's
// pid when both run on one host (elsewhere it cannot tell, and says
// nothing).
int backupError = -1;
pid_t firstProcess = 0;

void onJobEndedBackup(int) {
  const int saved = errno;
  if (firstProcess > 0 && kill(firstProcess, 0) != 0 && errno == ESRCH && backupError >= 0) {
    [[maybe_unused]] const ssize_t written = write(backupError, kJobEnded, sizeof kJobEnded - 1);
  }
  errno = saved;
  _exit(kExitJobEnded);
}

// Process 0's pid, shared with every process, or 0 on a process on another
// host than process 0.
pid_t firstProcessOnThisHost(MpiGroup& group) {
  char host[256] = {};
  gethostname(host, sizeof host - 1);
  std::string firstHost = group.rank() == 0 ? std::string(host) : std::string();
  group.shareBytes(firstHost);
  uint64_t pid = group.rank() == 0 ? static_cast<uint64_t>(getpid()) : 0;
  group.shareWord(pid);
  return firstHost == host ? static_cast<pid_t>(pid) : 0;
}

// Points standard output and error of a process other than the first at
// /dev/null: only the first one speaks.
void silence() {
  const int nowhere = open("/dev/null", O_WRONLY | O_CLOEXEC);
  if (nowhere < 0) return;
  dup2(nowhere, STDOUT_FILENO);
  dup2(nowhere, STDERR_FILENO);
  close(nowhere);
}

}  // namespace

int main(int argc, char** argv) {
  // Installed before anything can be sent: the launcher forwards SIGUSR1,
  // whose default would end the process.
  struct sigaction action {};
  action.sa_handler = onBreakSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  sigaction(SIGUSR1, &action, nullptr);

  MpiGroup group(argc, argv);
  const uint32_t size = group.size();
  if ((size & (size - 1)) != 0) {
    if (group.rank() == 0) {
      std::fprintf(stderr, "dovex-mpi: the number of processes must be a power of two (1, 2, 4, 8 ...), not %u\n",
                   size);
    }
    return kExitUsage;
  }
  const pid_t first = firstProcessOnThisHost(group);
  if (group.rank() == 1) {
    firstProcess = first;
    backupError = fcntl(STDERR_FILENO, F_DUPFD_CLOEXEC, 3);
  }
  if (group.rank() != 0) silence();
  if (group.rank() <= 1) {
    struct sigaction ending {};
    ending.sa_handler = group.rank() == 0 ? onJobEnded : onJobEndedBackup;
    sigemptyset(&ending.sa_mask);
    sigaction(SIGTERM, &ending, nullptr);
  }
  setProcessGroup(&group);
  const int status = dovexMain(argc, argv);
  // The run is over and its output written: the launcher ending the job
  // once a process has left with a failing status is no fault to report.
  if (group.rank() <= 1) signal(SIGTERM, SIG_IGN);
  setProcessGroup(nullptr);
  return status;
}
