#include "value/npy_format.h"

#include <bit>
#include <cstring>
#include <optional>
#include <vector>

namespace {

constexpr char kMagic[] = "\x93NUMPY";
constexpr size_t kMagicBytes = 6;
// numpy aligns the data to this many bytes; the header is padded to it.
constexpr size_t kAlignment = 64;

constexpr bool kHostBigEndian = std::endian::native == std::endian::big;

uint16_t swapBytes(uint16_t v) { return __builtin_bswap16(v); }
uint32_t swapBytes(uint32_t v) { return __builtin_bswap32(v); }
uint64_t swapBytes(uint64_t v) { return __builtin_bswap64(v); }

// An unsigned integer of sizeof(U) bytes at [p], stored [bigEndian].
template <typename U>
U loadBits(const char* p, bool bigEndian) {
  U v;
  std::memcpy(&v, p, sizeof v);
  return bigEndian != kHostBigEndian ? swapBytes(v) : v;
}

void appendLittleEndian(std::string& out, double value) {
  uint64_t bits = std::bit_cast<uint64_t>(value);
  if (kHostBigEndian) bits = swapBytes(bits);
  char bytes[8];
  std::memcpy(bytes, &bits, sizeof bytes);
  out.append(bytes, sizeof bytes);
}

// The header's Python literal, read as far as .npy headers use it: a dict of
// strings, True/False and tuples of integers.
class HeaderReader {
 public:
  explicit HeaderReader(std::string_view text) : t_(text) {}

  bool read(NpyLayout& layout, std::string& why) {
    std::optional<std::string> descr;
    std::optional<bool> fortran;
    std::optional<std::vector<uint64_t>> shape;
    skipSpace();
    if (!take('{')) return malformed(why);
    for (;;) {
      skipSpace();
      if (take('}')) break;
      std::string key;
      if (!readString(key)) return malformed(why);
      skipSpace();
      if (!take(':')) return malformed(why);
      skipSpace();
      if (key == "descr" && !descr) {
        if (peek() == '[') {
          why = "structured types are not read";
          return false;
        }
        std::string value;
        if (!readString(value)) return malformed(why);
        descr = value;
      } else if (key == "fortran_order" && !fortran) {
        if (takeWord("True")) {
          fortran = true;
        } else if (takeWord("False")) {
          fortran = false;
        } else {
          return malformed(why);
        }
      } else if (key == "shape" && !shape) {
        std::vector<uint64_t> dims;
        if (!readShape(dims)) return malformed(why);
        shape = dims;
      } else {
        return malformed(why);
      }
      skipSpace();
      if (take(',')) continue;
      skipSpace();
      if (take('}')) break;
      return malformed(why);
    }
    skipSpace();
    if (at_ != t_.size() || !descr || !fortran || !shape) return malformed(why);
    layout.fortranOrder = *fortran;
    return readDescr(*descr, layout, why) && readDims(*shape, layout, why);
  }

 private:
  static bool malformed(std::string& why) {
    why = "malformed header";
    return false;
  }
  char peek() const { return at_ < t_.size() ? t_[at_] : '\0'; }
  bool take(char c) {
    if (peek() != c) return false;
    ++at_;
    return true;
  }
  bool takeWord(std::string_view word) {
    if (t_.substr(at_, word.size()) != word) return false;
    at_ += word.size();
    return true;
  }
  void skipSpace() {
    while (at_ < t_.size() && (t_[at_] == ' ' || t_[at_] == '\n' || t_[at_] == '\t' || t_[at_] == '\r')) ++at_;
  }
  // A quoted string without escapes ('...' or "...").
  bool readString(std::string& out) {
    const char quote = peek();
    if (quote != '\'' && quote != '"') return false;
    const size_t end = t_.find(quote, at_ + 1);
    if (end == std::string_view::npos) return false;
    out.assign(t_.substr(at_ + 1, end - at_ - 1));
    if (out.find('\\') != std::string::npos) return false;
    at_ = end + 1;
    return true;
  }
  // "(", integers separated by commas (a trailing one allowed), ")".
  bool readShape(std::vector<uint64_t>& dims) {
    if (!take('(')) return false;
    for (;;) {
      skipSpace();
      if (take(')')) return true;
      if (peek() < '0' || peek() > '9') return false;
      uint64_t n = 0;
      while (peek() >= '0' && peek() <= '9') {
        const uint64_t digit = static_cast<uint64_t>(peek() - '0');
        n = n > (UINT64_MAX - digit) / 10 ? UINT64_MAX : n * 10 + digit;  // saturates: refused as too large
        ++at_;
      }
      take('L');  // written by Python 2
      dims.push_back(n);
      skipSpace();
      if (take(',')) continue;
      skipSpace();
      if (take(')')) return true;
      return false;
    }
  }

