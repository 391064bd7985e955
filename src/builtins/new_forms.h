// The forms of `new` that live beside what they declare: arrays and their
// elements, spaces, systems and zero matrices.
#pragma once

#include <cstdint>
#include <string>

#include "interp/call.h"

// The element-creation step of `new`: [count] variables of kind [kindWord]
// named [name] (or name.i), after [name].size when [isArray].
void createElements(Call& call, const std::string& kindWord, const std::string& name, int32_t count,
                    bool isArray);

// new space S d: the kets S.ket.k, the bras S.bra.k and S.size.
void newSpace(Call& call, const std::string& name);
// new system Y n S1 ... Sn: the system Y and Y.size.
void newSystem(Call& call, const std::string& name);
// new matrix M r c: a zero matrix M.
void newMatrix(Call& call, const std::string& name);
