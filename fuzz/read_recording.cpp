// A sound file from anywhere, decoded as the sound module decodes it (libsndfile over the
// bytes in memory), then mixed and brought to 8 kHz. It is read or refused with a reason;
// what is read is no longer than the part asked for, every sample finite and bounded, and it
// starts where the part does.

#include "audio/SoundFile.h"
#include "fuzz/FuzzInput.h"
#include "transcribe/RecordingDecoder.h"

#include <cmath>

using namespace quorlin;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 1)
        return 0;
    // The first byte picks the part: a start of 0 to 0.75 s and a length of 0.25 to 4 s, so
    // that each input stays quick and seeking is tried.
    const double start = (data[0] & 15) * 0.05;
    const double length = 0.25 * (1 + (data[0] >> 4));
    std::string why;
    const auto reader = audio::module::openSoundBytes(data + 1, size - 1, why);
    if (!reader) {
        QUORLIN_REQUIRE(!why.empty());
        return 0;
    }
    int told = 0;
    double last = 0;
    const transcribe::RecordingReading reading =
        transcribe::decodeRecording(*reader, {start, start + length}, [&](double share) {
            QUORLIN_REQUIRE(share >= last && share <= 1);
            last = share;
            ++told;
            return true;
        });
    const transcribe::Recording& r = reading.recording;
    QUORLIN_REQUIRE(!reading.cancelled);
    if (!reading.ok()) {
        QUORLIN_REQUIRE(r.samples.empty());
        return 0;
    }
    QUORLIN_REQUIRE(told > 0 && last == 1);
    QUORLIN_REQUIRE(r.fileRate >= transcribe::kLowestFileRate &&
                    r.fileRate <= transcribe::kHighestFileRate && r.fileChannels >= 1);
    QUORLIN_REQUIRE(!r.samples.empty());
    // The part's ends each fall on the nearest frame of the file.
    QUORLIN_REQUIRE(r.samples.size() <=
                    std::ceil((length + 1.0 / r.fileRate) * transcribe::kAnalysisRate) + 1);
    QUORLIN_REQUIRE(std::abs(r.start - start) <= 0.5 / r.fileRate);
    QUORLIN_REQUIRE(r.fileSeconds > r.start);
    // Samples are held within a thousand times full scale; the filter's overshoot stays
    // under twice that.
    for (const float v : r.samples)
        QUORLIN_REQUIRE(std::isfinite(v) && std::abs(v) <= 2000);
    return 0;
}
