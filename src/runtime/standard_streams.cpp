#include "runtime/standard_streams.h"

#include <unistd.h>

#include <cerrno>
#include <iostream>
#include <streambuf>
#include <vector>

#include "runtime/file_access.h"

// An output buffer over a file descriptor. The first failed write is kept
// (its error number) and everything after it is refused, so the stream
// goes bad and stays bad.
class CheckedStandardStreams::Buffer : public std::streambuf {
 public:
  Buffer(int fd, size_t size) : fd_(fd), space_(size) { setp(space_.data(), space_.data() + space_.size()); }
  int error() const { return error_; }

 protected:
  int_type overflow(int_type c) override {
    if (!drain()) return traits_type::eof();
    if (!traits_type::eq_int_type(c, traits_type::eof())) {
      *pptr() = traits_type::to_char_type(c);
      pbump(1);
    }
    return traits_type::not_eof(c);
  }
  int sync() override { return drain() ? 0 : -1; }

 private:
  // Writes out what the buffer holds and empties it.
  bool drain() {
    const char* start = pbase();
    const size_t held = static_cast<size_t>(pptr() - start);
    setp(space_.data(), space_.data() + space_.size());
    if (error_ != 0) return false;
    if (held == 0) return true;
    errno = 0;
    if (writeAll(fd_, start, held)) return true;
    error_ = errno != 0 ? errno : EIO;
    return false;
  }

  int fd_;
  std::vector<char> space_;
  int error_ = 0;
};

CheckedStandardStreams::CheckedStandardStreams()
    : out_(std::make_unique<Buffer>(STDOUT_FILENO, size_t{1} << 16)),
      err_(std::make_unique<Buffer>(STDERR_FILENO, size_t{1} << 12)),
      previousOut_(std::cout.rdbuf(out_.get())),
      previousErr_(std::cerr.rdbuf(err_.get())) {}

CheckedStandardStreams::~CheckedStandardStreams() {
  flush();
  std::cout.rdbuf(previousOut_);
  std::cerr.rdbuf(previousErr_);
}

int CheckedStandardStreams::flush() {
  out_->pubsync();
  err_->pubsync();
  return out_->error() != 0 ? out_->error() : err_->error();
}
