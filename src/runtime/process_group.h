// The processes one run is spread over. A plain run is one process and
// nothing here communicates; a distributed run (dovex-mpi) installs a group
// at start-up, and every process then runs the same program: process 0 alone
// reads input and files and writes output and files, and hands the others
// what it read and how its writes ended, so all of them take the same path.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

class ProcessGroup {
 public:
  virtual ~ProcessGroup() = default;
  virtual uint32_t rank() const = 0;
  virtual uint32_t size() const = 0;
  // Every process leaves with process 0's [bytes].
  virtual void shareBytes(std::string& bytes) = 0;
  // Every process leaves with process 0's [word].
  virtual void shareWord(uint64_t& word) = 0;
  // Whether process 0 has been sent a break since the last call, asked of
  // all processes at the same point of the program; the same answer on all.
  virtual bool shareBreak() = 0;
  // Whether every process [held] a large array it just asked for, asked of
  // all at the same point of the program.
  virtual bool allocatedEverywhere(bool held) = 0;
  // Every process leaves with every process's [sliceBytes] bytes from
  // [slice] in [whole], process r's at whole + r·sliceBytes. [sliceBytes] is
  // a multiple of kSliceGrain or less than 2^31.
  virtual void gatherSlices(const void* slice, size_t sliceBytes, void* whole) = 0;
  static constexpr size_t kSliceGrain = 4096;
  // Sends [bytes] (less than 2^31) from [send] to process [partner] and
  // receives as many from it into [receive]; [partner] calls it alike.
  virtual void exchange(uint32_t partner, const void* send, void* receive, size_t bytes) = 0;
  // Sends [sendBytes] from [send] to process [to] and receives
  // [receiveBytes] from process [from] into [receive] (each less than
  // 2^31); a side of 0 bytes sends or receives no message at all.
  virtual void shift(uint32_t to, const void* send, size_t sendBytes, uint32_t from, void* receive,
                     size_t receiveBytes) = 0;
};

// The installed group, or nullptr in a plain (one-process) run.
ProcessGroup* processGroup();
// Installs [group] (nullptr: a plain run again); returns the previous one.
ProcessGroup* setProcessGroup(ProcessGroup* group);

// How many processes the run is spread over (1 in a plain run), and which
// one this is.
uint32_t processCount();
uint32_t processRank();
// The fewest amplitudes a process keeps of a column held split: 2^20, or
// the power of two of at least 2^8 that DOVEX_SPLIT_MIN sets (any other
// setting is ignored). Read once.
int64_t splitMinimum();
// The slices of all processes, in process order, in [whole] (see
// ProcessGroup::gatherSlices; in a plain run a copy).
void gatherSlices(const void* slice, size_t sliceBytes, void* whole);

// ProcessGroup::exchange with the installed group (never called in a plain
// run, which has no partner).
void exchangeWith(uint32_t partner, const void* send, void* receive, size_t bytes);
// ProcessGroup::shift with the installed group (likewise).
void shiftWith(uint32_t to, const void* send, size_t sendBytes, uint32_t from, void* receive, size_t receiveBytes);

// At a fixed point of a long built-in, reached by every process alike:
// takes a break process 0 was sent since the last look (as each line read
// and every 256 rounds of a loop take it), so the kernels polling the break
// stop together and the built-in raises it. Nothing in a plain run or on a
// worker of a parallel kernel.
void lookForSharedBreak();

// Whether this process is the one that reads and writes: process 0, or the
// only one.
bool leadsInputOutput();
// [value] as process 0 has it (unchanged in a plain run).
bool agreedFromLead(bool value);
uint64_t agreedFromLead(uint64_t value);
// Whether every process holds the large array it asked for ([held] here).
// Never asked from a worker of a parallel kernel (whose arrays are its
// own); there, or in a plain run, just [held].
bool allocatedEverywhere(bool held);
// Process 0's [bytes] on every process.
void shareFromLead(std::string& bytes);
// While one lives, the calling thread runs part of a parallel kernel, whose
// threads never talk to other processes (how much of the work each takes
// differs from process to process).
class KernelSection {
 public:
  KernelSection();
  ~KernelSection();
  KernelSection(const KernelSection&) = delete;
  KernelSection& operator=(const KernelSection&) = delete;

 private:
  bool outer_;
};
