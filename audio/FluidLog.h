#pragma once

// Inside audio/ only: FluidSynth's messages are kept for our own one-line errors instead of
// being printed to stderr.

#include <string>

namespace quorlin::audio::detail {

void captureFluidSynthLog();
// The first error FluidSynth, or else a library under it, reported on this thread since the
// last call, then forgotten; empty when none.
std::string takeFluidSynthError();

} // namespace quorlin::audio::detail
