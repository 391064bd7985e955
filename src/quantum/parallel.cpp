#include "quantum/parallel.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <exception>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <system_error>
#include <thread>
#include <utility>
#include <vector>

#include "runtime/process_group.h"

namespace {

// The threads beside the caller. A job is handed out in chunks of [grain]
// through one atomic counter; the caller takes chunks too and then waits for
// the workers to finish theirs.
class WorkerPool {
 public:
  explicit WorkerPool(int threads) {
    for (int i = 1; i < threads; ++i) {
      try {
        workers_.emplace_back([this] { work(); });
      } catch (const std::system_error&) {
        break;  // fewer threads, or none: the caller does the rest
      }
    }
  }

  ~WorkerPool() {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      stopping_ = true;
    }
    wake_.notify_all();
    for (std::thread& t : workers_) t.join();
  }

  int threadCount() const { return static_cast<int>(workers_.size()) + 1; }

  void run(int64_t n, int64_t grain, const WorkBlock& body) {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      body_ = &body;
      n_ = n;
      grain_ = grain;
      next_.store(0, std::memory_order_relaxed);
      busy_ = static_cast<int>(workers_.size());
      ++generation_;
    }
    wake_.notify_all();
    takeChunks();
    std::unique_lock<std::mutex> lock(mutex_);
    finished_.wait(lock, [this] { return busy_ == 0; });
    body_ = nullptr;
    // A body that broke its promise not to throw: reported on the caller's
    // thread once every thread has stopped touching the job.
    if (failure_) std::rethrow_exception(std::exchange(failure_, nullptr));
  }

 private:
  void takeChunks() {
    const KernelSection section;
    try {
      for (;;) {
        const int64_t begin = next_.fetch_add(grain_, std::memory_order_relaxed);
        if (begin >= n_) return;
        (*body_)(begin, std::min(n_, begin + grain_));
      }
    } catch (...) {
      next_.store(n_, std::memory_order_relaxed);  // hand out nothing more
      std::lock_guard<std::mutex> lock(mutex_);
      if (!failure_) failure_ = std::current_exception();
    }
  }

  void work() {
    insideWorker = true;
    uint64_t seen = 0;
    for (;;) {
      {
        std::unique_lock<std::mutex> lock(mutex_);
        wake_.wait(lock, [&] { return stopping_ || generation_ != seen; });
        if (stopping_) return;
        seen = generation_;
      }
      takeChunks();
      {
        std::lock_guard<std::mutex> lock(mutex_);
        --busy_;
      }
      finished_.notify_one();
    }
  }

 public:
  static thread_local bool insideWorker;

 private:
  std::vector<std::thread> workers_;
  std::mutex mutex_;
  std::condition_variable wake_;
  std::condition_variable finished_;
  bool stopping_ = false;
  uint64_t generation_ = 0;
  int busy_ = 0;
  const WorkBlock* body_ = nullptr;
  int64_t n_ = 0;
  int64_t grain_ = 1;
  std::atomic<int64_t> next_{0};
  std::exception_ptr failure_;
};

thread_local bool WorkerPool::insideWorker = false;

int defaultThreadCount() {
  int threads = static_cast<int>(std::thread::hardware_concurrency());
  if (threads < 1) threads = 1;
  // Only ever lowers the count: the results are the same either way.
  if (const char* text = std::getenv("DOVEX_THREADS")) {
    const long asked = std::strtol(text, nullptr, 10);
    if (asked >= 1 && asked < threads) threads = static_cast<int>(asked);
  }
  return threads;
}

// One job at a time; the pool is replaced only under this lock.
std::mutex& jobMutex() {
  static std::mutex* m = new std::mutex;
  return *m;
}

// Never destroyed at exit: its threads would have to be joined while other
// static objects are already gone.
std::unique_ptr<WorkerPool>*& poolSlot() {
  static std::unique_ptr<WorkerPool>* slot = nullptr;
  return slot;
}

WorkerPool& pool() {
  std::unique_ptr<WorkerPool>*& slot = poolSlot();
  if (!slot) slot = new std::unique_ptr<WorkerPool>(std::make_unique<WorkerPool>(defaultThreadCount()));
  return **slot;
}

}  // namespace

void parallelFor(int64_t n, int64_t grain, const WorkBlock& body) {
  if (n <= 0) return;
  if (grain < 1) grain = 1;
  const KernelSection section;
  if (n > grain && !WorkerPool::insideWorker) {
    std::unique_lock<std::mutex> lock(jobMutex(), std::try_to_lock);
    if (lock.owns_lock()) {
      WorkerPool& workers = pool();
      if (workers.threadCount() > 1) {
        workers.run(n, grain, body);
        return;
      }
    }
  }
  for (int64_t begin = 0; begin < n; begin += grain) body(begin, std::min(n, begin + grain));
}

int parallelThreadCount() {
  std::lock_guard<std::mutex> lock(jobMutex());
  return pool().threadCount();
}

void setParallelThreads(int threads) {
  std::lock_guard<std::mutex> lock(jobMutex());
  std::unique_ptr<WorkerPool>*& slot = poolSlot();
  if (!slot) slot = new std::unique_ptr<WorkerPool>();
  slot->reset();
  *slot = std::make_unique<WorkerPool>(std::max(threads, 1));
}
