#include "distributed/mpi_group.h"

#include <mpi.h>

#include <algorithm>
#include <atomic>
#include <climits>
#include <cstdlib>
#include <string>

#include "runtime/console.h"

namespace {

// A break sent to this process and not yet shared.
std::atomic<bool> signalled{false};
static_assert(std::atomic<bool>::is_always_lock_free);

// The most bytes one broadcast carries (MPI counts are int).
constexpr size_t kMaxMessageBytes = size_t{1} << 30;

}  // namespace

MpiGroup::MpiGroup(int& argc, char**& argv) {
  int provided = 0;
  // The program's threads take turns (the interpreter runs on a thread of
  // its own while the first waits); kernel workers never call MPI.
  MPI_Init_thread(&argc, &argv, MPI_THREAD_SERIALIZED, &provided);
  int rank = 0;
  int size = 1;
  MPI_Comm_rank(MPI_COMM_WORLD, &rank);
  MPI_Comm_size(MPI_COMM_WORLD, &size);
  rank_ = static_cast<uint32_t>(rank);
  size_ = static_cast<uint32_t>(size);
  const char* failing = std::getenv("DOVEX_TEST_FAILED_ALLOCATION");
  failsAllocations_ = failing && std::to_string(rank_) == failing;
}

MpiGroup::~MpiGroup() { MPI_Finalize(); }

void MpiGroup::shareWord(uint64_t& word) { MPI_Bcast(&word, 1, MPI_UINT64_T, 0, MPI_COMM_WORLD); }

void MpiGroup::shareBytes(std::string& bytes) {
  uint64_t length = bytes.size();
  shareWord(length);
  bytes.resize(length);
  for (size_t first = 0; first < length; first += kMaxMessageBytes) {
    const size_t count = std::min<size_t>(kMaxMessageBytes, length - first);
    MPI_Bcast(bytes.data() + first, static_cast<int>(count), MPI_CHAR, 0, MPI_COMM_WORLD);
  }
}

bool MpiGroup::shareBreak() {
  // What is printed so far leaves at each look, so a job ended early (see
  // main.cpp) loses none of it.
  if (rank_ == 0) console().flush();
  uint64_t pending = rank_ == 0 && signalled.exchange(false, std::memory_order_relaxed) ? 1 : 0;
  shareWord(pending);
  return pending != 0;
}

void MpiGroup::noteBreakSignal() noexcept { signalled.store(true, std::memory_order_relaxed); }

bool MpiGroup::allocatedEverywhere(bool held) {
  int mine = held && !failsAllocations_ ? 1 : 0;
  int all = 0;
  MPI_Allreduce(&mine, &all, 1, MPI_INT, MPI_LAND, MPI_COMM_WORLD);
  return all != 0;
}

void MpiGroup::gatherSlices(const void* slice, size_t sliceBytes, void* whole) {
  if (sliceBytes % kSliceGrain != 0) {
    const int bytes = static_cast<int>(sliceBytes);
    MPI_Allgather(slice, bytes, MPI_BYTE, whole, bytes, MPI_BYTE, MPI_COMM_WORLD);
    return;
  }
  // Counted in grains, so a slice of up to 2^31 grains goes in one call.
  MPI_Datatype grain;
  MPI_Type_contiguous(static_cast<int>(kSliceGrain), MPI_BYTE, &grain);
  MPI_Type_commit(&grain);
  const int grains = static_cast<int>(sliceBytes / kSliceGrain);
  MPI_Allgather(slice, grains, grain, whole, grains, grain, MPI_COMM_WORLD);
  MPI_Type_free(&grain);
}

void MpiGroup::exchange(uint32_t partner, const void* send, void* receive, size_t bytes) {
  const int count = static_cast<int>(bytes);
  const int peer = static_cast<int>(partner);
  MPI_Sendrecv(send, count, MPI_BYTE, peer, 0, receive, count, MPI_BYTE, peer, 0, MPI_COMM_WORLD, MPI_STATUS_IGNORE);
}

void MpiGroup::shift(uint32_t to, const void* send, size_t sendBytes, uint32_t from, void* receive,
                     size_t receiveBytes) {
  const int target = sendBytes != 0 ? static_cast<int>(to) : MPI_PROC_NULL;
  const int source = receiveBytes != 0 ? static_cast<int>(from) : MPI_PROC_NULL;
  MPI_Sendrecv(send, static_cast<int>(sendBytes), MPI_BYTE, target, 1, receive, static_cast<int>(receiveBytes),
               MPI_BYTE, source, 1, MPI_COMM_WORLD, MPI_STATUS_IGNORE);
}
