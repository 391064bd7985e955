// What users get from the state-vector operations: the real interpreter run as
// a whole process on generated scripts. Each operation is timed as the
// difference between a script doing it r times and one doing it r + Δ times
// (best of 5 runs each), so start-up and the building of the state cancel
// out. Each time is also given as a fraction of the machine's copy
// bandwidth: (bytes the operation must move ÷ its time) ÷ (2 × buffer ÷ the
// time of one memcpy of a 1 GiB buffer, measured here before each system, so
// that a machine whose load changes during the run is compared with itself).
//
// Bytes per operation, in state sizes S: apply_op 2 (read, write), tensor 1
// (the product written; its factors are small), measure and partial_measure
// 2 (read, collapsed state written), measure_distribution 1 (read), set 2 (a
// shared value copied into the variable).
//
// The last table runs the register workload of the peer benchmark (tensor
// build, a Hadamard on every qubit, one measure) and reports its time and
// peak resident memory in state sizes.
//
//   state_ops_bench DOVEX_BINARY [systems...]   systems like 2^16 3^15; default
//                                               2^16 2^20 2^22 2^24 3^15 5^10
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

struct Run {
  double seconds;
  long peakKiB;
};

// Runs [binary] with [input] on standard input and its output discarded.
Run runProcess(const std::string& binary, const std::string& input) {
  int toChild[2];
  if (pipe(toChild) != 0) std::exit(2);
  const Clock::time_point start = Clock::now();
  const pid_t child = fork();
  if (child == 0) {
    dup2(toChild[0], STDIN_FILENO);
    close(toChild[0]);
    close(toChild[1]);
    FILE* sink = std::fopen("/dev/null", "w");
    if (sink) dup2(fileno(sink), STDOUT_FILENO);
    execl(binary.c_str(), binary.c_str(), static_cast<char*>(nullptr));
    _exit(127);
  }
  close(toChild[0]);
  size_t written = 0;
  while (written < input.size()) {
    const ssize_t n = write(toChild[1], input.data() + written, input.size() - written);
    if (n <= 0) break;
    written += static_cast<size_t>(n);
  }
  close(toChild[1]);
  int status = 0;
  rusage usage{};
  wait4(child, &status, 0, &usage);
  const std::chrono::duration<double> elapsed = Clock::now() - start;
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
    std::fprintf(stderr, "dovex failed (status %d)\n", status);
    std::exit(1);
  }
  return Run{elapsed.count(), usage.ru_maxrss};
}

// Best of 5 runs of a script file fed through the `file` keyword.
double bestSeconds(const std::string& binary, const std::string& script) {
  const std::string path = "/tmp/dovex_state_ops_" + std::to_string(getpid()) + ".dvx";
  {
    std::ofstream out(path);
    out << script;
  }
  double best = 1e300;
  for (int i = 0; i < 5; ++i) best = std::min(best, runProcess(binary, "file " + path + "\nexit\n").seconds);
  std::remove(path.c_str());
  return best;
}

// 2 × buffer ÷ the best time of a memcpy of 1 GiB, in bytes per second.
double copyBandwidth() {
  const size_t bytes = size_t{1} << 30;
  std::vector<char> from(bytes, 1);
  std::vector<char> to(bytes, 2);
  double best = 1e300;
  for (int i = 0; i < 5; ++i) {
    const Clock::time_point start = Clock::now();
    std::memcpy(to.data(), from.data(), bytes);
    const std::chrono::duration<double> elapsed = Clock::now() - start;
    best = std::min(best, elapsed.count());
    from[static_cast<size_t>(i)] = to[bytes - 1 - static_cast<size_t>(i)];  // keeps the copies observable
  }
  return 2.0 * static_cast<double>(bytes) / best;
}

struct System {
  int dimension;
  int count;
  double states() const {
    double s = 1;
    for (int i = 0; i < count; ++i) s *= dimension;
    return s;
  }
  std::string label() const { return std::to_string(dimension) + "^" + std::to_string(count); }
};

// The declarations and the states every script starts from: phi of count-1
// subsystems, psi = phi ⊗ |0⟩, psi2 = the Fourier gate applied to psi's
// subsystem 0 (d non-zero amplitudes: no operation timed here costs more or
// less for the values it meets, as long as none is subnormal).
std::string setup(const System& sys) {
  const std::string d = std::to_string(sys.dimension);
  std::string s = "begin (new space q " + d + ") (new system s " + std::to_string(sys.count);
  for (int i = 0; i < sys.count; ++i) s += " q";
  s += ")\n(new matrix phi 1 1) (set phi (get q.ket.0)) (new integer i) (set i 1)\n";
  s += "(while (< (get i) " + std::to_string(sys.count - 1) +
       ") (begin (set phi (tensor (get phi) (get q.ket.0))) (set i (+ (get i) 1))))\n";
  s += "(new matrix psi 1 1) (set psi (tensor (get phi) (get q.ket.0)))\n";
  s += "(new matrix H " + d + " " + d + ") (set H (matrix " + d + " " + d + " QFT))\n";
  s += "(new matrix psi2 1 1) (set psi2 (apply_op (get s) 0 (get H) (get psi)))\n";
  s += "(new integer out) (new array pd double " + d + ")\n";
  return s;
}

