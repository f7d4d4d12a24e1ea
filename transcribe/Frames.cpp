#include "transcribe/Frames.h"

#include "transcribe/Spectrum.h"

#include <algorithm>
#include <cmath>
#include <complex>
#include <numbers>

namespace quorlin::transcribe {

namespace {

constexpr int kYinWindow = 512; // two periods of the lowest note
constexpr int kMaxLag = static_cast<int>(kAnalysisRate / kLowestHz) + 2;
constexpr int kMinLag = static_cast<int>(kAnalysisRate / kHighestHz);
constexpr int kYinSpan = kYinWindow + kMaxLag;
constexpr std::size_t kYinFft = 1024;
constexpr int kSpectrumWindow = 512;
constexpr std::size_t kFluxLag = 3;      // frames: 12 ms
constexpr std::size_t kFluxHistory = 11; // 40 ms back: a B0's period and more
// Attacks are looked for under 2 kHz, where a bass's own sound is.
constexpr std::size_t kFluxBins = 2000 * kSpectrumWindow / kAnalysisRate;
constexpr float kFloorRise = 1.0005f; // a bin's noise floor rises 0.5 dB a second at most
constexpr float kOverFloor = 4;
constexpr float kSmoothing = 0.1f;
constexpr double kYinThreshold = 0.15;
// A dip at twice the period this much deeper means the first dip was the second harmonic.
constexpr double kOctaveBelowRatio = 0.3;
constexpr double kClearlyPeriodic = 0.2;
constexpr int kHighBin = 1200 * kSpectrumWindow / kAnalysisRate;

double decibels(double meanSquare)
{
    return 10 * std::log10(meanSquare + 1e-12);
}

// Copies samples[start, start + n) into out, zeros outside the recording.
void window(const std::vector<float>& samples, long start, int n, float* out)
{
    for (int i = 0; i < n; ++i) {
        const long at = start + i;
        out[i] = at >= 0 && at < static_cast<long>(samples.size()) ? samples[at] : 0.0f;
    }
}

class Listener {
public:
    explicit Listener(const std::vector<float>& samples) :
        m_samples(samples), m_yin(kYinFft), m_spectrum(kSpectrumWindow), m_span(kYinFft, 0.0f),
        m_head(kYinFft, 0.0f), m_spanBins(kYinFft / 2 + 1), m_headBins(kYinFft / 2 + 1),
        m_corr(kYinFft), m_diff(kMaxLag + 2), m_hann(kSpectrumWindow), m_short(kSpectrumWindow),
        m_shortBins(kSpectrumWindow / 2 + 1),
        m_logs(kFluxHistory, std::vector<float>(kSpectrumWindow / 2 + 1, 0.0f)),
        m_floor(kSpectrumWindow / 2 + 1, 0.0f), m_smooth(kSpectrumWindow / 2 + 1, 0.0f)
    {
        for (int i = 0; i < kSpectrumWindow; ++i)
            m_hann[i] = static_cast<float>(
                0.5 - 0.5 * std::cos(2 * std::numbers::pi * (i + 0.5) / kSpectrumWindow));
    }

    Frame frame(std::size_t index)
    {
        Frame f;
        const long centre = static_cast<long>(index) * kHop;
        spectrumAt(centre, index, f);
        if (f.level > -90) {
            pitchAt(centre, f);
            f.lowPartials = partials(f.hz);
        }
        return f;
    }

private:
    void spectrumAt(long centre, std::size_t index, Frame& f)
    {
        window(m_samples, centre - kSpectrumWindow / 2, kSpectrumWindow, m_short.data());
        double square = 0;
        for (int i = 0; i < kSpectrumWindow; ++i) {
            square += double(m_short[i]) * m_short[i];
            m_short[i] *= m_hann[i];
        }
        f.level = static_cast<float>(decibels(square / kSpectrumWindow));
        m_spectrum.forward(m_short.data(), m_shortBins.data());
        std::vector<float>& now = m_logs[index % kFluxHistory];
        double flux = 0;
        double high = 0;
        for (std::size_t k = 0; k < m_shortBins.size(); ++k) {
            const float power = std::norm(m_shortBins[k]);
            // Steady noise is followed from below and taken off, so that its own flicker does
            // not pass for attacks.
            float& smooth = m_smooth[k];
            smooth = index == 0 ? power : smooth + kSmoothing * (power - smooth);
            float& floor = m_floor[k];
            floor = index == 0 || smooth < floor ? smooth : floor * kFloorRise;
            const float above = std::max(0.0f, power - kOverFloor * floor);
            now[k] = k < kFluxBins ? std::log1p(100.0f * std::sqrt(above)) : 0.0f;
            // Against the loudest of the frames a low note's period back, so that its own
            // waveform beating in the window does not rise like an attack. Before the first
            // frame the ring holds silence.
            float before = 0;
            for (std::size_t back = kFluxLag; back < kFluxHistory; ++back)
                before = std::max(before, m_logs[(index + kFluxHistory - back) % kFluxHistory][k]);
            flux += std::max(0.0f, now[k] - before);
            if (static_cast<int>(k) >= kHighBin)
                high += power;
        }
        f.flux = static_cast<float>(flux);
        f.bright = static_cast<float>(decibels(2 * high / (kSpectrumWindow * kSpectrumWindow)));
    }

