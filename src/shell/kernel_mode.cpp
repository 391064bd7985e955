#include "shell/kernel_mode.h"

#include <fcntl.h>
#include <signal.h>
#include <time.h>
#include <unistd.h>
#ifdef __linux__
#include <sys/prctl.h>
#endif

#include <cerrno>
#include <cstdint>
#include <filesystem>
#include <iostream>
#include <optional>
#include <streambuf>
#include <string>
#include <string_view>
#include <vector>

#include "builtins/language.h"
#include "extensions/extension.h"
#include "interp/console_io.h"
#include "runtime/file_access.h"
#include "interp/line_continuation.h"
#include "shell/completion.h"
#include "shell/shell.h"
#include "runtime/break_flag.h"
#include "runtime/diagnostics.h"

namespace {

// The version of the framing, announced in the "ready" frame.
constexpr const char* kProtocolVersion = "dovex-kernel 1";
// The longest request accepted (a cell is far smaller).
constexpr size_t kMaxRequestBytes = size_t{64} << 20;
// A block of lines joined by continuation may be as long as a script file.
constexpr size_t kMaxBlockBytes = size_t{256} << 10;
// Output is sent at the latest when this much has collected ...
constexpr size_t kMaxHeldBytes = size_t{64} << 10;
// ... and at the end of a line once this long has passed since the last frame,
// so a long loop shows its lines as they come without a frame per line.
constexpr int64_t kLineFrameMilliseconds = 50;

// The channel the frames go out on: standard output as it was at start.
int channelFd = -1;

// Sends one frame: "KIND LENGTH\n", then LENGTH bytes of payload. A channel
// that cannot be written means the kernel is gone, and so the session ends.
void sendFrame(std::string_view kind, std::string_view payload) {
  std::string frame(kind);
  frame += ' ';
  frame += std::to_string(payload.size());
  frame += '\n';
  frame += payload;
  if (!writeAll(channelFd, frame.data(), frame.size())) _exit(1);
}

int64_t monotonicMilliseconds() {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC_COARSE, &now);
  return int64_t{now.tv_sec} * 1000 + now.tv_nsec / 1000000;
}

// What the session prints, held and sent as "out" and "err" frames. Both
// streams share the holding, so a switch from one to the other sends what
// was held first and the order of the writes survives.
class FramedOutput {
 public:
  void write(const char* kind, const char* data, size_t size) {
    if (kind != kind_) flush();
    kind_ = kind;
    held_.append(data, size);
    if (held_.size() >= kMaxHeldBytes || std::string_view(data, size).find('\n') != std::string_view::npos) {
      flushSoon();
    }
  }
  // Sends what is held once a frame is due (a stream's flush: standard
  // error flushes after every write, which would otherwise cut it into bits).
  void flushSoon() {
    if (held_.size() >= kMaxHeldBytes || monotonicMilliseconds() - lastFrame_ >= kLineFrameMilliseconds) flush();
  }
  void flush() {
    if (!held_.empty()) sendFrame(kind_, held_);
    held_.clear();
    lastFrame_ = monotonicMilliseconds();
  }

 private:
  const char* kind_ = "out";
  std::string held_;
  int64_t lastFrame_ = 0;
};

// A stream buffer that hands what is written to a FramedOutput as [kind].
class FrameBuffer : public std::streambuf {
 public:
  FrameBuffer(FramedOutput& output, const char* kind) : output_(output), kind_(kind) {}

 protected:
  int_type overflow(int_type c) override {
    if (!traits_type::eq_int_type(c, traits_type::eof())) {
      const char ch = traits_type::to_char_type(c);
      output_.write(kind_, &ch, 1);
    }
    return traits_type::not_eof(c);
  }
  std::streamsize xsputn(const char* s, std::streamsize n) override {
    output_.write(kind_, s, static_cast<size_t>(n));
    return n;
  }
  int sync() override {
    output_.flushSoon();
    return 0;
  }

 private:
  FramedOutput& output_;
  const char* kind_;
};

// One request: its kind and payload.
struct Request {
  std::string kind;
  std::string payload;
};

// Reads framed requests from standard input.
class RequestReader {
 public:
  // The next request; nullopt at the end of input or on a malformed frame.
  std::optional<Request> next() {
    std::string header;
    for (char c; header.size() < 64;) {
      if (!readByte(c)) return std::nullopt;
      if (c == '\n') break;
      header += c;
    }
    const size_t space = header.find(' ');
    if (space == std::string::npos || space == 0) return std::nullopt;
    uint64_t length = 0;
    if (space + 1 == header.size()) return std::nullopt;
    for (size_t i = space + 1; i < header.size(); ++i) {
      if (header[i] < '0' || header[i] > '9') return std::nullopt;
      length = length * 10 + static_cast<uint64_t>(header[i] - '0');
      if (length > kMaxRequestBytes) return std::nullopt;
    }
    Request request{header.substr(0, space), std::string()};
    request.payload.reserve(static_cast<size_t>(length));
    for (char c; request.payload.size() < length;) {
      if (!readByte(c)) return std::nullopt;
      request.payload += c;
    }
    return request;
  }

