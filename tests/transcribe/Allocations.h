#pragma once

// Every operator new of the test program counted (Allocations.cpp replaces it), to see that a
// long file is never held whole.

#include <cstdint>

namespace quorlin::transcribe::allocations {

// The bytes held now, from which the peak is measured again.
std::int64_t startPeak();
// The most held at once since startPeak.
std::int64_t peak();

} // namespace quorlin::transcribe::allocations
