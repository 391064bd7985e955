#include "interp/evaluation_stack.h"

#include <alloca.h>
#include <fcntl.h>
#include <pthread.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <exception>

#include "interp/interpreter.h"

constinit thread_local uintptr_t evaluationStackFloor = 0;

namespace {

// Stack one level of nesting may take, with room to spare: the deepest
// keywords take about 1.3 KiB a level (5 KiB under AddressSanitizer, whose
// red zones widen every frame).
constexpr size_t kBytesPerLevel = kAddressSanitizerBuild ? size_t{16} << 10 : size_t{4} << 10;
// Room kept below the deepest level for what a keyword does without nesting
// further (printing, the kernels, file access, line editing).
constexpr size_t kReserveBytes = kAddressSanitizerBuild ? size_t{1} << 20 : size_t{256} << 10;
// The stack asked for first, and the smallest worth a thread of its own.
constexpr size_t kStackBytes = kMaxNestingDepth * kBytesPerLevel + kReserveBytes;
constexpr size_t kSmallestStackBytes = 2 * kReserveBytes;
constexpr size_t kPageBytes = 4096;

uintptr_t frameAddress() { return reinterpret_cast<uintptr_t>(__builtin_frame_address(0)); }

// The lowest address of this thread's stack as the system reports it (for
// the main thread: as far as its size limit lets it grow), or 0.
uintptr_t stackBottom() {
  pthread_attr_t attr;
  if (pthread_getattr_np(pthread_self(), &attr) != 0) return 0;
  void* lowest = nullptr;
  size_t size = 0;
  const bool known = pthread_attr_getstack(&attr, &lowest, &size) == 0;
  pthread_attr_destroy(&attr);
  return known ? reinterpret_cast<uintptr_t>(lowest) : 0;
}

// Address space the process may still map under its limit (`ulimit -v`).
size_t addressSpaceLeft() {
  rlimit limit{};
  if (getrlimit(RLIMIT_AS, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY) return SIZE_MAX;
  // The first number of statm: the pages mapped now.
  char text[64] = {};
  const size_t unknown = static_cast<size_t>(limit.rlim_cur / 2);
  const int fd = open("/proc/self/statm", O_RDONLY | O_CLOEXEC);
  if (fd < 0) return unknown;
  const ssize_t n = read(fd, text, sizeof text - 1);
  close(fd);
  if (n <= 0) return unknown;
  const size_t used = std::strtoull(text, nullptr, 10) * static_cast<size_t>(sysconf(_SC_PAGESIZE));
  return limit.rlim_cur > used ? static_cast<size_t>(limit.rlim_cur - used) : 0;
}

// Touches this thread's stack page by page from here down to [lowest], so a
// stack that grows on demand has grown that far now.
[[gnu::noinline]] void growStackTo(uintptr_t lowest) {
  const uintptr_t here = frameAddress();
  if (lowest + kPageBytes >= here) return;
  const size_t bytes = here - lowest - kPageBytes;  // below this frame's own
  volatile char* block = static_cast<volatile char*>(alloca(bytes));
  for (size_t at = bytes; at > 0; at -= std::min(at, kPageBytes)) block[at - 1] = 0;  // top down
}

// Sets this thread's floor for the life of the object.
class FloorGuard {
 public:
  explicit FloorGuard(uintptr_t floor) : previous_(evaluationStackFloor) { evaluationStackFloor = floor; }
  ~FloorGuard() { evaluationStackFloor = previous_; }
  FloorGuard(const FloorGuard&) = delete;
  FloorGuard& operator=(const FloorGuard&) = delete;

 private:
  uintptr_t previous_;
};

struct ThreadJob {
  const std::function<void()>* body;
  size_t stackBytes;
  std::exception_ptr error;
};

void* runJob(void* raw) {
  auto* job = static_cast<ThreadJob*>(raw);
  // The stack was mapped whole when the thread was made; its top holds the
  // thread's own records, which the reserve more than covers.
  uintptr_t bottom = stackBottom();
  if (bottom == 0) bottom = frameAddress() - job->stackBytes;
  const FloorGuard floor(bottom + kReserveBytes);
  try {
    (*job->body)();
  } catch (...) {
    job->error = std::current_exception();
  }
  return nullptr;
}

}  // namespace

void runWithLargeStack(const std::function<void()>& body) {
  for (size_t bytes = kStackBytes; bytes >= kSmallestStackBytes; bytes /= 2) {
    ThreadJob job{&body, bytes, nullptr};
    pthread_attr_t attr;
    if (pthread_attr_init(&attr) != 0) break;
    pthread_t thread;
    const bool started =
        pthread_attr_setstacksize(&attr, bytes) == 0 && pthread_create(&thread, &attr, runJob, &job) == 0;
    pthread_attr_destroy(&attr);
    if (!started) continue;  // too little memory for this stack: try half
    pthread_join(thread, nullptr);
    if (job.error) std::rethrow_exception(job.error);
    return;
  }
  runOnOwnStack(body);
}

void runOnOwnStack(const std::function<void()>& body) {
  const uintptr_t here = frameAddress();
  // Never deeper than a thread of our own would go, nor closer than a few
  // pages to the limit of this stack, nor into more than half the address
  // space left.
  size_t room = kStackBytes;
  if (const uintptr_t bottom = stackBottom(); bottom != 0) {
    room = std::min(room, here > bottom + 16 * kPageBytes ? here - bottom - 16 * kPageBytes : 0);
  } else if (rlimit limit{}; getrlimit(RLIMIT_STACK, &limit) != 0 || limit.rlim_cur != RLIM_INFINITY) {
    room = std::min<size_t>(room, limit.rlim_cur / 2);
  }
  room = std::min(room, addressSpaceLeft() / 2);
  growStackTo(here - room);
  // With no room beyond the reserve, every evaluation refuses.
  const FloorGuard floor(room > kReserveBytes ? here - room + kReserveBytes : here);
  body();
}
