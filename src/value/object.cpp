#include "value/object.h"

#include <array>

#include "runtime/script_error.h"
#include "value/printer.h"
#include "value/split_column.h"

const std::string& typeNameOf(ValueType type) {
  static const std::array<std::string, 8> names = {"",       "string", "integer", "double",
                                                   "complex", "matrix", "vector",  "system"};
  return names[static_cast<size_t>(type)];
}

Object::Object(std::string name_, ValueType type_, PayloadPtr payload_)
    : name(std::move(name_)), type(type_), payload(std::move(payload_)) {}

namespace {

template <typename T>
void store(Object& o, ValueType type, T&& value) {
  o.payload = makePayload(std::forward<T>(value));
  o.name = "temp";
  o.type = type;
}

// "a double", "an integer": what a getter of [type] expects.
std::string expectedText(ValueType type) {
  switch (type) {
    case ValueType::Integer: return "an integer";
    case ValueType::Complex: return "a complex number";
    case ValueType::System: return "a system";
    default: return "a " + typeNameOf(type);
  }
}

// What [o] holds, in words: "the integer 1", "a 2 x 2 matrix", "nothing".
std::string heldText(const Object& o) {
  if (!o.payload) return "nothing (no value)";
  switch (o.type) {
    case ValueType::String: {
      const std::string& text = std::get<std::string>(*o.payload);
      return "the string '" + (text.size() > 40 ? text.substr(0, 40) + "…" : text) + "'";
    }
    case ValueType::Integer: return "the integer " + std::to_string(std::get<int32_t>(*o.payload));
    case ValueType::Double: return "the double " + formatDouble(std::get<double>(*o.payload));
    case ValueType::Complex: {
      const Complex z = std::get<Complex>(*o.payload);
      return "the complex number " + formatDouble(z.re) + " + " + formatDouble(z.im) + "i";
    }
    case ValueType::Matrix: {
      const Matrix& m = std::get<Matrix>(*o.payload);
      return "a " + std::to_string(m.isSlice() ? m.wholeRows : m.rows) + " x " + std::to_string(m.cols) + " matrix";
    }
    case ValueType::Vector: return "a vector of " + std::to_string(std::get<std::vector<double>>(*o.payload).size());
    case ValueType::System:
      return "a system of " + std::to_string(std::get<std::vector<int32_t>>(*o.payload).size()) + " subsystems";
    default: return "nothing (no value)";
  }
}

[[noreturn]] void mismatch(const Object& o, ValueType type, const char* message) {
  throw ScriptError(message, ScriptError::Mismatch{o.payload.get(), heldText(o), expectedText(type)});
}

template <typename T>
T& fetch(const Object& o, ValueType type, const char* message) {
  if (!o.payload || o.type != type) mismatch(o, type, message);
  return std::get<T>(*o.payload);
}

}  // namespace

void Object::setString(std::string text) { store(*this, ValueType::String, std::move(text)); }
void Object::setInteger(int32_t value) { store(*this, ValueType::Integer, value); }
void Object::setDouble(double value) { store(*this, ValueType::Double, value); }
void Object::setComplex(double re, double im) { store(*this, ValueType::Complex, Complex{re, im}); }
void Object::setComplex(Complex value) { store(*this, ValueType::Complex, value); }

Matrix& Object::setMatrix(int32_t rows, int32_t cols) {
  Matrix m;
  m.setSize(rows, cols);
  return setMatrix(std::move(m));
}

Matrix& Object::setMatrix(Matrix&& m) {
  keepOwnSlice(m);
  store(*this, ValueType::Matrix, std::move(m));
  return std::get<Matrix>(*payload);
}

void Object::setVector(std::vector<double> values) { store(*this, ValueType::Vector, std::move(values)); }

Object Object::makeSystem(std::string name, std::vector<int32_t> dimensions) {
  return Object(std::move(name), ValueType::System, makePayload(std::move(dimensions)));
}

void Object::stringMismatch() const {
  mismatch(*this, ValueType::String, "getString error - type is NULL or not string");
}
void Object::integerMismatch() const { mismatch(*this, ValueType::Integer, "getInteger error - type is NULL or not int"); }
const double& Object::getDouble() const {
  // The double getter's text really does begin "getInteger": scripts and
  // transcripts match on it.
  return fetch<double>(*this, ValueType::Double, "getInteger error - type is NULL or not double");
}
const Complex& Object::getComplex() const {
  return fetch<Complex>(*this, ValueType::Complex, "getComplex error - type is NULL or not complex");
}
const Matrix& Object::getMatrix() const {
  Matrix& m = fetch<Matrix>(*this, ValueType::Matrix, "getMatrix error - type is NULL or not matrix");
  // Readers that know slices take matrixSlice; to every other the value is
  // whole, on every process, from here on.
  gatherWhole(m);
  return m;
}

const Matrix& Object::matrixSlice() const {
  return fetch<Matrix>(*this, ValueType::Matrix, "getMatrix error - type is NULL or not matrix");
}
const std::vector<int32_t>& Object::getSystem() const {
  return fetch<std::vector<int32_t>>(*this, ValueType::System, "getInteger error - type is NULL or not System");
}
const std::vector<double>& Object::vectorValue() const { return std::get<std::vector<double>>(*payload); }

bool moveIntoObject(Object& target, Object& source) {
  if (!source.payload || !target.payload || target.type != source.type) return false;
  if (source.name != "temp" || source.payload.use_count() != 1 || target.payload == source.payload) return false;
  if (target.type == ValueType::Matrix) {
    Matrix& from = std::get<Matrix>(*source.payload);
    if (!from.hasStorage()) return false;  // assignObject reports it
    std::get<Matrix>(*target.payload) = std::move(from);
    return true;
  }
  if (target.type == ValueType::Vector) {
    std::get<std::vector<double>>(*target.payload) = std::move(std::get<std::vector<double>>(*source.payload));
    return true;
  }
  return false;
}

void assignObject(Object& target, const Object& source) {
  if (!source.payload) return;
  if (target.type != source.type) return;
  if (!target.payload) return;  // a typed record without a value has nothing to assign into
  if (target.payload == source.payload) return;
  Payload& to = *target.payload;
  const Payload& from = *source.payload;
  if (target.type == ValueType::Matrix) {
    assignMatrix(std::get<Matrix>(to), std::get<Matrix>(from));
  } else {
    to = from;
  }
}
