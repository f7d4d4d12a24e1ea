#pragma once

// Real-input FFTs of one size through FFTW, planned once. Plans are made under a lock (FFTW's
// planner is not thread-safe); running them is, so each listener owns its buffers.

#include <complex>
#include <cstddef>
#include <vector>

namespace quorlin::transcribe {

class RealFft {
public:
    explicit RealFft(std::size_t size);
    ~RealFft();
    RealFft(const RealFft&) = delete;
    RealFft& operator=(const RealFft&) = delete;

    std::size_t size() const { return m_size; }
    // size() samples in, size() / 2 + 1 bins out.
    void forward(const float* in, std::complex<float>* out);
    // size() / 2 + 1 bins in, size() samples out, scaled by size() as FFTW leaves it.
    void inverse(const std::complex<float>* in, float* out);

private:
    std::size_t m_size;
    float* m_real = nullptr;
    std::complex<float>* m_bins = nullptr;
    void* m_forward = nullptr;
    void* m_inverse = nullptr;
};

} // namespace quorlin::transcribe
