// The table each file of keywords ends with, for the language's table to
// gather.
#pragma once

#include "interp/keyword_row.h"

KeywordRows controlKeywords();      // control.cpp
KeywordRows variableKeywords();     // variables.cpp
KeywordRows arithmeticKeywords();   // arithmetic.cpp
KeywordRows mathematicsKeywords();  // scalar_math.cpp
KeywordRows comparisonKeywords();   // comparisons.cpp
KeywordRows arrayKeywords();        // arrays.cpp
KeywordRows consoleKeywords();      // console_io.cpp
KeywordRows scriptKeywords();       // script.cpp
KeywordRows gateKeywords();         // gates.cpp
KeywordRows operatorKeywords();     // operators.cpp
KeywordRows unitarityKeywords();    // unitarity.cpp
KeywordRows measurementKeywords();  // measurement.cpp