 private:
  bool readByte(char& c) {
    if (at_ == size_) {
      ssize_t got;
      do {
        got = read(STDIN_FILENO, buffer_, sizeof buffer_);
      } while (got < 0 && errno == EINTR);
      if (got <= 0) return false;
      at_ = 0;
      size_ = static_cast<size_t>(got);
    }
    c = buffer_[at_++];
    return true;
  }

  char buffer_[1 << 14];
  size_t at_ = 0;
  size_t size_ = 0;
};

// The session's console: `user.input` asks the kernel for a line, and the
// key test of `while` answers the kernel's interrupt.
class KernelConsole : public ConsoleInput {
 public:
  KernelConsole(RequestReader& requests, FramedOutput& output) : requests_(requests), output_(output) {}

  std::optional<std::string> readLine(const std::string& prompt, size_t maxChars) override {
    output_.flush();
    sendFrame("input", prompt);
    const std::optional<Request> answer = requests_.next();
    if (!answer || answer->kind != "reply") return std::nullopt;
    std::string line = answer->payload.substr(0, answer->payload.find('\n'));
    if (line.size() > maxChars + 1) line.resize(maxChars + 1);
    return line;
  }
  bool keyPressed() override { return breakRequested(); }

 private:
  RequestReader& requests_;
  FramedOutput& output_;
};

FramedOutput* framedOutput = nullptr;

// Tells the kernel of a file written whole (a plot to show): "file" with
// the media type, the absolute path and the content, each of the first two
// on a line of its own.
void announceFile(const WrittenFile& file) {
  if (!framedOutput) return;
  framedOutput->flush();
  std::error_code ec;
  std::string path = std::filesystem::absolute(file.path, ec).string();
  if (ec) path = file.path;
  std::string payload = std::string(file.mediaType) + "\n" + path + "\n";
  payload += file.content;
  sendFrame("file", payload);
}

// Ctrl-C's counterpart: the kernel's interrupt breaks the running line.
void onInterrupt(int) { requestBreak(); }

// One block of a cell: lines joined by continuation, and where each line
// starts in the joined text (for positions in the cell).
struct Block {
  std::string text;
  struct Piece {
    size_t offset;   // where the line starts in [text]
    size_t line;     // its number in the cell, from 1
    size_t dropped;  // indentation left out
  };
  std::vector<Piece> pieces;

  // "LINE:COL" in the cell of byte [offset] of the text.
  std::string place(size_t offset) const {
    const Piece* piece = &pieces.front();
    for (const Piece& p : pieces) {
      if (p.offset <= offset) piece = &p;
    }
    return std::to_string(piece->line) + ":" + std::to_string(offset - piece->offset + piece->dropped + 1);
  }

  // The place in the cell [name] of each character of the text.
  SourceText places(const std::string& name) const {
    SourceText source{name, {}, {}};
    size_t next = 0;  // the piece after the one [at] is in
    for (size_t at = 0; at <= text.size(); ++at) {
      while (next < pieces.size() && pieces[next].offset <= at) ++next;
      const Piece& piece = pieces[next - 1];
      source.add(static_cast<uint32_t>(piece.line), static_cast<uint32_t>(at - piece.offset + piece.dropped + 1));
    }
    return source;
  }
};

// Splits [code] into the blocks the prompt would run: each line alone,
// unless it leaves a bracket open, then joined with the lines after it until
// the brackets balance. Lines of spaces alone outside a block are skipped.
// [open] is left holding a block the code ends inside.
std::vector<Block> splitBlocks(std::string_view code, std::optional<Block>& open) {
  std::vector<Block> blocks;
  size_t lineNumber = 0;
  for (size_t at = 0; at <= code.size();) {
    size_t end = code.find('\n', at);
    if (end == std::string_view::npos) end = code.size();
    std::string_view line = code.substr(at, end - at);
    at = end + 1;
    ++lineNumber;
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (!open) {
      if (line.find_first_not_of(" \t") == std::string_view::npos) continue;
      open = Block{std::string(line), {{0, lineNumber, 0}}};
    } else {
      const size_t indent = std::min(line.find_first_not_of(" \t"), line.size());
      open->pieces.push_back({open->text.size() + 1, lineNumber, indent});
      appendContinuationLine(open->text, line);
    }
    // Shell commands are single lines.
    if (open->text[0] == '!' || !continuesOnNextLine(open->text)) {
      blocks.push_back(std::move(*open));
      open.reset();
    }
  }
  return blocks;
}

