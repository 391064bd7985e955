// The numeric side of `is_unitary`.
#pragma once

#include "value/matrix.h"

// Whether A·A† is the identity within 0.0001, entry by entry. Each entry of
// the product is summed exactly as `multiply` would sum it, but formed only
// when needed, so a tall matrix costs no m × m work matrix and the first
// failing entry settles the answer. A break stops it early with no answer:
// the caller raises it.
bool rowsAreOrthonormal(const Matrix& a);
