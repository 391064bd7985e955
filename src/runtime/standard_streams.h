// Standard output and standard error written through buffers that remember
// a failed write, so a run whose output was lost (a full disk, a device
// error) can say so and fail instead of ending as if all had gone well.
#pragma once

#include <iosfwd>
#include <memory>

class CheckedStandardStreams {
 public:
  // From here on std::cout and std::cerr write through buffers of their own
  // (standard error still flushed after every output operation).
  CheckedStandardStreams();
  // Flushes both and gives them back their own buffers.
  ~CheckedStandardStreams();
  CheckedStandardStreams(const CheckedStandardStreams&) = delete;
  CheckedStandardStreams& operator=(const CheckedStandardStreams&) = delete;

  // Flushes both streams and returns the error number of the first write
  // that failed on either since the start, or 0 when all of it was written.
  int flush();

 private:
  class Buffer;
  std::unique_ptr<Buffer> out_;
  std::unique_ptr<Buffer> err_;
  std::streambuf* previousOut_;
  std::streambuf* previousErr_;
};