// Runs a cell: "run" with the source name on the first line and the code
// after it. Returns false when the session ended.
bool runCell(Interpreter& interp, FramedOutput& output, Object& result, const std::string& payload) {
  const size_t newline = payload.find('\n');
  const std::string source = payload.substr(0, newline);
  const std::string_view code =
      newline == std::string::npos ? std::string_view() : std::string_view(payload).substr(newline + 1);
  // A break asked for before this cell belongs to the one before it.
  clearBreak();
  clearDiagnostics();
  sendFrame("started", "");
  std::optional<Block> open;
  const std::vector<Block> blocks = splitBlocks(code, open);
  bool incomplete = false;
  bool ended = false;
  if (open) {
    incomplete = true;
    const size_t at = bracketBalance(open->text).firstUnclosed;
    std::cerr << source + ":" + open->place(at) + ": this bracket is never closed; nothing in the cell was run\n";
  } else {
    for (const Block& block : blocks) {
      if (breakRequested()) break;
      result.dropPayload();
      const size_t limit = block.pieces.size() > 1 ? kMaxBlockBytes : kMaxLineLength;
      const SourceText places = block.places(source);
      const bool goOn = handleLine(interp, block.text, result, limit, LineOrigin{source, 1, &places});
      output.flush();
      if (!goOn) {
        ended = true;
        break;
      }
    }
  }
  output.flush();
  const auto flag = [](const char* key, bool value) { return std::string(key) + "=" + (value ? "1" : "0") + "\n"; };
  sendFrame("done", flag("diagnostic", diagnosticReported()) + flag("break", breakRequested()) +
                        flag("incomplete", incomplete) + flag("exit", ended));
  return !ended;
}

// "CURSOR\n" followed by the text: the cursor and the text it stands in.
std::pair<size_t, std::string_view> cursorAndText(const std::string& payload) {
  const size_t newline = payload.find('\n');
  if (newline == std::string::npos) return {0, {}};
  size_t cursor = 0;
  for (size_t i = 0; i < newline && payload[i] >= '0' && payload[i] <= '9' && cursor < kMaxRequestBytes; ++i) {
    cursor = cursor * 10 + static_cast<size_t>(payload[i] - '0');
  }
  return {cursor, std::string_view(payload).substr(newline + 1)};
}

void serve(Interpreter& interp, RequestReader& requests, FramedOutput& output) {
  // One result record for the session, as at the prompt.
  Object result;
  while (const std::optional<Request> request = requests.next()) {
    if (request->kind == "run") {
      if (!runCell(interp, output, result, request->payload)) return;
    } else if (request->kind == "complete") {
      const auto [cursor, text] = cursorAndText(request->payload);
      const Completion completion = completeAt(interp, text, cursor);
      std::string payload = std::to_string(completion.start) + " " + std::to_string(completion.end) + "\n";
      for (const std::string& match : completion.matches) payload += match + "\n";
      sendFrame("matches", payload);
    } else if (request->kind == "inspect") {
      const auto [cursor, text] = cursorAndText(request->payload);
      sendFrame("help", inspectAt(interp, text, cursor));
    } else {
      sendFrame("unknown", request->kind);
    }
  }
}

}  // namespace

int runKernelMode() {
  // The frames get a descriptor of their own; standard output becomes a
  // second standard error, so no write to it can ever land among them.
  channelFd = fcntl(STDOUT_FILENO, F_DUPFD_CLOEXEC, 3);
  if (channelFd < 0 || dup2(STDERR_FILENO, STDOUT_FILENO) < 0) {
    std::cerr << "dovex: --kernel needs standard output open\n";
    return 2;
  }
#ifdef __linux__
  // The session ends with the kernel that started it.
  const pid_t parent = getppid();
  prctl(PR_SET_PDEATHSIG, SIGTERM);
  if (getppid() != parent) return 1;
#endif
  struct sigaction action {};
  action.sa_handler = onInterrupt;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  sigaction(SIGINT, &action, nullptr);

  FramedOutput output;
  FrameBuffer outBuffer(output, "out");
  FrameBuffer errBuffer(output, "err");
  std::streambuf* const oldOut = std::cout.rdbuf(&outBuffer);
  std::streambuf* const oldErr = std::cerr.rdbuf(&errBuffer);
  framedOutput = &output;
  const FileWrittenHook oldHook = setFileWrittenHook(announceFile);

  RequestReader requests;
  KernelConsole console(requests, output);
  int status = 0;
  {
    Interpreter interp(languageKeywords(), &console);
    registerExtensions(interp);
    sendFrame("ready", std::string(kProtocolVersion) + "\n" + titleLine());
    try {
      runWithLargeStack([&] { serve(interp, requests, output); });
    } catch (const std::exception& e) {
      output.flush();
      sendFrame("err", std::string("dovex: ") + e.what() + "\n");
      status = 1;
    }
    output.flush();
  }
  setFileWrittenHook(oldHook);
  framedOutput = nullptr;
  std::cout.rdbuf(oldOut);
  std::cerr.rdbuf(oldErr);
  return status;
}
