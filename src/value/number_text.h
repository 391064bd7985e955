// Decimal conversions of text, as the language's literals, `integer`,
// `double` and `user.input` read numbers.
#pragma once

#include <cstdint>
#include <string>

// The leading decimal integer of [text] (leading white space, optional sign,
// digits up to the first other character; 0 when none). Out-of-range values
// saturate at the 64-bit limits and keep their low 32 bits, so
// "2147483648" gives -2147483648 and "99999999999999999999" gives -1.
int32_t textToInteger(const std::string& text);

// The leading floating-point number of [text] as the C library reads it
// (0.0 when nothing numeric leads the text).
double textToDouble(const std::string& text);
