#include "transcribe/RecordingDecoder.h"
#include "transcribe/Resampler.h"

#include "SoundChecks.h"

#include <gtest/gtest.h>

#include <functional>
#include <limits>

namespace quorlin::transcribe {
namespace {

using checks::frequency;
using checks::rms;
using checks::sine;

// The filter in blocks of an awkward size, so that its history crosses block edges.
std::vector<float> resample(const std::vector<float>& in, int rate, std::size_t block = 777)
{
    Resampler resampler(rate, kAnalysisRate);
    std::vector<float> out;
    for (std::size_t at = 0; at < in.size(); at += block)
        resampler.push(in.data() + at, std::min(block, in.size() - at), out);
    // One output for each place before the end: ceil(frames * 8000 / rate).
    const std::size_t total = (in.size() * kAnalysisRate + rate - 1) / rate;
    resampler.finish(total, out);
    out.resize(total);
    return out;
}

struct Tone {
    int rate;
    double hertz;
    double lowestGain, highestGain; // of the amplitude, after the filter
};

void PrintTo(const Tone& t, std::ostream* out)
{
    *out << t.hertz << " Hz at " << t.rate << " Hz";
}

class ResamplerTones : public testing::TestWithParam<Tone> {};

// The band a bass and its attack live in passes at its level and pitch; what would fold back
// into it from above half the output rate is gone.
TEST_P(ResamplerTones, KeepsTheBandAndDropsWhatWouldFoldIntoIt)
{
    const Tone t = GetParam();
    const auto in = sine(t.hertz, 0.5, t.rate, static_cast<std::size_t>(t.rate));
    const auto out = resample(in, t.rate);
    ASSERT_EQ(out.size(), std::size_t(kAnalysisRate));
    // The edges, where the filter reads silence past the ends, are left out.
    const double gain = rms(out, 800, 7200) / (0.5 / std::sqrt(2.0));
    EXPECT_GE(gain, t.lowestGain);
    EXPECT_LE(gain, t.highestGain);
    if (t.lowestGain > 0.5) {
        EXPECT_NEAR(frequency(out, 800, 7200, kAnalysisRate), t.hertz, t.hertz * 1e-3);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Rates, ResamplerTones,
    testing::Values(Tone{44100, 41.2, 0.995, 1.005}, Tone{48000, 440, 0.995, 1.005},
                    Tone{96000, 2000, 0.995, 1.005}, Tone{22050, 3000, 0.98, 1.02},
                    Tone{44101, 1000, 0.995, 1.005}, Tone{7999, 1000, 0.995, 1.005},
                    Tone{11025, 98, 0.995, 1.005}, Tone{1000, 100, 0.995, 1.005},
                    Tone{768000, 1000, 0.995, 1.005}, Tone{8000, 1234, 0.9999, 1.0001},
                    // Each of these would come back as a tone below 3.4 kHz at full level.
                    Tone{48000, 6000, 0, 1e-3}, Tone{44100, 4700, 0, 1e-3},
                    Tone{96000, 21000, 0, 1e-3}, Tone{32000, 12345, 0, 1e-3},
                    Tone{44101, 5000, 0, 1e-3}),
    [](const testing::TestParamInfo<Tone>& info) {
        return std::to_string(info.param.rate) + "Hz" +
               std::to_string(static_cast<int>(info.param.hertz * 10));
    });

TEST(Resampler, AnOutputSitsWhereItsTimeSays)
{
    struct Case {
        int rate;
        std::int64_t origin;
        std::int64_t impulse; // input sample
        std::size_t expected; // output sample: (impulse - origin) * 8000 / rate
    };
    for (const Case c :
         {Case{48000, 0, 6000, 1000}, Case{48000, 60, 660, 100}, Case{44100, 0, 44100, 8000},
          Case{16000, 7, 4007, 2000}, Case{8000, 3, 1003, 1000}}) {
        std::vector<float> in(static_cast<std::size_t>(2 * c.rate), 0.0f);
        in[static_cast<std::size_t>(c.impulse)] = 1;
        Resampler resampler(c.rate, kAnalysisRate, c.origin);
        std::vector<float> out;
        resampler.push(in.data(), in.size(), out);
        resampler.finish(12000, out);
        EXPECT_EQ(checks::loudest(out, 0, out.size()), c.expected) << c.rate;
    }
}

TEST(Resampler, BlocksOfAnySizeGiveTheSameSound)
{
    for (int rate : {44100, 8000, 1000, 96000}) {
        const auto in = sine(97, 0.7, rate, static_cast<std::size_t>(rate) / 2 + 13);
        const auto whole = resample(in, rate, in.size());
        for (std::size_t block : {1, 2, 333, 4096})
            EXPECT_EQ(resample(in, rate, block), whole) << rate << " in blocks of " << block;
    }
}

// A decoder that makes its sound up: how many frames it really has, what its header claims,
// whether it seeks, where it fails.
class FakeReader : public audio::SoundFileReader {
public:
    int channelCount = 1;
    int sampleRate = 8000;
    std::int64_t frames = 8000;
    std::int64_t claimed = 8000;
    bool seekable = true;
    std::int64_t failAt = -1;
    std::function<float(std::int64_t frame, int channel)> value = [](std::int64_t f, int) {
        return static_cast<float>(std::sin(f * 0.05));
    };
    std::int64_t readFrames = 0; // how many it was asked to give

    int channels() const override { return channelCount; }
    int rate() const override { return sampleRate; }
    std::int64_t claimedFrames() const override { return claimed; }
    bool seek(std::int64_t frame) override
    {
        if (!seekable || frame > claimed)
            return false;
        m_at = frame;
        return true;
    }
    std::int64_t read(float* out, std::int64_t count, std::string& error) override
    {
        if (failAt >= 0 && m_at >= failAt) {
            error = "broken frame";
            return -1;
        }
        std::int64_t last = std::min(m_at + count, frames);
        if (failAt >= 0)
            last = std::min(last, failAt);
        const std::int64_t got = std::max<std::int64_t>(0, last - m_at);
        for (std::int64_t f = 0; f < got; ++f)
            for (int c = 0; c < channelCount; ++c)
                out[f * channelCount + c] = value(m_at + f, c);
        m_at += got;
        readFrames += got;
        return got;
    }

private:
    std::int64_t m_at = 0;
};

constexpr std::int64_t kUnknown = std::numeric_limits<std::int64_t>::max();
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

struct Decoding {
    const char* name;
    std::function<void(FakeReader&)> setUp;
    Span span;
    std::string error;       // a part of it; empty when the reading succeeds
    std::size_t samples = 0; // when it does
    double fileSeconds = 0;
};

void PrintTo(const Decoding& d, std::ostream* out)
{
    *out << d.name;
}

class Decodings : public testing::TestWithParam<Decoding> {};

TEST_P(Decodings, ReadOrRefusedWithItsReason)
{
    const Decoding& d = GetParam();
    FakeReader reader;
    d.setUp(reader);
    const RecordingReading reading = decodeRecording(reader, d.span, {});
    if (!d.error.empty()) {
        EXPECT_NE(reading.error.find(d.error), std::string::npos) << reading.error;
        EXPECT_TRUE(reading.recording.samples.empty());
        return;
    }
    ASSERT_EQ(reading.error, "");
    const std::vector<float>& samples = reading.recording.samples;
    EXPECT_EQ(samples.size(), d.samples);
    EXPECT_DOUBLE_EQ(reading.recording.fileSeconds, d.fileSeconds);
    // What a header claimed beyond the file is not kept.
    EXPECT_LE(samples.capacity(), 2 * samples.size() + kAnalysisRate);
}

const auto seconds = [](double s) { return static_cast<std::int64_t>(s * 8000); };

INSTANTIATE_TEST_SUITE_P(
    Readers, Decodings,
    testing::Values(
        Decoding{"HeaderClaimsTenTimesMore",
                 [](FakeReader& r) { r.claimed = seconds(10); },
                 {},
                 "",
                 8000,
                 1.0},
        Decoding{
            "HeaderClaimsLess", [](FakeReader& r) { r.frames = seconds(2); }, {}, "", 16000, 2.0},
        Decoding{"NoClaim", [](FakeReader& r) { r.claimed = kUnknown; }, {}, "", 8000, 1.0},
        Decoding{"NegativeClaim", [](FakeReader& r) { r.claimed = -5; }, {}, "", 8000, 1.0},
        Decoding{"PartOfTheRest",
                 [](FakeReader& r) { r.frames = r.claimed = seconds(3); },
                 {0.5, 2.0},
                 "",
                 12000,
                 3.0},
        Decoding{"EndPastTheFile", [](FakeReader&) {}, {0.25, 9.0}, "", 6000, 1.0},
        Decoding{"FailsAtOnce", [](FakeReader& r) { r.failAt = 0; }, {}, "is damaged"},
        Decoding{"FailsHalfWay", [](FakeReader& r) { r.failAt = 4000; }, {}, "", 4000, 0.5},
        Decoding{"NoFrames", [](FakeReader& r) { r.frames = r.claimed = 0; }, {}, "holds no sound"},
        Decoding{"NoFramesClaimedSome", [](FakeReader& r) { r.frames = 0; }, {}, "holds no sound"},
        Decoding{
            "OneFrame", [](FakeReader& r) { r.frames = r.claimed = 1; }, {}, "", 1, 1.0 / 8000},
        Decoding{"OneFrameAt44k",
                 [](FakeReader& r) {
                     r.sampleRate = 44100;
                     r.frames = r.claimed = 1;
                 },
                 {},
                 "",
                 1,
                 1.0 / 44100},
        Decoding{"RateTooLow", [](FakeReader& r) { r.sampleRate = 999; }, {}, "999 Hz"},
        Decoding{"RateTooHigh", [](FakeReader& r) { r.sampleRate = 768001; }, {}, "768001 Hz"},
        Decoding{
            "NoChannels", [](FakeReader& r) { r.channelCount = 0; }, {}, "is not a sound file"},
        Decoding{"StartPastTheClaim",
                 [](FakeReader&) {},
                 {65.0, {}},
                 "starts at 1:05, after its end at 0:01"},
        Decoding{"StartAtTheEnd", [](FakeReader&) {}, {1.0, {}}, "after its end at 0:01"},
        Decoding{"StartPastTheEndUncounted",
                 [](FakeReader& r) {
                     r.claimed = kUnknown;
                     r.seekable = false;
                 },
                 {2.5, {}},
                 "starts at 0:02.5, after its end at 0:01"},
        Decoding{"StartPastTheEndOfALyingHeader",
                 [](FakeReader& r) { r.claimed = seconds(10); },
                 {5.0, {}},
                 "starts at 0:05, after its end"},
        Decoding{"ClaimsOverAnHour",
                 [](FakeReader& r) { r.claimed = seconds(kLongestRecording + 1); },
                 {},
                 "is longer than an hour"},
        Decoding{"LessThanAnHourLeft",
                 [](FakeReader& r) { r.frames = r.claimed = seconds(kLongestRecording + 1); },
                 {kLongestRecording - 10, {}},
                 "",
                 88000,
                 kLongestRecording + 1},
        Decoding{"NegativeStart", [](FakeReader&) {}, {-1.0, {}}, "start must be 0"},
        Decoding{"StartNotANumber", [](FakeReader&) {}, {kNaN, {}}, "start must be 0"},
        Decoding{"EndBeforeStart", [](FakeReader&) {}, {0.5, 0.25}, "end must come after"},
        Decoding{"EndAtStart", [](FakeReader&) {}, {0.5, 0.5}, "end must come after"},
        Decoding{"EndNotANumber", [](FakeReader&) {}, {0.0, kNaN}, "end must come after"},
        Decoding{"PartOverAnHour",
                 [](FakeReader&) {},
                 {10.0, 10.0 + kLongestRecording + 1},
                 "an hour at most"}),
    [](const testing::TestParamInfo<Decoding>& info) { return std::string(info.param.name); });

// An unknown length is found by reading it, and an hour and a bit is refused on the way: the
// whole file is not taken first.
TEST(Decoding, AnUnclaimedRecordingPastAnHourIsStoppedThere)
{
    FakeReader reader;
    reader.claimed = kUnknown;
    reader.frames = seconds(2 * kLongestRecording);
    const RecordingReading reading = decodeRecording(reader, {}, {});
    EXPECT_NE(reading.error.find("is longer than an hour"), std::string::npos);
    EXPECT_LT(reader.readFrames, seconds(kLongestRecording + 10));
}

TEST(Decoding, OnlyThePartAskedForIsRead)
{
    FakeReader reader;
    reader.sampleRate = 48000;
    reader.frames = reader.claimed = 48000 * 600;
    const RecordingReading reading = decodeRecording(reader, {100.0, 101.0}, {});
    ASSERT_TRUE(reading.ok()) << reading.error;
    EXPECT_EQ(reading.recording.samples.size(), 8000u);
    // The part, the filter's reach each side, and a block.
    EXPECT_LT(reader.readFrames, 48000 + 2 * 1000 + 65536);
}

// Seeking, reading up to the start, and not knowing the length at all give the same samples.
TEST(Decoding, ThePartIsTheSameHoweverTheStartIsReached)
{
    const auto read = [](bool seekable, std::int64_t claimed) {
        FakeReader reader;
        reader.sampleRate = 44100;
        reader.frames = 44100 * 3;
        reader.claimed = claimed;
        reader.seekable = seekable;
        reader.value = [](std::int64_t f, int) { return static_cast<float>(std::sin(f * 0.013)); };
        return decodeRecording(reader, {0.7337, 1.9}, {});
    };
    const RecordingReading sought = read(true, 44100 * 3);
    ASSERT_TRUE(sought.ok()) << sought.error;
    EXPECT_EQ(sought.recording.samples.size(), 9331u); // ceil((83790 - 32356) * 8000 / 44100)
    EXPECT_DOUBLE_EQ(sought.recording.start, 32356.0 / 44100);
    for (const auto& other : {read(false, 44100 * 3), read(false, kUnknown), read(true, -1)}) {
        EXPECT_EQ(other.recording.samples, sought.recording.samples);
        EXPECT_DOUBLE_EQ(other.recording.start, sought.recording.start);
    }
}

struct Mix {
    const char* name;
    int channels;
    std::function<float(int channel)> value;
    float expected;
};

void PrintTo(const Mix& m, std::ostream* out)
{
    *out << m.name;
}

class Mixes : public testing::TestWithParam<Mix> {};

// One channel is the average of all, and what is no number is silence.
TEST_P(Mixes, OneChannelIsTheirAverage)
{
    const Mix& m = GetParam();
    FakeReader reader;
    reader.channelCount = m.channels;
    reader.value = [&m](std::int64_t, int c) { return m.value(c); };
    const RecordingReading reading = decodeRecording(reader, {}, {});
    ASSERT_TRUE(reading.ok()) << reading.error;
    ASSERT_EQ(reading.recording.samples.size(), 8000u);
    for (const float v : reading.recording.samples)
        ASSERT_NEAR(v, m.expected, 1e-4);
}

const float kInf = std::numeric_limits<float>::infinity();

INSTANTIATE_TEST_SUITE_P(
    Channels, Mixes,
    testing::Values(Mix{"LeftOnly", 2, [](int c) { return c == 0 ? 0.8f : 0.0f; }, 0.4f},
                    Mix{"ThreeWithANaN", 3,
                        [](int c) { return c == 1   ? float(kNaN)
                                           : c == 0 ? 0.3f
                                                    : 0.6f; }, 0.3f},
                    Mix{"Infinities", 2, [](int c) { return c == 0 ? kInf : -kInf; }, 0.0f},
                    Mix{"ManyChannels", 1024, [](int c) { return c % 2 ? 0.5f : -0.25f; }, 0.125f},
                    Mix{"OddChannelCount", 7, [](int c) { return c == 6 ? 0.7f : 0.0f; }, 0.1f}),
    [](const testing::TestParamInfo<Mix>& info) { return std::string(info.param.name); });

TEST(Decoding, ProgressRisesToOneAndStopsTheReadingWhenRefused)
{
    struct Case {
        std::int64_t claimed;
        Span span;
        double firstAtMost; // the first share told: a block of 65,536 frames of what is read
    };
    for (const Case c :
         {Case{48000 * 20, {}, 0.08}, Case{kUnknown, {}, 0}, Case{48000 * 20, {5.0, 15.0}, 0.15},
          Case{kUnknown, {5.0, 15.0}, 0.15}, Case{48000 * 20, {10.0, {}}, 0.15}}) {
        const auto makeReader = [&c] {
            FakeReader r;
            r.sampleRate = 48000;
            r.frames = 48000 * 20;
            r.claimed = c.claimed;
            return r;
        };
        FakeReader reader = makeReader();
        std::vector<double> told;
        const RecordingReading reading = decodeRecording(reader, c.span, [&](double share) {
            told.push_back(share);
            return true;
        });
        ASSERT_TRUE(reading.ok());
        ASSERT_GT(told.size(), 5u);
        EXPECT_TRUE(std::is_sorted(told.begin(), told.end()));
        EXPECT_GE(told.front(), 0.0);
        EXPECT_LE(told.front(), c.firstAtMost);
        EXPECT_DOUBLE_EQ(told.back(), 1.0);

        FakeReader stopped = makeReader();
        int calls = 0;
        const RecordingReading cancelled =
            decodeRecording(stopped, c.span, [&](double) { return ++calls < 2; });
        EXPECT_TRUE(cancelled.cancelled);
        EXPECT_FALSE(cancelled.ok());
        EXPECT_EQ(cancelled.error, "");
        EXPECT_TRUE(cancelled.recording.samples.empty());
        EXPECT_EQ(calls, 2);
        EXPECT_LE(stopped.readFrames, 2 * 65536);
    }
}

} // namespace
} // namespace quorlin::transcribe
