#include "transcribe/Resampler.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <numeric>

namespace quorlin::transcribe {

namespace {

// 80 dB down from a quarter of the lower rate's band above its middle: what aliases then
// lands only where the band already rolls off (above 3.4 kHz out of 8 kHz).
constexpr double kStopDecibels = 80;
constexpr double kTransition = 0.15; // of the lower rate, each side of its half
// Rate pairs with no small common measure (44,101 Hz) round the place to this many phases,
// fewer for long filters: the error then stays near the stop band's.
constexpr std::int64_t kMostTableValues = std::int64_t{1} << 20;
constexpr std::int64_t kFewestPhases = 64;

double besselI0(double x)
{
    double sum = 1, term = 1;
    for (int k = 1; k < 60 && term > sum * 1e-17; ++k) {
        term *= (x / (2 * k)) * (x / (2 * k));
        sum += term;
    }
    return sum;
}

} // namespace

int Resampler::reach(int inRate, int outRate)
{
    // Equal rates: the sinc is zero on every other sample, and one tap is the input itself.
    if (inRate == outRate)
        return 1;
    const double width = kTransition * std::min(inRate, outRate) / inRate;
    const double length = (kStopDecibels - 8) / (2.285 * 2 * M_PI * width);
    return std::max(2, static_cast<int>(std::ceil(length / 2)));
}

Resampler::Resampler(int inRate, int outRate, std::int64_t origin) :
    m_in(inRate), m_out(outRate), m_origin(origin), m_half(reach(inRate, outRate))
{
    const double cutoff = 0.5 * std::min(inRate, outRate) / inRate; // cycles per input sample
    const int taps = 2 * m_half;
    const std::int64_t exact = outRate / std::gcd(inRate, outRate);
    m_phases = std::min(exact, std::max(kFewestPhases, kMostTableValues / taps));
    const double beta = 0.1102 * (kStopDecibels - 8.7);
    const double edge = besselI0(beta);
    m_taps.resize(static_cast<std::size_t>(m_phases * taps));
    for (std::int64_t p = 0; p < m_phases; ++p) {
        float* row = &m_taps[static_cast<std::size_t>(p * taps)];
        double sum = 0;
        std::vector<double> values(static_cast<std::size_t>(taps));
        for (int j = 0; j < taps; ++j) {
            // Tap j reads input sample (place - m_half + 1 + j), this far before the place.
            const double d = static_cast<double>(p) / m_phases + m_half - 1 - j;
            const double x = d / m_half;
            const double window =
                std::abs(x) >= 1 ? 0 : besselI0(beta * std::sqrt(1 - x * x)) / edge;
            const double t = 2 * cutoff * d;
            const double sinc = t == 0 ? 1 : std::sin(M_PI * t) / (M_PI * t);
            values[static_cast<std::size_t>(j)] = 2 * cutoff * sinc * window;
            sum += values[static_cast<std::size_t>(j)];
        }
        // Each phase passes a constant exactly, so a DC offset stays put.
        for (int j = 0; j < taps; ++j)
            row[j] = static_cast<float>(values[static_cast<std::size_t>(j)] / sum);
    }
    m_window.assign(static_cast<std::size_t>(m_half), 0.0f);
    m_windowStart = -m_half;
}

void Resampler::push(const float* samples, std::size_t count, std::vector<float>& out)
{
    m_window.insert(m_window.end(), samples, samples + count);
    run(out, SIZE_MAX);
}

void Resampler::finish(std::size_t total, std::vector<float>& out)
{
    while (m_next < total) {
        m_window.insert(m_window.end(), static_cast<std::size_t>(2 * m_half) + 64, 0.0f);
        run(out, total);
    }
}

void Resampler::run(std::vector<float>& out, std::size_t limit)
{
    const int taps = 2 * m_half;
    const std::int64_t available = m_windowStart + static_cast<std::int64_t>(m_window.size());
    while (m_next < limit) {
        const std::int64_t scaled = static_cast<std::int64_t>(m_next) * m_in;
        std::int64_t place = m_origin + scaled / m_out;
        std::int64_t phase = ((scaled % m_out) * m_phases + m_out / 2) / m_out;
        if (phase == m_phases) {
            ++place;
            phase = 0;
        }
        const std::int64_t first = place - m_half + 1;
        if (first + taps > available)
            break;
        const float* x = &m_window[static_cast<std::size_t>(first - m_windowStart)];
        const float* h = &m_taps[static_cast<std::size_t>(phase * taps)];
        // Four sums the compiler can keep in flight at once.
        float a = 0, b = 0, c = 0, d = 0;
        int j = 0;
        for (; j + 4 <= taps; j += 4) {
            a += x[j] * h[j];
            b += x[j + 1] * h[j + 1];
            c += x[j + 2] * h[j + 2];
            d += x[j + 3] * h[j + 3];
        }
        for (; j < taps; ++j)
            a += x[j] * h[j];
        out.push_back((a + b) + (c + d));
        ++m_next;
    }
    // Keep the input from the next output's first tap on.
    const std::int64_t scaled = static_cast<std::int64_t>(m_next) * m_in;
    const std::int64_t keepFrom = m_origin + scaled / m_out - m_half;
    const std::int64_t drop = std::clamp<std::int64_t>(keepFrom - m_windowStart, 0,
                                                       static_cast<std::int64_t>(m_window.size()));
    if (drop > 0) {
        m_window.erase(m_window.begin(), m_window.begin() + drop);
        m_windowStart += drop;
    }
}

} // namespace quorlin::transcribe
