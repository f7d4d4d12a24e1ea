// The analysis heard on sounds made here from their recipe: plucked tones of known pitch and
// time, glides, chords and noise. What each holds comes from how it was made, never from the
// analysis itself.

#include "transcribe/Transcriber.h"
#include "transcribe/BeatGrid.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <random>
#include <string>
#include <vector>

using namespace quorlin::transcribe;
namespace model = quorlin::model;

namespace {

constexpr double kRate = kAnalysisRate;

double hzOf(double key)
{
    return 440 * std::pow(2.0, (key - 69) / 12);
}

struct Pluck {
    double at = 0;     // seconds
    double length = 0; // seconds until let go
    int key = 40;
    // Where the pitch goes without a new attack, and how long it takes to get there.
    int toKey = 0;
    double toAt = 0;
    double glide = 0;
};

// Harmonic amplitudes: a round bass tone, and one whose second harmonic outweighs the first.
const std::vector<double> kRound = {1, 0.5, 0.33, 0.25, 0.2, 0.16};
const std::vector<double> kWeakFundamental = {0.35, 1, 0.6, 0.3, 0.2, 0.1};

// A plucked string: a 3 ms rise, a slow ring-down, a 20 ms fall when let go.
std::vector<float> render(const std::vector<Pluck>& plucks, double seconds,
                          const std::vector<double>& harmonics = kRound, double gain = 0.3)
{
    std::vector<float> out(static_cast<std::size_t>(seconds * kRate), 0.0f);
    for (const Pluck& p : plucks) {
        double phase = 0;
        const auto from = static_cast<std::size_t>(p.at * kRate);
        const auto to =
            std::min(out.size(), static_cast<std::size_t>((p.at + p.length + 0.1) * kRate));
        for (std::size_t i = from; i < to; ++i) {
            const double t = double(i) / kRate - p.at;
            double key = p.key;
            if (p.toKey) {
                const double into = (t - (p.toAt - p.at)) / std::max(p.glide, 1e-9);
                key = p.key + (p.toKey - p.key) * std::clamp(into, 0.0, 1.0);
            }
            phase += 2 * std::numbers::pi * hzOf(key) / kRate;
            double envelope = std::min(1.0, t / 0.003) * std::exp(-t / 1.5);
            if (t > p.length)
                envelope *= std::exp(-(t - p.length) / 0.02);
            double v = 0;
            for (std::size_t h = 0; h < harmonics.size(); ++h)
                v += harmonics[h] * std::sin(double(h + 1) * phase);
            out[i] += static_cast<float>(gain * envelope * v);
        }
    }
    return out;
}

// A room: the sound with its echoes, a tail of noise dying away by 60 dB in `decay` seconds,
// as loud in all as the sound itself.
std::vector<float> inARoom(const std::vector<float>& dry, double decay = 0.8)
{
    std::mt19937 noise(7);
    std::normal_distribution<double> tap;
    std::vector<double> tail(static_cast<std::size_t>(decay * kRate));
    double energy = 0;
    for (std::size_t i = 0; i < tail.size(); ++i) {
        tail[i] = tap(noise) * std::pow(10.0, -3.0 * double(i) / double(tail.size()));
        energy += tail[i] * tail[i];
    }
    std::vector<float> wet(dry.size() + tail.size(), 0.0f);
    for (std::size_t i = 0; i < dry.size(); ++i) {
        wet[i] += dry[i];
        if (dry[i] == 0)
            continue;
        // Early echoes from 10 ms on.
        const double scale = dry[i] / std::sqrt(energy);
        for (std::size_t j = 80; j < tail.size(); ++j)
            wet[i + j] += static_cast<float>(scale * tail[j]);
    }
    return wet;
}

Transcription hear(const std::vector<float>& samples, std::optional<double> tempo = {})
{
    Recording r;
    r.samples = samples;
    TranscribeOptions options;
    options.tempo = tempo;
    options.openPitches = {43, 38, 33, 28, 23};
    return transcribe(r, options, {});
}

// Each made note heard once, at its time (within 25 ms) and on its key.
void expectNotes(const Transcription& heard, const std::vector<Pluck>& made,
                 const std::string& what)
{
    ASSERT_EQ(heard.notes.size(), made.size()) << what << ": " << heard.noBassLine;
    // The song has the heard notes, each on a place of its own.
    const auto& song = heard.song.tracks.at(0).notes;
    ASSERT_EQ(song.size(), made.size()) << what;
    for (std::size_t i = 1; i < song.size(); ++i)
        EXPECT_LT(std::pair(song[i - 1].bar, song[i - 1].start),
                  std::pair(song[i].bar, song[i].start))
            << what << " note " << i;
    for (std::size_t i = 0; i < made.size(); ++i) {
        EXPECT_EQ(heard.notes[i].pitch, made[i].key) << what << " note " << i;
        EXPECT_NEAR(heard.notes[i].onset, made[i].at, 0.025) << what << " note " << i;
    }
}

} // namespace

