#include "value/complex.h"

#include <cmath>

Complex complexFromAngle(double theta) { return Complex{std::cos(theta), std::sin(theta)}; }

Complex complexPower(Complex z, int32_t n) {
  const double logModulus = std::log(std::sqrt(z.re * z.re + z.im * z.im));
  const double theta = std::atan2(z.im, z.re);
  const double modulus = std::exp(static_cast<double>(n) * logModulus);
  const double phi = static_cast<double>(n) * theta;
  return Complex{modulus * std::cos(phi), modulus * std::sin(phi)};
}
