#include "transcribe/RecordingDecoder.h"

#include "transcribe/Resampler.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>

namespace quorlin::transcribe {

namespace {

// A float file may hold anything; past this it is a damaged one, and the filter's sums must
// stay finite.
constexpr float kLoudest = 1000.0f;
// Floats read at once, whatever the channel count: the file is never held at its own rate.
constexpr std::int64_t kBlockSamples = std::int64_t{1} << 16;
// Seconds past which a place in a file means nothing (and frames would overflow).
constexpr double kFarthest = 1e9;
constexpr std::int64_t kNoEnd = std::numeric_limits<std::int64_t>::max();

const std::string kTooLong = "is longer than an hour; choose a part of it with a start and an end";
const std::string kNoSound = "holds no sound";

std::int64_t frameAt(double seconds, int rate)
{
    return std::llround(std::min(seconds, kFarthest) * rate);
}

// Outputs at the analysis rate for `frames` input frames: one for each place before the end.
std::int64_t outputsFor(std::int64_t frames, int rate)
{
    if (frames <= 0)
        return 0;
    if (frames > std::numeric_limits<std::int64_t>::max() / kAnalysisRate - rate)
        return std::numeric_limits<std::int64_t>::max() / rate;
    return (frames * kAnalysisRate + rate - 1) / rate;
}

std::string startsAfterEnd(double start, std::int64_t frames, int rate)
{
    std::string said = "starts at " + clockTime(start) + ", after its end";
    if (frames >= 0)
        said += " at " + clockTime(static_cast<double>(frames) / rate);
    return said;
}

// One channel from `frames` interleaved ones, every sample made finite and bounded.
void mixDown(const float* in, std::int64_t frames, int channels, std::vector<float>& mono)
{
    mono.resize(static_cast<std::size_t>(frames));
    const float share = 1.0f / static_cast<float>(channels);
    for (std::int64_t f = 0; f < frames; ++f) {
        float sum = 0;
        for (int c = 0; c < channels; ++c) {
            const float v = in[f * channels + c];
            sum += std::isfinite(v) ? std::clamp(v, -kLoudest, kLoudest) : 0.0f;
        }
        mono[static_cast<std::size_t>(f)] = sum * share;
    }
}

} // namespace

std::string clockTime(double seconds)
{
    const long long tenths = std::llround(std::clamp(seconds, 0.0, kFarthest) * 10);
    const long long minutes = tenths / 600;
    const long long secs = tenths % 600 / 10;
    std::string said =
        std::to_string(minutes) + ":" + (secs < 10 ? "0" : "") + std::to_string(secs);
    if (tenths % 10 != 0)
        said += "." + std::to_string(tenths % 10);
    return said;
}

std::string spanProblem(const Span& span)
{
    if (!(span.start >= 0) || !std::isfinite(span.start))
        return "cannot be read from there: the start must be 0 seconds or later";
    if (!span.end)
        return {};
    if (std::isnan(*span.end) || *span.end <= span.start)
        return "cannot be read from there: the end must come after the start";
    if (*span.end - span.start > kLongestRecording)
        return "cannot be read in one go: choose a part of an hour at most";
    return {};
}

RecordingReading decodeRecording(audio::SoundFileReader& reader, const Span& span,
                                 const Progress& progress)
{
    RecordingReading result;
    const auto refuse = [&result](std::string why) {
        result.recording = {};
        result.error = std::move(why);
        return result;
    };
    const int channels = reader.channels();
    const int rate = reader.rate();
    if (channels < 1)
        return refuse(kNotASoundFile);
    if (rate < kLowestFileRate || rate > kHighestFileRate)
        return refuse("is sampled at " + std::to_string(rate) +
                      " Hz; Quorlin reads recordings of 1,000 to 768,000 Hz");
    if (std::string problem = spanProblem(span); !problem.empty())
        return refuse(problem);

    // libsndfile says the largest count when it cannot tell; a header may say anything.
    const std::int64_t claimed = reader.claimedFrames();
    const bool claimKnown = claimed >= 0 && claimed / rate < kFarthest;
    const std::int64_t startFrame = frameAt(span.start, rate);
    const std::int64_t endFrame = span.end ? frameAt(*span.end, rate) : kNoEnd;
    if (claimKnown && startFrame >= claimed)
        return refuse(claimed == 0 ? kNoSound : startsAfterEnd(span.start, claimed, rate));
    if (!span.end && claimKnown && claimed - startFrame > kLongestRecording * rate)
        return refuse(kTooLong);

    Recording& recording = result.recording;
    recording.fileRate = rate;
    recording.fileChannels = channels;
    recording.start = static_cast<double>(startFrame) / rate;
    // No more than the hour the limit allows, whatever the header says.
    const auto mostOutputs =
        static_cast<std::int64_t>(std::ceil(kLongestRecording * kAnalysisRate));
    if (span.end || claimKnown) {
        const std::int64_t last = std::min(endFrame, claimKnown ? claimed : kNoEnd);
        recording.samples.reserve(
            static_cast<std::size_t>(std::min(outputsFor(last - startFrame, rate), mostOutputs)));
    }

    // The filter reads real sound before the start when there is some.
    const int reach = Resampler::reach(rate, kAnalysisRate);
    const std::int64_t lead = std::min<std::int64_t>(startFrame, reach);
    const std::int64_t from = startFrame - lead;
    const std::int64_t stopAt = endFrame > kNoEnd - reach ? kNoEnd : endFrame + reach;
    std::int64_t position = 0; // the file's frame the next read gives
    const bool sought = from > 0 && reader.seek(from);
    if (sought)
        position = from;
    const double goal = static_cast<double>(span.end ? stopAt : claimKnown ? claimed : 0);

    Resampler resampler(rate, kAnalysisRate, lead);
    const std::int64_t blockFrames = std::max<std::int64_t>(1, kBlockSamples / channels);
    std::vector<float> block(static_cast<std::size_t>(blockFrames * channels));
    std::vector<float> mono;
    std::int64_t decoded = 0;
    bool atEnd = false;
    while (position < stopAt) {
        std::string why;
        const std::int64_t got =
            reader.read(block.data(), std::min(blockFrames, stopAt - position), why);
        if (got <= 0) {
            // A decoder that fails part way gives the sound before the damage.
            if (got < 0 && decoded == 0)
                return refuse("is damaged: no sound could be read from it");
            atEnd = true;
            break;
        }
        decoded += got;
        const std::int64_t skip = std::clamp<std::int64_t>(from - position, 0, got);
        mixDown(block.data() + skip * channels, got - skip, channels, mono);
        resampler.push(mono.data(), mono.size(), recording.samples);
        position += got;
        if (!span.end && static_cast<std::int64_t>(recording.samples.size()) > mostOutputs)
            return refuse(kTooLong);
        if (progress && !progress(goal > 0 ? std::min(1.0, position / goal) : 0.0)) {
            result.recording = {};
            result.cancelled = true;
            return result;
        }
    }

    if (atEnd && position <= startFrame) {
        if (decoded == 0 && startFrame == 0)
            return refuse(kNoSound);
        // After a seek, how far the file goes is known only if something was read.
        return refuse(startsAfterEnd(span.start, sought && decoded == 0 ? -1 : position, rate));
    }
    const std::int64_t end = std::min(endFrame, position);
    const auto total = static_cast<std::size_t>(outputsFor(end - startFrame, rate));
    resampler.finish(total, recording.samples);
    recording.samples.resize(total);
    const std::int64_t fileFrames = atEnd || !claimKnown ? position : std::max(claimed, position);
    recording.fileSeconds = static_cast<double>(fileFrames) / rate;
    if (progress && !progress(1.0)) {
        result.recording = {};
        result.cancelled = true;
    }
    return result;
}

} // namespace quorlin::transcribe
