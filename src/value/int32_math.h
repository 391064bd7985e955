// The language's 32-bit integers wrap modulo 2^32. Every operation is done on
// the unsigned patterns (whose overflow is defined) and converted back, which
// C++20 defines as two's complement; no signed overflow ever happens.
#pragma once

#include <cstdint>

// [a] + [b], wrapping.
inline int32_t wrapAdd(int32_t a, int32_t b) {
  return static_cast<int32_t>(static_cast<uint32_t>(a) + static_cast<uint32_t>(b));
}

// [a] - [b], wrapping.
inline int32_t wrapSub(int32_t a, int32_t b) {
  return static_cast<int32_t>(static_cast<uint32_t>(a) - static_cast<uint32_t>(b));
}

// [a] × [b], wrapping.
inline int32_t wrapMul(int32_t a, int32_t b) {
  return static_cast<int32_t>(static_cast<uint32_t>(a) * static_cast<uint32_t>(b));
}

// -[a], wrapping: the most negative integer maps to itself.
inline int32_t wrapNeg(int32_t a) { return static_cast<int32_t>(0u - static_cast<uint32_t>(a)); }

// [a] ÷ [b] truncated toward zero, for [b] ≠ 0. The one quotient that does not
// fit, -2^31 ÷ -1, wraps to -2^31 instead of trapping.
inline int32_t wrapDiv(int32_t a, int32_t b) { return b == -1 ? wrapNeg(a) : a / b; }

// The remainder of wrapDiv (sign of [a]), for [b] ≠ 0; anything modulo -1 is 0.
inline int32_t wrapRem(int32_t a, int32_t b) { return b == -1 ? 0 : a % b; }