TEST(Transcriber, HearsEveryPitchOfTheNeckOnEitherTone)
{
    // B0 to G4, each tone alone and with a second harmonic stronger than its fundamental.
    for (const int key : {23, 26, 28, 31, 33, 36, 40, 43, 47, 52, 55, 60, 64, 67}) {
        for (const auto* tone : {&kRound, &kWeakFundamental}) {
            const std::vector<Pluck> made = {{0.2, 0.8, key}};
            expectNotes(hear(render(made, 1.4, *tone)), made,
                        "key " + std::to_string(key) + (tone == &kRound ? "" : " weak"));
        }
    }
}

TEST(Transcriber, SeparatesRepeatedLeapingAndQuietNotes)
{
    struct Case {
        const char* name;
        std::vector<Pluck> plucks;
        bool room = false;
    };
    const std::vector<Pluck> sixteenths = {{0.1, 0.107, 31},   {0.207, 0.107, 33},
                                           {0.314, 0.107, 35}, {0.421, 0.107, 36},
                                           {0.528, 0.107, 38}, {0.635, 0.107, 36}};
    const std::vector<Case> cases = {
        {"one key repeated, legato",
         {{0.1, 0.25, 33}, {0.35, 0.25, 33}, {0.6, 0.25, 33}, {0.85, 0.25, 33}}},
        // The room rings on through the moment the string is struck again.
        {"one key repeated in a room",
         {{0.1, 0.25, 28}, {0.35, 0.25, 28}, {0.6, 0.25, 33}, {0.85, 0.25, 33}, {1.1, 0.5, 33}},
         true},
        {"octave leaps", {{0.1, 0.2, 28}, {0.3, 0.2, 40}, {0.5, 0.2, 28}, {0.7, 0.2, 40}}},
        {"sixteenths at 140", sixteenths},
        {"rests between", {{0.1, 0.3, 45}, {0.8, 0.3, 40}, {1.6, 0.3, 35}}},
        {"low B and high G", {{0.1, 0.5, 23}, {0.6, 0.5, 67}, {1.1, 0.5, 24}}},
    };
    for (const Case& c : cases) {
        const double end = c.plucks.back().at + c.plucks.back().length + 0.5;
        const std::vector<float> dry = render(c.plucks, end);
        expectNotes(hear(c.room ? inARoom(dry) : dry), c.plucks, c.name);
    }
}