    void pitchAt(long centre, Frame& f)
    {
        const long start = centre - kYinSpan / 2;
        std::fill(m_span.begin(), m_span.end(), 0.0f);
        std::fill(m_head.begin(), m_head.end(), 0.0f);
        window(m_samples, start, kYinSpan, m_span.data());
        std::copy(m_span.begin(), m_span.begin() + kYinWindow, m_head.begin());
        m_yin.forward(m_head.data(), m_headBins.data());
        m_yin.forward(m_span.data(), m_spanBins.data());
        for (std::size_t k = 0; k < m_spanBins.size(); ++k)
            m_spanBins[k] *= std::conj(m_headBins[k]);
        m_yin.inverse(m_spanBins.data(), m_corr.data());
        const double scale = 1.0 / kYinFft;

        // d(lag) = E(head) + E(shifted) - 2 r(lag), the shifted energy slid along.
        double head = 0;
        for (int j = 0; j < kYinWindow; ++j)
            head += double(m_span[j]) * m_span[j];
        double shifted = head;
        double running = 0;
        m_diff[0] = 1;
        for (int lag = 1; lag <= kMaxLag; ++lag) {
            shifted += double(m_span[lag + kYinWindow - 1]) * m_span[lag + kYinWindow - 1] -
                       double(m_span[lag - 1]) * m_span[lag - 1];
            const double d = std::max(0.0, head + shifted - 2 * m_corr[lag] * scale);
            running += d;
            m_diff[lag] = running > 0 ? d * lag / running : 1;
        }

        // The first dip nearly as deep as the deepest: the normalised difference keeps falling
        // with the lag, so the deepest dip alone is often a multiple of the period.
        int deepest = kMinLag;
        for (int lag = kMinLag; lag < kMaxLag; ++lag)
            if (m_diff[lag] < m_diff[deepest])
                deepest = lag;
        const double enough =
            std::max(kYinThreshold, std::min(2 * m_diff[deepest], m_diff[deepest] + 0.1));
        int best = deepest;
        for (int lag = kMinLag; lag < deepest; ++lag) {
            if (m_diff[lag] < enough && m_diff[lag] <= m_diff[lag - 1] &&
                m_diff[lag] <= m_diff[lag + 1]) {
                best = lag;
                break;
            }
        }
        // The second harmonic of a bass is often stronger than its fundamental: a much deeper
        // dip at twice the lag is the note an octave lower.
        const int twice = deepestNear(2 * best);
        if (twice > 0 && m_diff[best] > kClearlyPeriodic &&
            m_diff[twice] < kOctaveBelowRatio * m_diff[best])
            best = twice;
        f.aperiodicity = static_cast<float>(m_diff[best]);
        double lag = best;
        if (best > 1 && best < kMaxLag) {
            const double a = m_diff[best - 1], b = m_diff[best], c = m_diff[best + 1];
            const double bend = a - 2 * b + c;
            if (bend > 0)
                lag += std::clamp(0.5 * (a - c) / bend, -0.5, 0.5);
        }
        f.hz = static_cast<float>(kAnalysisRate / lag);
    }

    float partials(double hz) const
    {
        const double binHz = double(kAnalysisRate) / kSpectrumWindow;
        double low = 0, all = 0;
        for (int h = 1; h <= 8; ++h) {
            const double bin = h * hz / binHz;
            const auto centre = static_cast<long>(std::lround(bin));
            double power = 0;
            for (long k = centre - 1; k <= centre + 1; ++k)
                if (k >= 0 && k < static_cast<long>(m_shortBins.size()))
                    power += std::norm(m_shortBins[static_cast<std::size_t>(k)]);
            all += power;
            if (h <= 2)
                low += power;
        }
        return all > 0 ? static_cast<float>(low / all) : 1.0f;
    }

    int deepestNear(int lag) const
    {
        if (lag + 2 >= kMaxLag)
            return -1;
        int best = lag - 2;
        for (int l = lag - 2; l <= lag + 2; ++l)
            if (m_diff[l] < m_diff[best])
                best = l;
        return best;
    }

    const std::vector<float>& m_samples;
    RealFft m_yin;
    RealFft m_spectrum;
    std::vector<float> m_span, m_head;
    std::vector<std::complex<float>> m_spanBins, m_headBins;
    std::vector<float> m_corr;
    std::vector<double> m_diff;
    std::vector<float> m_hann, m_short;
    std::vector<std::complex<float>> m_shortBins;
    std::vector<std::vector<float>> m_logs;
    std::vector<float> m_floor;  // each bin's noise power
    std::vector<float> m_smooth; // each bin's power over the last few tens of milliseconds
};

} // namespace

double frameTime(std::size_t frame)
{
    return static_cast<double>(frame) * kFrameSeconds;
}

double midiOf(double hz)
{
    return 69 + 12 * std::log2(hz / 440.0);
}

std::vector<Frame> analyse(const std::vector<float>& samples, const Progress& progress)
{
    const std::size_t count = samples.size() / kHop + 1;
    std::vector<Frame> frames;
    frames.reserve(count);
    Listener listener(samples);
    constexpr std::size_t kReportEvery = 2500; // ten seconds
    for (std::size_t i = 0; i < count; ++i) {
        if (progress && i % kReportEvery == 0 && !progress(double(i) / double(count)))
            break;
        frames.push_back(listener.frame(i));
    }
    return frames;
}

} // namespace quorlin::transcribe
