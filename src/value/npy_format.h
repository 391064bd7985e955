// numpy's .npy file format: a matrix to and from the bytes of such a file.
// Written: version 1.0, complex128, little-endian, the matrix's shape,
// column-major ("fortran_order": True). Read: versions 1.0 to 3.0 (they
// differ only in the width of the header length), complex128, complex64,
// float64, float32 and integer elements of either byte order, one or two
// dimensions in either order; a one-dimensional array is a column. Pure:
// nothing here touches a file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "value/matrix.h"

// --- writing ---

// The magic, version and header of a file holding [m]; the data follows.
// An empty matrix has the shape (0, 0) and no data.
std::string npyHeader(const Matrix& m);
// The same for a matrix of [rows] × [cols] elements.
std::string npyHeader(int32_t rows, int32_t cols);
// Appends the bytes of [count] elements of [m] from element [first], in the
// matrix's own (column-major) order.
void appendNpyData(const Matrix& m, size_t first, size_t count, std::string& out);
// Appends the bytes of the [count] elements at [elements].
void appendNpyElements(const Complex* elements, size_t count, std::string& out);
// The whole file holding [m].
std::string encodeNpy(const Matrix& m);

// --- reading ---

// The kinds of element a file may hold.
enum class NpyElement { Complex, Float, SignedInt, UnsignedInt };

// What a file's header says about its data.
struct NpyLayout {
  NpyElement element = NpyElement::Complex;
  size_t itemBytes = 16;     // bytes per element (a complex one counts both parts)
  bool bigEndian = false;
  bool fortranOrder = false;  // column-major
  int32_t rows = 0;           // the shape as a matrix: (n,) is n x 1
  int32_t cols = 0;
  size_t dataOffset = 0;      // where the data starts

  // Number of elements (0 for an array without any).
  size_t count() const { return static_cast<size_t>(rows) * static_cast<size_t>(cols); }
  // Exactly the number of data bytes the header announces.
  uint64_t dataBytes() const { return uint64_t{count()} * itemBytes; }
};

// Bytes from the start of a file that npyDataOffset needs.
inline constexpr size_t kNpyPreambleBytes = 12;

// Where the data of the file starting with [start] begins (magic, version
// and header length read from its first bytes, at most kNpyPreambleBytes).
// 0, with the reason in [why], when [start] does not begin a .npy file of a
// version that is read.
size_t npyDataOffset(std::string_view start, std::string& why);

// Reads the header: [head] is the file's first npyDataOffset bytes. False,
// with the reason in [why], for anything that is not read: object arrays,
// structured types, other element types, other than 1 or 2 dimensions,
// sizes past kMaxMatrixElements, a malformed header.
bool parseNpyHeader(std::string_view head, NpyLayout& layout, std::string& why);

// Whether [have] data bytes are exactly what [layout] announces; otherwise
// the reason in [why] (a truncated file, or one with bytes to spare).
bool checkNpyDataLength(const NpyLayout& layout, uint64_t have, std::string& why);

// Converts the [count] elements at [bytes] (count × itemBytes bytes), which
// are elements [first] onwards in the file's order, into [m], already
// shaped layout.rows × layout.cols.
void decodeNpyElements(const NpyLayout& layout, const char* bytes, size_t first, size_t count, Matrix& m);

// Reads a whole file held in [file] into [m]: the header, a data length
// exactly as announced (a truncated file or one with bytes to spare is
// refused), then the elements. An array without elements gives the empty
// matrix. False, with [m] untouched and the reason in [why], otherwise.
bool decodeNpy(std::string_view file, Matrix& m, std::string& why);
