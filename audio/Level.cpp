#include "audio/Level.h"

#include "audio/Render.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace quorlin::audio {

namespace {

constexpr int kBlock = 4096;
// As long as renderWav lets the last notes ring.
constexpr std::int64_t kRing = 2 * std::int64_t{kSampleRate};
// A tab that is all but silent is not raised past this: it would only be noise made loud.
constexpr float kMaxGain = 100.0f;

} // namespace

void GainedSynth::render(float* left, float* right, int frames)
{
    m_synth.render(left, right, frames);
    for (int i = 0; i < frames; ++i) {
        left[i] *= m_gain;
        right[i] *= m_gain;
    }
}

std::optional<float> peakOf(const score::Performance& performance, Synth& synth,
                            const std::function<bool(double fraction)>& progress)
{
    std::vector<float> left(kBlock), right(kBlock);
    const std::int64_t endTick = std::max(performance.endTick, performance.startTick);
    const double body = static_cast<double>(framesAt(endTick, performance.tempo) -
                                            framesAt(performance.startTick, performance.tempo));
    Scheduler scheduler(synth);
    scheduler.start(performance, performance.startTick);
    float peak = 0.0f;
    const auto measure = [&](int count) {
        for (int i = 0; i < count; ++i)
            peak =
                std::max({peak, std::abs(left[std::size_t(i)]), std::abs(right[std::size_t(i)])});
    };
    for (int blocks = 1; !scheduler.reached(endTick); ++blocks) {
        measure(scheduler.render(performance, left.data(), right.data(), kBlock, endTick));
        if (blocks % 16 == 0 && progress &&
            !progress(static_cast<double>(scheduler.frame()) / (body + kRing))) {
            synth.allNotesOff();
            return std::nullopt;
        }
    }
    // The releases at the end go out here; a ring only fades, but its first moments may
    // still rise as a slow attack completes.
    for (std::int64_t rung = 0; rung < kRing; rung += kBlock) {
        const int count =
            scheduler.render(performance, left.data(), right.data(), kBlock, std::int64_t{1} << 40);
        measure(count);
        if (count == 0)
            break;
    }
    synth.allNotesOff();
    // What the measuring left ringing must not spill into the file.
    for (std::int64_t rung = 0; rung < kRing; rung += kBlock)
        synth.render(left.data(), right.data(), kBlock);
    return peak;
}

bool renderWavAtLevel(const score::Performance& performance, Synth& synth, const std::string& path,
                      const std::function<bool(double fraction)>& progress, std::string& error)
{
    const auto firstHalf = [&progress](double fraction) {
        return !progress || progress(fraction / 2);
    };
    const std::optional<float> peak = peakOf(performance, synth, firstHalf);
    if (!peak) {
        error = "Cancelled";
        return false;
    }
    const float target = static_cast<float>(std::pow(10.0, kExportPeakDb / 20.0));
    GainedSynth gained(synth, *peak > 0.0f ? std::min(target / *peak, kMaxGain) : 1.0f);
    const auto secondHalf = [&progress](double fraction) {
        return !progress || progress(0.5 + fraction / 2);
    };
    return renderWav(performance, gained, path, secondHalf, error);
}

} // namespace quorlin::audio