// Above the highest string's last fret (G4 on a bass tuned E1 to G2) a pitch is written an
// octave down and doubted, so that the tab has every note heard.
TEST(Transcriber, NotesAboveTheNeckComeDownAnOctave)
{
    struct Case {
        std::vector<int> open;
        int key;
        int written;
    };
    for (const Case& c : {Case{{43, 38, 33, 28}, 67, 67}, Case{{43, 38, 33, 28}, 68, 56},
                          Case{{43, 38, 33, 28, 23}, 68, 56}, Case{{38, 33, 28, 23}, 63, 51}}) {
        Recording r;
        r.samples = render({{0.2, 0.8, c.key}}, 1.4);
        TranscribeOptions options;
        options.openPitches = c.open;
        const Transcription heard = transcribe(r, options, {});
        const std::string what = "key " + std::to_string(c.key);
        ASSERT_EQ(heard.notes.size(), 1u) << what << ": " << heard.noBassLine;
        EXPECT_EQ(heard.notes[0].pitch, c.written) << what;
        EXPECT_EQ(heard.notes[0].doubt, c.written == c.key ? "" : "octave") << what;
        EXPECT_EQ(quorlin::files::songToTab(heard.song, 0, {}).tab.notes, 1) << what;
    }
}

TEST(Transcriber, ANewPitchWithoutAnAttackIsAHammerOnPullOffOrSlide)
{
    struct Case {
        const char* name;
        Pluck pluck;
        model::Technique technique;
    };
    const std::vector<Case> cases = {
        {"hammer-on", {0.1, 0.6, 33, 35, 0.4, 0}, model::Technique::HammerOn},
        {"pull-off", {0.1, 0.6, 38, 36, 0.4, 0}, model::Technique::PullOff},
        {"slide up", {0.1, 0.6, 33, 38, 0.4, 0.08}, model::Technique::SlideUp},
        {"slide down", {0.1, 0.6, 45, 40, 0.4, 0.08}, model::Technique::SlideDown},
    };
    for (const Case& c : cases) {
        const Transcription heard = hear(render({c.pluck}, 1.2));
        ASSERT_EQ(heard.notes.size(), 2u) << c.name;
        EXPECT_EQ(heard.notes[0].pitch, c.pluck.key) << c.name;
        EXPECT_EQ(heard.notes[1].pitch, c.pluck.toKey) << c.name;
        EXPECT_EQ(heard.notes[0].technique, model::Technique::Plain) << c.name;
        EXPECT_EQ(heard.notes[1].technique, c.technique) << c.name;
        EXPECT_NEAR(heard.notes[1].onset, c.pluck.toAt + c.pluck.glide / 2, 0.04) << c.name;
    }
}

TEST(Transcriber, SaysWhyThereIsNoBassLine)
{
    std::mt19937 random(7);
    std::normal_distribution<float> noise(0, 0.1f);
    std::vector<float> hiss(8000 * 3);
    for (float& s : hiss)
        s = noise(random);
    // C major in the fourth octave, struck and held four times: the period the three share is
    // a C two octaves down that nothing plays.
    std::vector<Pluck> triads;
    for (int i = 0; i < 6; ++i)
        for (const int key : {60, 64, 67})
            triads.push_back({0.1 + 0.5 * i, 0.4, key});
    struct Case {
        const char* name;
        std::vector<float> samples;
        const char* says;
    };
    const std::vector<Case> cases = {
        {"empty", {}, "silent"},
        {"digital silence", std::vector<float>(8000 * 2, 0.0f), "silent"},
        {"a hiss under the floor", std::vector<float>(8000 * 2, 1e-5f), "silent"},
        {"white noise", hiss, "clear pitch"},
        {"chords", render(triads, 3.5, {1, 0.3}), "chords"},
        {"one chord", render({{0.1, 1.5, 60}, {0.1, 1.5, 64}, {0.1, 1.5, 67}}, 2, {1, 0.3}),
         "chords"},
    };
    for (const Case& c : cases) {
        const Transcription heard = hear(c.samples);
        EXPECT_NE(heard.noBassLine.find(c.says), std::string::npos)
            << c.name << ": \"" << heard.noBassLine << "\"";
        EXPECT_TRUE(heard.notes.empty()) << c.name;
    }
}
