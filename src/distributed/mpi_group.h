// The process group of a distributed run on MPI: every process of the job
// (MPI_COMM_WORLD), process 0 the one that reads and writes.
#pragma once

#include "runtime/process_group.h"

class MpiGroup : public ProcessGroup {
 public:
  // Starts MPI.
  MpiGroup(int& argc, char**& argv);
  // Ends MPI.
  ~MpiGroup() override;
  MpiGroup(const MpiGroup&) = delete;
  MpiGroup& operator=(const MpiGroup&) = delete;

  uint32_t rank() const override { return rank_; }
  uint32_t size() const override { return size_; }
  void shareBytes(std::string& bytes) override;
  void shareWord(uint64_t& word) override;
  bool shareBreak() override;
  // With DOVEX_TEST_FAILED_ALLOCATION set to this process's number, every
  // large array fails here (the test of a fault on one process).
  bool allocatedEverywhere(bool held) override;
  void gatherSlices(const void* slice, size_t sliceBytes, void* whole) override;
  void exchange(uint32_t partner, const void* send, void* receive, size_t bytes) override;
  void shift(uint32_t to, const void* send, size_t sendBytes, uint32_t from, void* receive,
             size_t receiveBytes) override;

  // What SIGUSR1 does: on process 0 a break to share, elsewhere nothing
  // (the launcher forwards the signal to every process; only the first
  // one's counts, so all see it at the same point). Safe in a signal handler.
  static void noteBreakSignal() noexcept;

 private:
  uint32_t rank_ = 0;
  uint32_t size_ = 1;
  bool failsAllocations_ = false;
};
