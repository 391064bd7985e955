#include "value/number_text.h"

#include <cstdlib>

int32_t textToInteger(const std::string& text) {
  const long long wide = std::strtoll(text.c_str(), nullptr, 10);
  return static_cast<int32_t>(static_cast<uint32_t>(static_cast<unsigned long long>(wide)));
}

double textToDouble(const std::string& text) { return std::strtod(text.c_str(), nullptr); }
