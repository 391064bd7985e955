// The one value record of the language: a name, a type and a shared payload.
//
// The name decides how a value reads to the user: a result named "temp" is an
// anonymous value of its own, any other name marks a view of the variable of
// that name. Setters rename the record "temp" and give it a fresh payload, so
// a view never writes through to its variable; only assignObject (the `set`
// keyword) changes a variable's value, in place, for every alias at once.
// Payloads are reference-counted, so a view stays valid after its variable
// is gone.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "runtime/sanitizer_build.h"
#include "value/complex.h"
#include "value/matrix.h"

enum class ValueType { None, String, Integer, Double, Complex, Matrix, Vector, System };

// The type name the language prints ("integer", "matrix", ...; empty for None).
const std::string& typeNameOf(ValueType type);

// The payload of one value; the alternative always matches the record's type.
using Payload = std::variant<std::string, int32_t, double, Complex, Matrix, std::vector<double>, std::vector<int32_t>>;

// A shared payload. Values are shared by a variable and the views read from
// it, all on the interpreter's one thread (numeric kernels see matrices,
// never records), so with the GNU library the count is not atomic: a loop
// reads and drops views all the time.
#if defined(__GLIBCXX__)
using PayloadPtr = std::__shared_ptr<Payload, __gnu_cxx::_S_single>;
#else
using PayloadPtr = std::shared_ptr<Payload>;
#endif

struct Object {
  std::string name;
  ValueType type = ValueType::None;
  PayloadPtr payload;

  Object() = default;
  // A named record sharing [payload] (how variables are created).
  Object(std::string name, ValueType type, PayloadPtr payload);

  const std::string& typeName() const { return typeNameOf(type); }
  bool hasPayload() const { return payload != nullptr; }
  // True when the type name is [t] (the test built-ins make before a getter).
  bool is(ValueType t) const { return type == t; }

  // Setters: a fresh payload, the name "temp" and the setter's type.
  void setString(std::string text);
  void setInteger(int32_t value);
  void setDouble(double value);
  void setComplex(double re, double im);
  void setComplex(Complex value);
  // A [rows] × [cols] zero matrix (empty when either is below 1); returns it.
  Matrix& setMatrix(int32_t rows, int32_t cols);
  // Adopts [m] without copying its elements; returns the stored matrix.
  Matrix& setMatrix(Matrix&& m);
  void setVector(std::vector<double> values);
  // A "system" value holding [dimensions] (no setter renames to temp here:
  // systems are only created as variables).
  static Object makeSystem(std::string name, std::vector<int32_t> dimensions);

  // Strict getters: the payload itself when the type matches exactly, else
  // the getter's error message is thrown.
  const std::string& getString() const {
    if (payload && type == ValueType::String) return std::get<std::string>(*payload);
    stringMismatch();
  }
  const int32_t& getInteger() const {
    if (payload && type == ValueType::Integer) return std::get<int32_t>(*payload);
    integerMismatch();
  }
  const double& getDouble() const;
  const Complex& getComplex() const;
  // A column held split (see split_column.h) is made whole first, on every
  // process: every process reads it at the same point of the program.
  const Matrix& getMatrix() const;
  // The matrix as held: a column held split is this process's slice.
  const Matrix& matrixSlice() const;
  const std::vector<int32_t>& getSystem() const;
  // Read access for printing and assignment (type must be Vector).
  const std::vector<double>& vectorValue() const;

  // The getters' errors, thrown out of line.
  [[noreturn]] void stringMismatch() const;
  [[noreturn]] void integerMismatch() const;

  // Drops the payload reference; name and type stay (the shell's reset).
  void dropPayload() { payload.reset(); }
};

// Assigns [source]'s value into [target]'s existing payload (the `set`
// keyword): nothing happens without a source payload or when the types
// differ; a matrix is copied with assignMatrix and may throw its errors.
void assignObject(Object& target, const Object& source);

// Assigns like assignObject, but when [source] is an unshared "temp" matrix
// or vector its contents move into [target]'s payload (so every alias of the
// target sees them) instead of being copied. Returns whether it moved;
// otherwise nothing has happened and assignObject applies.
bool moveIntoObject(Object& target, Object& source);

// Whether freed payload blocks are kept for reuse. Not under
// AddressSanitizer: a block handed out again would hide a use after free of
// the payload it held, exactly the fault shared payloads could bring.
inline constexpr bool kKeepFreedPayloads = !kAddressSanitizerBuild;

// Allocates payload blocks. Blocks freed on a thread are kept there for
// reuse (a few dozen), so the values a loop makes and drops every round do
// not go through the heap each time.
template <typename T>
struct PayloadAllocator {
  using value_type = T;
  PayloadAllocator() = default;
  template <typename U>
  PayloadAllocator(const PayloadAllocator<U>&) {}

  T* allocate(size_t n) {
    Kept& kept = keptBlocks();
    if (n == 1 && kept.count > 0) return static_cast<T*>(kept.blocks[--kept.count]);
    return static_cast<T*>(::operator new(n * sizeof(T)));
  }
  void deallocate(T* p, size_t n) {
    Kept& kept = keptBlocks();
    if (kKeepFreedPayloads && n == 1 && kept.count < Kept::kMax) {
      kept.blocks[kept.count++] = p;
      return;
    }
    ::operator delete(p);
  }
  template <typename U>
  bool operator==(const PayloadAllocator<U>&) const {
    return true;
  }

 private:
  struct Kept {
    static constexpr int kMax = 64;
    void* blocks[kMax];
    int count = 0;
    ~Kept() {
      while (count > 0) ::operator delete(blocks[--count]);
    }
  };
  static Kept& keptBlocks() {
    thread_local Kept kept;
    return kept;
  }
};

// A new payload holding [value], for creating variables.
template <typename T>
PayloadPtr makePayload(T&& value) {
#if defined(__GLIBCXX__)
  return std::__allocate_shared<Payload, __gnu_cxx::_S_single>(PayloadAllocator<Payload>(), std::forward<T>(value));
#else
  return std::allocate_shared<Payload>(PayloadAllocator<Payload>(), std::forward<T>(value));
#endif
}
