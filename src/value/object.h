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

#include "value/complex.h"
#include "value/matrix.h"

enum class ValueType { None, String, Integer, Double, Complex, Matrix, Vector, System };

// The type name the language prints ("integer", "matrix", ...; empty for None).
const std::string& typeNameOf(ValueType type);

// The payload of one value; the alternative always matches the record's type.
using Payload = std::variant<std::string, int32_t, double, Complex, Matrix, std::vector<double>, std::vector<int32_t>>;

struct Object {
  std::string name;
  ValueType type = ValueType::None;
  std::shared_ptr<Payload> payload;

  Object() = default;
  // A named record sharing [payload] (how variables are created).
  Object(std::string name, ValueType type, std::shared_ptr<Payload> payload);

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
  std::string& getString() const;
  int32_t& getInteger() const;
  double& getDouble() const;
  Complex& getComplex() const;
  Matrix& getMatrix() const;
  std::vector<int32_t>& getSystem() const;
  // Read access for printing and assignment (type must be Vector).
  const std::vector<double>& vectorValue() const;

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

// A new payload holding [value], for creating variables.
template <typename T>
std::shared_ptr<Payload> makePayload(T&& value) {
  return std::make_shared<Payload>(std::forward<T>(value));
}
