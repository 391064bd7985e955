// How the C library's heap is asked to treat the large arrays that state
// vectors live in.
#pragma once

// Keeps freed element arrays of state vectors up to 24 qubits (256 MiB and
// the allocator's header) on the heap, so the next state of the same size
// reuses them. Without it every state vector of 21 qubits or more is fresh
// memory, faulted in page by page on each new result. Called once at start-up.
void keepLargeArraysOnHeap();
