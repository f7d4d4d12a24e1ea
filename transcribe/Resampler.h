#pragma once

// Sound at any rate brought to another through a Kaiser-windowed sinc low-pass, fed in blocks.
// Our own rather than libsamplerate: a page of code, instrumented with the rest in the fuzz
// build, and one fixed quality suits the one band the analysis hears.

#include <cstddef>
#include <cstdint>
#include <vector>

namespace quorlin::transcribe {

class Resampler {
public:
    // Output n stands at input sample `origin` + n * inRate / outRate, counted from the first
    // sample pushed; before that first sample the input is silence.
    Resampler(int inRate, int outRate, std::int64_t origin = 0);

    // Appends every output whose window the input so far fills.
    void push(const float* samples, std::size_t count, std::vector<float>& out);
    // Appends outputs until `total` were given, taking silence after the last input.
    void finish(std::size_t total, std::vector<float>& out);

    // How many input samples each side of an output's place reach into it.
    static int reach(int inRate, int outRate);
    // Outputs given so far.
    std::size_t produced() const { return m_next; }

private:
    void run(std::vector<float>& out, std::size_t limit);

    int m_in;
    int m_out;
    std::int64_t m_origin;
    int m_half;                  // taps each side of an output's place
    std::int64_t m_phases = 1;   // rows of m_taps
    std::vector<float> m_taps;   // m_phases rows of 2 * m_half
    std::vector<float> m_window; // the input from m_windowStart on
    std::int64_t m_windowStart = 0;
    std::size_t m_next = 0; // the next output's number
};

} // namespace quorlin::transcribe
