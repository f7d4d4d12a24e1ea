#include "transcribe/Recording.h"

#include "SoundChecks.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <limits>

namespace quorlin::transcribe {
namespace {

namespace fs = std::filesystem;

class Files : public testing::Test {
protected:
    void SetUp() override
    {
        std::string name = testing::UnitTest::GetInstance()->current_test_info()->name();
        std::replace(name.begin(), name.end(), '/', '-');
        m_dir = fs::path(testing::TempDir()) /
                ("quorlin-recording-" + std::to_string(::getpid()) + "-" + name);
        fs::remove_all(m_dir);
        fs::create_directories(m_dir);
    }
    void TearDown() override { fs::remove_all(m_dir); }

    std::string path(const std::string& name) const { return (m_dir / name).string(); }

    // sox makes the sound: a program of its own, not ours.
    std::string sox(const std::string& name, const std::string& input,
                    const std::string& effects = "") const
    {
        const std::string out = path(name);
        const std::string command = "sox " + input + " '" + out + "' " + effects + " 2>&1";
        EXPECT_EQ(std::system(command.c_str()), 0) << command;
        return out;
    }

    std::string write(const std::string& name, const std::string& bytes) const
    {
        std::ofstream(path(name), std::ios::binary) << bytes;
        return path(name);
    }

private:
    fs::path m_dir;
};

struct Format {
    const char* name;
    std::string options; // sox's for the output
    std::string made;    // the type written: sox's, or "opus" for opusenc
    std::string named;   // the file's name, which need not say its type
    int rate;
    int channels;
    double lengthSlack; // seconds the encoder may add or take
    double levelSlack;  // of the level
};

void PrintTo(const Format& f, std::ostream* out)
{
    *out << f.name;
}

class Formats : public Files, public testing::WithParamInterface<Format> {};

// A 220 Hz sine at half scale in the left channel only, 1.5 s: read back at 8 kHz it has
// its length, its pitch, and half its level once the silent right channel is mixed in.
TEST_P(Formats, ASineReadsBackAtItsPitchLengthAndLevel)
{
    const Format& f = GetParam();
    const std::string made = f.made == "opus" ? "wav" : f.made;
    const std::string sound = sox(
        "made." + made,
        "-n -r " + std::to_string(f.rate) + " -c " + std::to_string(f.channels) + " " + f.options,
        std::string("synth 1.5 sine 220 vol 0.5") + (f.channels == 2 ? " remix 1 0" : ""));
    const std::string file = path(f.named);
    if (f.made == "opus") {
        const std::string command = "opusenc --quiet '" + sound + "' '" + file + "'";
        ASSERT_EQ(std::system(command.c_str()), 0) << command;
    } else {
        fs::rename(sound, file);
    }
    const RecordingReading reading = readRecording(file, {}, {});
    ASSERT_TRUE(reading.ok()) << reading.error;
    const Recording& r = reading.recording;
    EXPECT_EQ(r.fileRate, f.rate);
    EXPECT_EQ(r.fileChannels, f.channels);
    // sox rounds the length to whole frames of the file.
    const double frame = 1.0 / f.rate + 1.0 / kAnalysisRate;
    EXPECT_NEAR(r.samples.size() / double(kAnalysisRate), 1.5, f.lengthSlack + frame);
    EXPECT_NEAR(r.fileSeconds, 1.5, f.lengthSlack + frame);
    const std::size_t from = 2000, to = 10000;
    ASSERT_GT(r.samples.size(), to);
    EXPECT_NEAR(checks::frequency(r.samples, from, to, kAnalysisRate), 220, 0.5);
    const double level = f.channels == 2 ? 0.25 : 0.5;
    EXPECT_NEAR(checks::rms(r.samples, from, to) * std::sqrt(2.0), level, level * f.levelSlack);
    if (f.lengthSlack > 0)
        return;
    // Where nothing is lost, sox's own mix and resampling give the same samples.
    const std::string raw = sox("sox.f32", "'" + file + "' -t f32 -c 1 -r 8000", "");
    std::ifstream in(raw, std::ios::binary);
    std::vector<float> peer(r.samples.size() + 1);
    in.read(reinterpret_cast<char*>(peer.data()), std::streamsize(peer.size() * sizeof(float)));
    // sox rounds a part of a sample at the end down; this reading keeps it.
    peer.resize(static_cast<std::size_t>(in.gcount()) / sizeof(float));
    ASSERT_NEAR(double(peer.size()), double(r.samples.size()), 1.0);
    for (std::size_t i = 200; i + 200 < peer.size(); ++i)
        ASSERT_NEAR(r.samples[i], peer[i], 2e-3) << "at " << i;
}

INSTANTIATE_TEST_SUITE_P(
    Sox, Formats,
    testing::Values(Format{"Wav16At8k", "-b 16", "wav", "a.wav", 8000, 1, 0, 0.01},
                    Format{"Wav24At44k", "-b 24", "wav", "a.wav", 44100, 2, 0, 0.01},
                    Format{"WavFloatAt96k", "-e floating-point -b 32", "wav", "a.wav", 96000, 2, 0,
                           0.01},
                    Format{"Wav16At22k", "-b 16", "wav", "a.wav", 22050, 1, 0, 0.01},
                    Format{"FlacAt48k", "-b 16", "flac", "a.flac", 48000, 2, 0, 0.01},
                    Format{"FlacAt16k", "-b 24", "flac", "a.flac", 16000, 1, 0, 0.01},
                    Format{"OggVorbisAt44k", "", "ogg", "a.ogg", 44100, 2, 0.01, 0.05},
                    Format{"Mp3At44k", "", "mp3", "a.mp3", 44100, 2, 0.06, 0.1},
                    Format{"Mp3At32kMono", "", "mp3", "a.mp3", 32000, 1, 0.06, 0.1},
                    Format{"OpusAt48k", "-b 16", "opus", "a.opus", 48000, 2, 0.03, 0.05},
                    Format{"AiffAt11k", "-b 16", "aiff", "a.aiff", 11025, 1, 0, 0.01},
                    Format{"Mp3NamedWav", "", "mp3", "mislabelled.wav", 44100, 1, 0.06, 0.1},
                    Format{"OggNamedFlac", "", "ogg", "mislabelled.flac", 22050, 1, 0.01, 0.05}),
    [](const testing::TestParamInfo<Format>& info) { return std::string(info.param.name); });

// A WAV file written byte by byte, so that its header can say what it likes.
std::string wavFile(int channels, int rate, int bits, bool isFloat, const std::string& data,
                    std::int64_t dataSize = -1)
{
    const auto le = [](std::uint32_t v, int bytes) {
        std::string s;
        for (int i = 0; i < bytes; ++i)
            s += static_cast<char>(v >> (8 * i) & 0xff);
        return s;
    };
    const std::uint32_t size = dataSize < 0 ? static_cast<std::uint32_t>(data.size())
                                            : static_cast<std::uint32_t>(dataSize);
    const int frameBytes = channels * bits / 8;
    return "RIFF" + le(36 + size, 4) + "WAVEfmt " + le(16, 4) + le(isFloat ? 3 : 1, 2) +
           le(static_cast<std::uint32_t>(channels), 2) + le(static_cast<std::uint32_t>(rate), 4) +
           le(static_cast<std::uint32_t>(std::int64_t{rate} * frameBytes), 4) +
           le(static_cast<std::uint32_t>(frameBytes), 2) + le(static_cast<std::uint32_t>(bits), 2) +
           "data" + le(size, 4) + data;
}

std::string pcm16(const std::vector<float>& samples)
{
    std::string s;
    for (const float v : samples) {
        const auto i = static_cast<std::int16_t>(std::lround(v * 32767));
        s += static_cast<char>(i & 0xff);
        s += static_cast<char>(i >> 8 & 0xff);
    }
    return s;
}

std::string float32(const std::vector<float>& samples)
{
    std::string s(samples.size() * 4, '\0');
    std::memcpy(s.data(), samples.data(), s.size());
    return s;
}

struct BadFile {
    const char* name;
    std::function<std::string()> bytes; // null: a folder
    std::string error;                  // a part of it; empty when it reads
    std::size_t samples = 0;
};

void PrintTo(const BadFile& b, std::ostream* out)
{
    *out << b.name;
}

class BadFiles : public Files, public testing::WithParamInterface<BadFile> {};

TEST_P(BadFiles, EachGivesItsMessageOrItsSound)
{
    const BadFile& b = GetParam();
    std::string file = path("file.wav");
    if (b.bytes)
        write("file.wav", b.bytes());
    else
        fs::create_directory(file);
    const RecordingReading reading = readRecording(file, {}, {});
    if (!b.error.empty()) {
        EXPECT_NE(reading.error.find(b.error), std::string::npos) << reading.error;
        EXPECT_TRUE(reading.recording.samples.empty());
        return;
    }
    ASSERT_EQ(reading.error, "");
    EXPECT_EQ(reading.recording.samples.size(), b.samples);
    for (const float v : reading.recording.samples)
        ASSERT_TRUE(std::isfinite(v));
}

const std::vector<float> kSecond = checks::sine(100, 0.5, 8000, 8000);

std::vector<float> withNonNumbers()
{
    auto s = kSecond;
    s[10] = std::numeric_limits<float>::quiet_NaN();
    s[20] = std::numeric_limits<float>::infinity();
    s[30] = -std::numeric_limits<float>::infinity();
    return s;
}

INSTANTIATE_TEST_SUITE_P(
    Wav, BadFiles,
    testing::Values(
        BadFile{"Empty", [] { return std::string(); }, "is empty"},
        BadFile{"Text", [] { return std::string("0 1 2 3 4 5 6 7 8 9\n", 20); },
                "is not a sound file Quorlin can read"},
        BadFile{"HeaderOnly", [] { return wavFile(1, 8000, 16, false, "").substr(0, 20); },
                "is not a sound file Quorlin can read"},
        BadFile{"Folder", nullptr, "cannot be read: it is a folder"},
        BadFile{"NoFrames", [] { return wavFile(1, 8000, 16, false, ""); }, "holds no sound"},
        BadFile{"OneSample", [] { return wavFile(1, 8000, 16, false, pcm16({0.5f})); }, "", 1},
        BadFile{"Truncated", [] { return wavFile(1, 8000, 16, false, pcm16(kSecond), 16000 * 10); },
                "", 8000},
        BadFile{"TruncatedMidFrame",
                [] { return wavFile(2, 8000, 16, false, pcm16(kSecond) + "\x01", 16000 * 10); }, "",
                4000},
        BadFile{"DataSizeUnknown",
                [] { return wavFile(1, 8000, 16, false, pcm16(kSecond), 0xffffffffLL); }, "", 8000},
        BadFile{"ClaimsTwoBillionFrames",
                [] { return wavFile(1, 8000, 16, false, pcm16(kSecond), 0xfffffff0LL); }, "", 8000},
        BadFile{"RateTooLow", [] { return wavFile(1, 500, 16, false, pcm16(kSecond)); },
                "is sampled at 500 Hz"},
        BadFile{"RateAbsurd", [] { return wavFile(1, 2000000000, 16, false, pcm16(kSecond)); },
                "Hz"},
        BadFile{"ManyChannels", [] { return wavFile(1000, 8000, 16, false, pcm16(kSecond)); }, "",
                8},
        BadFile{"TooManyChannels", [] { return wavFile(5000, 8000, 16, false, pcm16(kSecond)); },
                "is not a sound file Quorlin can read"},
        BadFile{"ZeroChannels", [] { return wavFile(0, 8000, 16, false, pcm16(kSecond)); },
                "is not a sound file Quorlin can read"},
        // Every sample read is checked finite; the decoding's own test says they are silence.
        BadFile{"NaNsAndInfinities",
                [] { return wavFile(1, 8000, 32, true, float32(withNonNumbers())); }, "", 8000}),
    [](const testing::TestParamInfo<BadFile>& info) { return std::string(info.param.name); });

// libsndfile reads these too, but nobody records to them: their parsers stay out of reach.
TEST_F(Files, RareContainersAreNotOpened)
{
    for (const std::string type : {"voc", "paf", "sf", "sds", "xi", "mat5"}) {
        const std::string file = sox("a." + type, "-n -r 8000 -c 1 -b 16", "synth 0.1 sine 220");
        EXPECT_EQ(readRecording(file, {}, {}).error, "is not a sound file Quorlin can read")
            << type;
    }
}

TEST_F(Files, AMissingFileSaysSo)
{
    const RecordingReading reading = readRecording(path("nothing.wav"), {}, {});
    EXPECT_EQ(reading.error, "cannot be read: no such file or directory");
}

// A click one and a half seconds into a 3 s file, read from several starts, from a WAV file
// and from the FLAC sox makes of it.
TEST_F(Files, APartOfAFileStartsAndEndsWhereAsked)
{
    std::vector<float> clicked(3 * 44100, 0.0f);
    clicked[66150] = 0.9f;
    const std::string wav = write("click.wav", wavFile(1, 44100, 16, false, pcm16(clicked)));
    const std::string flac = sox("click.flac", "'" + wav + "'");
    for (const std::string& file : {wav, flac}) {
        for (const auto& [start, end] : {std::pair{0.0, 3.0}, {1.0, 2.0}, {1.4, 2.5}, {0.5, 9.0}}) {
            const RecordingReading reading = readRecording(file, {start, end}, {});
            ASSERT_TRUE(reading.ok()) << reading.error;
            const Recording& r = reading.recording;
            EXPECT_NEAR(r.start, start, 1.0 / 44100);
            EXPECT_EQ(r.samples.size(),
                      std::size_t(std::lround((std::min(end, 3.0) - start) * 8000)))
                << start;
            const double heard =
                r.start + double(checks::loudest(r.samples, 0, r.samples.size())) / kAnalysisRate;
            EXPECT_NEAR(heard, 1.5, 1.0 / kAnalysisRate) << start;
            EXPECT_NEAR(r.fileSeconds, 3.0, 1e-9);
        }
        EXPECT_EQ(readRecording(file, {4.0, {}}, {}).error,
                  "starts at 0:04, after its end at 0:03");
    }
}

} // namespace
} // namespace quorlin::transcribe