  static bool readDescr(const std::string& descr, NpyLayout& layout, std::string& why) {
    std::string_view d = descr;
    bool big = kHostBigEndian;
    if (!d.empty() && (d[0] == '<' || d[0] == '>' || d[0] == '|' || d[0] == '=')) {
      if (d[0] == '<') big = false;
      if (d[0] == '>') big = true;
      d.remove_prefix(1);
    }
    if (!d.empty() && d[0] == 'O') {
      why = "object arrays are not read (reading them would mean unpickling)";
      return false;
    }
    if (!d.empty() && d[0] == 'V') {
      why = "structured types are not read";
      return false;
    }
    const std::string_view kind = d.substr(0, 1);
    const std::string_view size = d.substr(kind.size());
    struct Known {
      std::string_view kind, size;
      NpyElement element;
      size_t bytes;
    };
    static constexpr Known kKnown[] = {
        {"c", "16", NpyElement::Complex, 16},    {"c", "8", NpyElement::Complex, 8},
        {"f", "8", NpyElement::Float, 8},        {"f", "4", NpyElement::Float, 4},
        {"i", "1", NpyElement::SignedInt, 1},    {"i", "2", NpyElement::SignedInt, 2},
        {"i", "4", NpyElement::SignedInt, 4},    {"i", "8", NpyElement::SignedInt, 8},
        {"u", "1", NpyElement::UnsignedInt, 1},  {"u", "2", NpyElement::UnsignedInt, 2},
        {"u", "4", NpyElement::UnsignedInt, 4},  {"u", "8", NpyElement::UnsignedInt, 8},
    };
    for (const Known& k : kKnown) {
      if (k.kind == kind && k.size == size) {
        layout.element = k.element;
        layout.itemBytes = k.bytes;
        layout.bigEndian = big;
        return true;
      }
    }
    why = "element type '" + descr + "' is not read (complex128, complex64, float64, float32 and integers are)";
    return false;
  }

  static bool readDims(const std::vector<uint64_t>& shape, NpyLayout& layout, std::string& why) {
    if (shape.empty() || shape.size() > 2) {
      why = std::to_string(shape.size()) + " dimensions (1 or 2 are read)";
      return false;
    }
    const uint64_t rows = shape[0];
    const uint64_t cols = shape.size() == 2 ? shape[1] : 1;
    if (rows == 0 || cols == 0) {
      layout.rows = layout.cols = 0;  // no elements: the empty matrix
      return true;
    }
    const uint64_t budget = static_cast<uint64_t>(kMaxMatrixElements);
    if (rows > budget || cols > budget || rows * cols > budget) {
      why = "more elements than a matrix may hold (" + std::to_string(budget) + ")";
      return false;
    }
    layout.rows = static_cast<int32_t>(rows);
    layout.cols = static_cast<int32_t>(cols);
    return true;
  }

  std::string_view t_;
  size_t at_ = 0;
};

// Element [i] of the file at [p] as a complex number.
Complex decodeElement(const NpyLayout& layout, const char* p) {
  const bool big = layout.bigEndian;
  switch (layout.element) {
    case NpyElement::Complex:
      if (layout.itemBytes == 16) {
        return {std::bit_cast<double>(loadBits<uint64_t>(p, big)), std::bit_cast<double>(loadBits<uint64_t>(p + 8, big))};
      }
      return {std::bit_cast<float>(loadBits<uint32_t>(p, big)), std::bit_cast<float>(loadBits<uint32_t>(p + 4, big))};
    case NpyElement::Float:
      if (layout.itemBytes == 8) return {std::bit_cast<double>(loadBits<uint64_t>(p, big)), 0.0};
      return {std::bit_cast<float>(loadBits<uint32_t>(p, big)), 0.0};
    case NpyElement::SignedInt:
      switch (layout.itemBytes) {
        case 1: return {static_cast<double>(static_cast<int8_t>(*p)), 0.0};
        case 2: return {static_cast<double>(static_cast<int16_t>(loadBits<uint16_t>(p, big))), 0.0};
        case 4: return {static_cast<double>(static_cast<int32_t>(loadBits<uint32_t>(p, big))), 0.0};
        default: return {static_cast<double>(static_cast<int64_t>(loadBits<uint64_t>(p, big))), 0.0};
      }
    case NpyElement::UnsignedInt:
      switch (layout.itemBytes) {
        case 1: return {static_cast<double>(static_cast<uint8_t>(*p)), 0.0};
        case 2: return {static_cast<double>(loadBits<uint16_t>(p, big)), 0.0};
        case 4: return {static_cast<double>(loadBits<uint32_t>(p, big)), 0.0};
        default: return {static_cast<double>(loadBits<uint64_t>(p, big)), 0.0};
      }
  }
  return {};
}

}  // namespace

std::string npyHeader(const Matrix& m) { return npyHeader(m.rows, m.cols); }