struct Operation {
  const char* name;
  double stateSizesMoved;
  std::string (*statement)(const System&, int index);
};

const Operation kOperations[] = {
    {"tensor", 1, [](const System&, int) { return std::string("(tensor (get phi) (get q.ket.0))"); }},
    {"apply_op", 2,
     [](const System& sys, int index) {
       return "(apply_op (get s) " + std::to_string(index % sys.count) + " (get H) (get psi2))";
     }},
    {"measure", 2, [](const System&, int) { return std::string("(measure (get psi2) (get s) 0 out)"); }},
    {"measure_distribution", 1,
     [](const System&, int) { return std::string("(measure_distribution (get psi2) (get s) 0 pd)"); }},
    {"partial_measure", 2, [](const System&, int) { return std::string("(partial_measure (get psi2) (get s) 0)"); }},
    {"set", 2, [](const System&, int) { return std::string("(set psi (get psi2))"); }},
};

std::string script(const System& sys, const Operation& op, int repeats) {
  std::string s = setup(sys);
  for (int i = 0; i < repeats; ++i) s += op.statement(sys, i) + "\n";
  return s;
}

// The peer benchmark's register workload, as one piped line.
std::string registerWorkload(int n) {
  std::string names;
  for (int i = 0; i < n; ++i) names += " q";
  const std::string count = std::to_string(n);
  return "begin (new space q 2) (new system s " + count + names +
         ") (new matrix psi 1 1) (set psi (get q.ket.0)) (new integer i) (set i 1) (while (< (get i) " + count +
         ") (set psi (tensor (get psi) (get q.ket.0))) (set i (+ (get i) 1))) (new matrix H 2 2) (set H (matrix 2 2 "
         "QFT)) (set i 0) (while (< (get i) " +
         count +
         ") (set psi (apply_op (get s) (get i) (get H) (get psi))) (set i (+ (get i) 1))) (new integer out) (set psi "
         "(measure (get psi) (get s) 0 out)) (get out)\nexit\n";
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: state_ops_bench DOVEX_BINARY [D^N ...]\n");
    return 2;
  }
  const std::string binary = argv[1];
  std::vector<System> systems;
  for (int i = 2; i < argc; ++i) {
    int d = 0;
    int n = 0;
    if (std::sscanf(argv[i], "%d^%d", &d, &n) == 2 && d >= 2 && n >= 2) systems.push_back(System{d, n});
  }
  if (systems.empty()) systems = {{2, 16}, {2, 20}, {2, 22}, {2, 24}, {3, 15}, {5, 10}};

  std::printf("%-8s %-22s %12s %10s %12s\n", "system", "operation", "ms per op", "of copy", "copy GB/s");
  for (const System& sys : systems) {
    const double bandwidth = copyBandwidth();
    const double stateBytes = sys.states() * 16.0;
    // Enough operations (about 1 GiB of state) that the difference
    // stands above the noise of starting a process.
    const int delta = static_cast<int>(std::clamp(1073741824.0 / stateBytes, 4.0, 1024.0));
    for (const Operation& op : kOperations) {
      const double base = bestSeconds(binary, script(sys, op, 1));
      const double more = bestSeconds(binary, script(sys, op, 1 + delta));
      if (more <= base) {
        std::printf("%-8s %-22s %12s %10s %12.2f\n", sys.label().c_str(), op.name, "noise", "-", bandwidth / 1e9);
        continue;
      }
      const double perOp = (more - base) / delta;
      const double fraction = (op.stateSizesMoved * stateBytes / perOp) / bandwidth;
      std::printf("%-8s %-22s %12.2f %9.1f%% %12.2f\n", sys.label().c_str(), op.name, perOp * 1e3, fraction * 100.0,
                  bandwidth / 1e9);
      std::fflush(stdout);
    }
  }

  std::printf("\n%-8s %12s %14s\n", "register", "workload s", "peak RSS / S");
  for (const System& sys : systems) {
    if (sys.dimension != 2) continue;
    double best = 1e300;
    long peak = 0;
    for (int i = 0; i < 3; ++i) {
      const Run r = runProcess(binary, registerWorkload(sys.count));
      best = std::min(best, r.seconds);
      peak = std::max(peak, r.peakKiB);
    }
    std::printf("%-8s %12.3f %14.2f\n", sys.label().c_str(), best, static_cast<double>(peak) * 1024.0 / (sys.states() * 16.0));
  }
  return 0;
}
