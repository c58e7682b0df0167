#pragma once
// A file mapped into memory is not a copy: when another program cuts the file short, touching
// a mapped page past its new end raises a bus error, which would end the whole process and
// every unsaved graph with it. A guarded range answers such a fault by mapping zero pages over
// the rest of the range, notes that it happened, and lets the reader go on. Faults outside
// every guarded range go to the handler that was there before (or end the process as usual).
#include <cstddef>

namespace tarvik::detail {

// Guards [begin, begin + size). Returns the guard's slot, or -1 when it cannot be guarded
// (no free slot, no handler): the caller must then not rely on the mapping.
int guardMapping(const void* begin, std::size_t size);

// True once a fault inside the slot's range was answered with zero pages.
bool mappingFaulted(int slot);

// Ends the guard; call it before the range is unmapped.
void unguardMapping(int slot);

}  // namespace tarvik::detail
