#include "interp/stream_console.h"

std::optional<std::string> StreamConsole::readLine(const std::string& prompt, size_t maxChars) {
  out_ << prompt;
  out_.flush();
  std::string line;
  bool any = false;
  std::streambuf* buffer = in_.rdbuf();
  for (;;) {
    const int c = buffer ? buffer->sbumpc() : std::char_traits<char>::eof();
    if (c == std::char_traits<char>::eof()) {
      in_.setstate(std::ios::eofbit);
      break;
    }
    any = true;
    if (c == '\n') break;
    // Keep one character beyond the limit so the caller can tell the line
    // was too long; the rest is consumed without being stored.
    if (line.size() <= maxChars) line += static_cast<char>(c);
  }
  if (!any) return std::nullopt;
  return line;
}

bool StreamConsole::inputReady() {
  // A file's buffer asks the system how much is waiting; -1 is the end.
  std::streambuf* buffer = in_.rdbuf();
  return !buffer || buffer->in_avail() != 0;
}
