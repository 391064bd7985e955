// Measurement.
#include "quantum/quantum.h"

void builtinMeasureQbit(Call&) {}
void builtinMeasure(Call&) {}
void builtinPartialMeasure(Call&) {}
void builtinMeasureDistribution(Call&) {}
