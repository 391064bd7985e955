// Entry point of dovex-mpi: the interpreter run by every process of an MPI
// job alike (mpirun -np P dovex-mpi [options] [FILE]), P a power of two.
#include <fcntl.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <string>

#include "distributed/mpi_group.h"
#include "runtime/process_group.h"
#include "shell/launch.h"

namespace {

constexpr int kExitUsage = 2;

void onBreakSignal(int) { MpiGroup::noteBreakSignal(); }

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
  if (group.rank() != 0) silence();
  setProcessGroup(&group);
  const int status = dovexMain(argc, argv);
  setProcessGroup(nullptr);
  return status;
}
