// The table each extension command's file ends with, for the registry to
// gather.
#pragma once

#include "interp/keyword_row.h"

KeywordRows showStateCommand();    // show_state.cpp
KeywordRows histogramCommand();    // histogram.cpp
KeywordRows sampleCommand();       // sample.cpp
KeywordRows plotFileCommand();     // plot_file.cpp
KeywordRows applyQubitsCommand();  // apply_qubits.cpp
KeywordRows npyFileCommands();     // npy_files.cpp: save_npy, load_npy
KeywordRows runQasmCommand();      // run_qasm.cpp
