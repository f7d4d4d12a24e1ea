#pragma once

// Inside audio/ only: FluidSynth's messages are kept for our own one-line errors instead of
// being printed to stderr.

#include <string>

namespace quorlin::audio::detail {

void captureFluidSynthLog();
// The last error FluidSynth reported on this thread, then forgotten; empty when none.
std::string takeFluidSynthError();

} // namespace quorlin::audio::detail
