#include "transcribe/Spectrum.h"

#include <fftw3.h>

#include <algorithm>
#include <mutex>
#include <new>

namespace quorlin::transcribe {

namespace {
std::mutex& plannerLock()
{
    static std::mutex lock;
    return lock;
}
} // namespace

RealFft::RealFft(std::size_t size) : m_size(size)
{
    const std::scoped_lock lock(plannerLock());
    m_real = fftwf_alloc_real(size);
    m_bins = reinterpret_cast<std::complex<float>*>(fftwf_alloc_complex(size / 2 + 1));
    if (!m_real || !m_bins)
        throw std::bad_alloc();
    auto* bins = reinterpret_cast<fftwf_complex*>(m_bins);
    const int n = static_cast<int>(size);
    m_forward = fftwf_plan_dft_r2c_1d(n, m_real, bins, FFTW_ESTIMATE);
    m_inverse = fftwf_plan_dft_c2r_1d(n, bins, m_real, FFTW_ESTIMATE);
}

RealFft::~RealFft()
{
    const std::scoped_lock lock(plannerLock());
    fftwf_destroy_plan(static_cast<fftwf_plan>(m_forward));
    fftwf_destroy_plan(static_cast<fftwf_plan>(m_inverse));
    fftwf_free(m_real);
    fftwf_free(m_bins);
}

void RealFft::forward(const float* in, std::complex<float>* out)
{
    std::copy(in, in + m_size, m_real);
    fftwf_execute(static_cast<fftwf_plan>(m_forward));
    std::copy(m_bins, m_bins + m_size / 2 + 1, out);
}

void RealFft::inverse(const std::complex<float>* in, float* out)
{
    // The complex-to-real transform overwrites its input, so it works on our own copy.
    std::copy(in, in + m_size / 2 + 1, m_bins);
    fftwf_execute(static_cast<fftwf_plan>(m_inverse));
    std::copy(m_real, m_real + m_size, out);
}

} // namespace quorlin::transcribe