std::string npyHeader(int32_t rows, int32_t cols) {
  std::string dict = "{'descr': '<c16', 'fortran_order': True, 'shape': (" + std::to_string(rows) + ", " +
                     std::to_string(cols) + "), }";
  // Spaces, then a line end, so that the data starts on the alignment.
  const size_t preamble = kMagicBytes + 2 + 2;
  const size_t total = (preamble + dict.size() + 1 + kAlignment - 1) / kAlignment * kAlignment;
  dict.append(total - preamble - dict.size() - 1, ' ');
  dict += '\n';
  std::string out(kMagic, kMagicBytes);
  out += '\x01';
  out += '\x00';
  out += static_cast<char>(dict.size() & 0xff);
  out += static_cast<char>(dict.size() >> 8);
  return out + dict;
}

void appendNpyData(const Matrix& m, size_t first, size_t count, std::string& out) {
  appendNpyElements(m.data.data() + first, count, out);
}

void appendNpyElements(const Complex* elements, size_t count, std::string& out) {
  out.reserve(out.size() + count * 16);
  for (size_t i = 0; i < count; ++i) {
    appendLittleEndian(out, elements[i].re);
    appendLittleEndian(out, elements[i].im);
  }
}

std::string encodeNpy(const Matrix& m) {
  std::string out = npyHeader(m);
  appendNpyData(m, 0, m.data.size(), out);
  return out;
}

size_t npyDataOffset(std::string_view start, std::string& why) {
  if (start.size() < kMagicBytes || start.substr(0, kMagicBytes) != std::string_view(kMagic, kMagicBytes)) {
    why = start.size() < kMagicBytes ? "truncated: too short for a .npy file" : "not a .npy file";
    return 0;
  }
  if (start.size() < kMagicBytes + 2) {
    why = "truncated: too short for a .npy file";
    return 0;
  }
  const int major = static_cast<unsigned char>(start[kMagicBytes]);
  const int minor = static_cast<unsigned char>(start[kMagicBytes + 1]);
  if (major < 1 || major > 3 || minor != 0) {
    why = ".npy version " + std::to_string(major) + "." + std::to_string(minor) + " is not read";
    return 0;
  }
  const size_t lengthBytes = major == 1 ? 2 : 4;
  const size_t preamble = kMagicBytes + 2 + lengthBytes;
  if (start.size() < preamble) {
    why = "truncated: too short for a .npy file";
    return 0;
  }
  uint64_t length = 0;
  for (size_t k = 0; k < lengthBytes; ++k) {
    length |= uint64_t{static_cast<unsigned char>(start[kMagicBytes + 2 + k])} << (8 * k);
  }
  return preamble + static_cast<size_t>(length);
}

bool parseNpyHeader(std::string_view head, NpyLayout& layout, std::string& why) {
  const size_t offset = npyDataOffset(head.substr(0, kNpyPreambleBytes), why);
  if (offset == 0) return false;
  if (head.size() < offset) {
    why = "truncated: the header is cut short";
    return false;
  }
  const size_t preamble = head[kMagicBytes] == '\x01' ? kMagicBytes + 4 : kMagicBytes + 6;
  NpyLayout read;
  read.dataOffset = offset;
  if (!HeaderReader(head.substr(preamble, offset - preamble)).read(read, why)) return false;
  layout = read;
  return true;
}

void decodeNpyElements(const NpyLayout& layout, const char* bytes, size_t first, size_t count, Matrix& m) {
  const size_t rows = static_cast<size_t>(layout.rows);
  const size_t cols = static_cast<size_t>(layout.cols);
  for (size_t k = 0; k < count; ++k) {
    const size_t i = first + k;
    // Row-major files list each row in turn; the matrix keeps columns.
    const size_t at = layout.fortranOrder ? i : (i / cols) + (i % cols) * rows;
    m.data[at] = decodeElement(layout, bytes + k * layout.itemBytes);
  }
}

bool checkNpyDataLength(const NpyLayout& layout, uint64_t have, std::string& why) {
  if (have == layout.dataBytes()) return true;
  why = (have < layout.dataBytes() ? "truncated: " : "the header does not match the data: ") + std::to_string(have) +
        " bytes of data where the header announces " + std::to_string(layout.dataBytes());
  return false;
}

bool decodeNpy(std::string_view file, Matrix& m, std::string& why) {
  NpyLayout layout;
  if (!parseNpyHeader(file, layout, why)) return false;
  if (!checkNpyDataLength(layout, file.size() - layout.dataOffset, why)) return false;
  Matrix read;
  if (layout.count() > 0) {
    read.setSizeForOverwrite(layout.rows, layout.cols);
    decodeNpyElements(layout, file.data() + layout.dataOffset, 0, layout.count(), read);
  }
  m = std::move(read);
  return true;
}
