#include "audio/AudioOutput.h"
#include "audio/Level.h"
#include "audio/Player.h"
#include "audio/Render.h"
#include "audio/SoundModule.h"
#include "audio/Synth.h"

#include <gtest/gtest.h>
#include <pthread.h>
#include <sched.h>
#include <signal.h>
#include <sndfile.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <mutex>
#include <set>
#include <sstream>
#include <thread>
#include <vector>

namespace quorlin::audio {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using score::Event;
using score::Performance;
using K = score::EventKind;

const std::string kFont = "/usr/share/sounds/sf2/FluidR3_GM.sf2";

Event ev(std::int64_t tick, K kind, int channel, int number, int value = 100)
{
    return {tick, kind, std::uint8_t(channel), std::uint8_t(number), std::uint8_t(value)};
}

// Written out on its own: frames = tick * 60 * 44100 / (tempo * 480).
std::int64_t expectedFrame(std::int64_t tick, int tempo)
{
    return tick * 60 * 44100 / (std::int64_t{tempo} * 480);
}

Performance performance(int tempo, std::int64_t endTick, std::vector<Event> events)
{
    return {tempo, std::move(events), 0, endTick};
}

// Records each event at its frame, and sounds a constant while a note is on so that the WAV
// writer has something to wait for. Locked: the player sends from its own thread.
class FakeSynth : public Synth {
public:
    struct Sent {
        std::int64_t frame;
        Event event;
    };
    void send(const Event& e) override
    {
        std::lock_guard lock(m_mutex);
        m_sent.push_back({frames, e});
        if (e.kind == K::NoteOn || e.kind == K::NoteOff)
            m_on = e.kind == K::NoteOn && e.value > 0;
    }
    void allNotesOff() override { m_on = false; }
    void render(float* left, float* right, int n) override
    {
        std::fill(left, left + n, m_on ? 0.25f : 0.0f);
        std::fill(right, right + n, m_on ? -0.25f : 0.0f);
        frames += n;
    }
    std::vector<Sent> sent() const
    {
        std::lock_guard lock(m_mutex);
        return m_sent;
    }
    std::atomic<std::int64_t> frames = 0;

private:
    mutable std::mutex m_mutex;
    std::vector<Sent> m_sent;
    std::atomic<bool> m_on = false;
};

// Renders `frames` frames at once, or to the end in blocks of `block` when 0.
void renderFor(Scheduler& s, const Performance& p, int block, std::int64_t frames = 0)
{
    std::vector<float> left(std::max<std::int64_t>(block, frames)), right(left.size());
    if (frames > 0)
        s.render(p, left.data(), right.data(), int(frames), p.endTick);
    while (frames == 0 && !s.reached(p.endTick))
        s.render(p, left.data(), right.data(), block, p.endTick);
}

TEST(Scheduler, SwitchingGoesOnFromTheSameTickAtTheNewTempoAndReleasesWhatWouldRing)
{
    // Switched at tick 496 (a whole frame at both tempos) while a note rings from 0 to 960 at 100
    // bpm: the new performance's notes from there are heard at its tempo, after the old note's
    // release if it needs one. Tick 4001 falls within a frame: the frame it starts in.
    const std::tuple<const char*, int, std::vector<Event>, bool> cases[] = {
        {"kept at twice the tempo",
         200,
         {ev(0, K::NoteOn, 0, 40), ev(960, K::NoteOff, 0, 40), ev(4001, K::NoteOn, 0, 45)},
         false},
        {"removed", 100, {}, true},
        {"struck again", 100, {ev(704, K::NoteOn, 0, 40), ev(960, K::NoteOff, 0, 40)}, true},
        {"another channel ends", 100, {ev(960, K::NoteOff, 1, 40)}, true},
    };
    for (const auto& [name, tempo, events, released] : cases) {
        SCOPED_TRACE(name);
        const Performance a =
            performance(100, 4800, {ev(0, K::NoteOn, 0, 40), ev(960, K::NoteOff, 0, 40)});
        FakeSynth synth;
        Scheduler scheduler(synth);
        scheduler.start(a, 0);
        const auto at = expectedFrame(496, 100);
        renderFor(scheduler, a, 0, at);
        const Performance b = performance(tempo, 4800, events);
        scheduler.switchTo(b);
        renderFor(scheduler, b, 5000);
        std::vector<std::tuple<std::int64_t, K, int, int>> expected, heard;
        if (released)
            expected.emplace_back(0, K::NoteOff, 0, 40);
        for (const Event& e : events) {
            if (e.tick >= 496)
                expected.emplace_back(expectedFrame(e.tick - 496, tempo), e.kind, e.channel,
                                      e.number);
        }
        for (const auto& [frame, e] : synth.sent())
            heard.emplace_back(frame - at, e.kind, e.channel, e.number);
        heard.erase(heard.begin()); // the old note struck at 0
        EXPECT_EQ(heard, expected);
    }
}

struct TempDir {
    fs::path path = fs::temp_directory_path() /
                    ("quorlin-audio-" + std::to_string(::getpid()) + "-" + std::to_string(count++));
    TempDir() { fs::create_directories(path); }
    ~TempDir() { fs::remove_all(path); }
    std::vector<fs::path> files() const
    {
        return {fs::directory_iterator(path), fs::directory_iterator()};
    }
    static inline int count = 0;
};

// From the second beat, 24 s long: the program before it is sent, the note before it is not.
Performance oneNote()
{
    Performance p =
        performance(100, 480 * 41,
                    {ev(0, K::Program, 0, 33), ev(0, K::NoteOn, 0, 30), ev(480, K::NoteOff, 0, 30),
                     ev(480, K::NoteOn, 0, 33), ev(480 * 41, K::NoteOff, 0, 33)});
    p.startTick = 480;
    return p;
}

// A WAV file's samples, left and right in turn.
std::vector<float> readWav(const fs::path& path, SF_INFO& info)
{
    SNDFILE* file = sf_open(path.c_str(), SFM_READ, &info);
    std::vector<float> samples(std::size_t(file ? info.frames * info.channels : 0));
    if (file) {
        sf_readf_float(file, samples.data(), info.frames);
        sf_close(file);
    }
    return samples;
}

TEST(RenderWav, AppearsWholeOrNotAtAll)
{
    // In a temporary folder; "old": a file of that name was there before; the error's start.
    const std::tuple<const char*, bool, std::string, bool, std::string> cases[] = {
        {"written over an old file", false, "out.wav", true, ""},
        {"cancelled", true, "out.wav", false, "Cancelled"},
        {"cancelled over an old file", true, "out.wav", true, "Cancelled"},
        {"no such folder", false, "missing/out.wav", false,
         "Cannot write {dir}/missing/out.wav: No such file or directory"},
        {"a folder in the way", false, "folder", false, "Cannot write {dir}/folder: "},
    };
    for (const auto& [name, cancel, file, old, message] : cases) {
        SCOPED_TRACE(name);
        TempDir dir;
        const auto path = dir.path / file;
        if (old)
            std::ofstream(path) << "old";
        if (file == "folder")
            fs::create_directory(path);
        const auto before = dir.files();
        FakeSynth synth;
        std::string error, text, expected = message;
        if (auto at = expected.find("{dir}"); at != std::string::npos)
            expected.replace(at, 5, dir.path.string());
        std::vector<double> fractions;
        const auto progress = [&](double f) {
            fractions.push_back(f);
            return !cancel || fractions.size() < 2;
        };
        EXPECT_EQ(renderWav(oneNote(), synth, path.string(), progress, error), message.empty());
        EXPECT_EQ(error.substr(0, expected.size()), expected);
        EXPECT_EQ(error.find('\n'), std::string::npos);
        EXPECT_EQ(dir.files(), before); // no temporary file left beside it
        if (!message.empty()) {
            EXPECT_TRUE(!old || (std::ifstream(path) >> text && text == "old"));
            continue;
        }
        SF_INFO info{};
        const auto wav = readWav(path, info);
        EXPECT_EQ(std::tuple(info.samplerate, info.channels, info.format),
                  std::tuple(44100, 2, SF_FORMAT_WAV | SF_FORMAT_PCM_16));
        // The note to its end, then a short tail that stops once the sound has died.
        const auto body = expectedFrame(480 * 40, 100);
        ASSERT_GE(info.frames, body);
        EXPECT_LT(info.frames, body + 44100);
        EXPECT_NEAR(wav[2 * 1000], 0.25, 1e-3);
        EXPECT_NEAR(wav[2 * body - 1], -0.25, 1e-3); // right
        EXPECT_EQ(wav[2 * (body + 10)], 0.0f);
        EXPECT_TRUE(std::is_sorted(fractions.begin(), fractions.end()));
        EXPECT_EQ(fractions.back(), 1.0);
        const auto sent = synth.sent();
        EXPECT_EQ(std::tuple(sent.front().frame, sent.front().event.kind),
                  std::tuple(0, K::Program));
        EXPECT_TRUE(std::none_of(sent.begin(), sent.end(), [](auto& s) {
            return s.event.kind == K::NoteOn && s.event.number == 30;
        }));
    }
}

// A synthesiser whose every note sounds at one amplitude, rising over its first 100 frames.
class SteadySynth : public Synth {
public:
    explicit SteadySynth(float amplitude) : m_amplitude(amplitude) {}
    void send(const Event& e) override
    {
        if (e.kind == K::NoteOn || e.kind == K::NoteOff)
            m_on = e.kind == K::NoteOn && e.value > 0;
        if (m_on)
            m_age = 0;
    }
    void allNotesOff() override { m_on = false; }
    void render(float* left, float* right, int n) override
    {
        for (int i = 0; i < n; ++i, ++m_age)
            left[i] = right[i] = m_on ? m_amplitude * std::min(1.0f, m_age / 100.0f) : 0.0f;
    }

private:
    float m_amplitude;
    bool m_on = false;
    int m_age = 0;
};

TEST(RenderWavAtLevel, EveryTabPeaksAtTheSameLoudLevelAndEitherPassCancels)
{
    // The sound's own peak, and the progress past which it cancels (2: none).
    const std::tuple<const char*, float, double> cases[] = {
        {"quiet", 0.02f, 2},
        {"loud", 0.6f, 2},
        {"too loud", 3.0f, 2},
        {"cancelled measuring", 0.3f, 0.1},
        {"cancelled writing", 0.3f, 0.6},
    };
    std::vector<double> peaks;
    for (const auto& [name, amplitude, cancelAt] : cases) {
        SCOPED_TRACE(name);
        TempDir dir;
        const auto path = dir.path / "out.wav";
        SteadySynth synth(amplitude);
        std::vector<double> fractions;
        const auto progress = [&, cancelAt = cancelAt](double f) {
            fractions.push_back(f);
            return f <= cancelAt;
        };
        std::string error;
        const bool written = renderWavAtLevel(oneNote(), synth, path.string(), progress, error);
        EXPECT_TRUE(std::is_sorted(fractions.begin(), fractions.end()));
        if (cancelAt < 1) {
            EXPECT_FALSE(written);
            EXPECT_EQ(error, "Cancelled");
            EXPECT_TRUE(dir.files().empty());
            EXPECT_EQ(fractions.back() < 0.5, cancelAt < 0.5);
            continue;
        }
        ASSERT_TRUE(written) << error;
        EXPECT_EQ(fractions.back(), 1.0);
        SF_INFO info{};
        const auto wav = readWav(path, info);
        float peak = 0.0f;
        for (float sample : wav)
            peak = std::max(peak, std::abs(sample));
        const double db = 20 * std::log10(peak);
        EXPECT_GE(db, -3.0);
        EXPECT_LE(db, -1.0);
        peaks.push_back(db);
    }
    ASSERT_EQ(peaks.size(), 3u);
    EXPECT_NEAR(peaks[0], peaks[1], 0.1);
    EXPECT_NEAR(peaks[2], peaks[1], 0.1);
}

// The first sample from `from` louder than a hundredth (-40 dB) of the next half second's peak:
// the finger bass swells in over some 20 ms, so a higher mark would come late.
std::int64_t onsetAfter(const std::vector<float>& samples, std::int64_t from)
{
    const std::int64_t end = std::min<std::int64_t>(from + 22050, samples.size());
    float peak = 0.0f;
    for (std::int64_t i = from; i < end; ++i)
        peak = std::max(peak, std::abs(samples[i]));
    while (from < end && std::abs(samples[from]) <= peak / 100)
        ++from;
    return from;
}

// By autocorrelation, the shortest period nearly as good as the best, so that neither a
// strong second harmonic nor the period's multiples are taken for the fundamental.
double fundamental(const std::vector<float>& samples, std::int64_t from, std::int64_t length)
{
    const int minLag = 44100 / 200, maxLag = 44100 / 30;
    std::vector<double> r(maxLag + 1, 0.0);
    for (int lag = minLag; lag <= maxLag; ++lag) {
        double sum = 0, a = 0, b = 0;
        for (std::int64_t i = from; i < from + length; ++i) {
            sum += samples[i] * samples[i + lag];
            a += samples[i] * samples[i];
            b += samples[i + lag] * samples[i + lag];
        }
        r[lag] = sum / std::sqrt(a * b + 1e-20);
    }
    const double best = *std::max_element(r.begin() + minLag, r.end());
    for (int lag = minLag + 1; lag < maxLag; ++lag) {
        if (r[lag] > 0.9 * best && r[lag] >= r[lag - 1] && r[lag] >= r[lag + 1])
            return 44100.0 / lag;
    }
    return 0.0;
}

TEST(FluidSynthFont, RefusesWhatIsNotOneListsTheInstalledOnesOnceAndPlaysInTune)
{
    TempDir dir;
    const auto text = dir.path / "notes.sf2";
    std::ofstream(text) << "not a sound font\n";
    for (const auto& path :
         {(dir.path / "missing.sf2").string(), text.string(), dir.path.string()}) {
        std::string error;
        EXPECT_EQ(makeFluidSynth(path, error), nullptr);
        EXPECT_NE(error.find(path), std::string::npos) << path;
        EXPECT_EQ(error.find('\n'), std::string::npos) << path;
    }

    if (!fs::exists(kFont))
        GTEST_SKIP() << kFont << " is not installed (fluid-soundfont-gm)";
    const auto fonts = installedSoundFonts();
    ASSERT_FALSE(fonts.empty());
    const auto first = fs::path(fonts.front()).filename().string();
    EXPECT_TRUE(first.starts_with("FluidR3_GM") || first.starts_with("default-GM")) << first;
    std::vector<fs::path> real;
    for (const auto& f : fonts)
        real.push_back(fs::canonical(f));
    std::sort(real.begin(), real.end());
    EXPECT_EQ(std::adjacent_find(real.begin(), real.end()), real.end());

    std::string error;
    auto synth = makeFluidSynth(kFont, error);
    ASSERT_NE(synth, nullptr) << error;

    // 120 bpm: 480 ticks are half a second. Rests let each onset stand out of silence.
    const std::tuple<std::int64_t, std::int64_t, int, int, int, double> notes[] = {
        // start, length, channel, key, bend, hertz (0: too short to measure)
        {0, 960, 0, 33, 0, 55.0},        {1440, 960, 0, 38, 0, 73.42},
        {2880, 120, 0, 43, 0, 0.0},      {3360, 240, 1, 40, 0, 0.0}, // slapped
        {4080, 960, 0, 43, 8191, 110.0}, // two semitones up: FluidSynth's default bend range
    };
    std::vector<Event> events = {ev(0, K::Program, 0, score::kFingerProgram),
                                 ev(0, K::Program, 1, score::kSlapProgram)};
    for (const auto& [start, length, channel, key, bend, hertz] : notes) {
        events.push_back({start, K::PitchBend, std::uint8_t(channel), 0, 0, std::int16_t(bend)});
        events.push_back(ev(start, K::NoteOn, channel, key, 110));
        events.push_back(ev(start + length, K::NoteOff, channel, key, 0));
    }
    const Performance p = performance(120, 5280, events);
    ASSERT_TRUE(renderWav(p, *synth, dir.path / "notes.wav", {}, error)) << error;
    SF_INFO info{};
    const auto wav = readWav(dir.path / "notes.wav", info);
    ASSERT_GE(info.frames, expectedFrame(p.endTick, 120));
    std::vector<float> left;
    for (std::size_t i = 0; i < wav.size(); i += 2)
        left.push_back(wav[i]);
    for (const auto& [start, length, channel, key, bend, hertz] : notes) {
        SCOPED_TRACE(testing::Message() << "key " << key << " at tick " << start);
        const auto due = expectedFrame(start, 120);
        const auto onset = onsetAfter(left, std::max<std::int64_t>(due - 2205, 0));
        EXPECT_NEAR(double(onset - due) / 44100.0, 0.0, 0.010);
        if (hertz > 0) {
            const auto middle = due + expectedFrame(length, 120) / 2;
            const double hz = fundamental(left, middle - 4410, 8820);
            EXPECT_NEAR(12.0 * std::log2(hz / hertz), 0.0, 1.0) << hz << " Hz";
        }
    }
}

TEST(FluidSynthFont, EachTechniqueSoundsTheBassTheFontNamesForIt)
{
    if (!fs::exists(kFont))
        GTEST_SKIP() << kFont << " is not installed (fluid-soundfont-gm)";
    // The names FluidR3 gives its presets 000-033, 000-036 and 000-037 (fluidsynth's "inst").
    const std::pair<score::Technique, std::string> cases[] = {
        {score::Technique::Plain, "Fingered Bass"},
        {score::Technique::HammerOn, "Fingered Bass"},
        {score::Technique::PullOff, "Fingered Bass"},
        {score::Technique::SlideUp, "Fingered Bass"},
        {score::Technique::SlideDown, "Fingered Bass"},
        {score::Technique::Slap, "Slap Bass"},
        {score::Technique::Pop, "Pop Bass"},
    };
    std::string error;
    auto synth = makeFluidSynth(kFont, error);
    ASSERT_NE(synth, nullptr) << error;
    // Before any tab is played, as live playback finds the synthesiser.
    EXPECT_EQ(synth->presetName(0), "Fingered Bass");
    for (const auto& [technique, name] : cases) {
        SCOPED_TRACE(name + " for technique " + std::to_string(int(technique)));
        score::Score s;
        s.columns.push_back({.start = 0, .length = 480, .notes = {{1, 0, 40}}});
        s.columns.push_back({.start = 480, .length = 480, .notes = {{1, 2, 42, technique}}});
        s.length = 960;
        const Performance p = score::perform(s);
        // Every channel starts on a piano, so only the tab's own set-up can choose the bass.
        for (int channel = 0; channel < 3; ++channel)
            synth->send(ev(0, K::Program, channel, 0));
        Scheduler scheduler(*synth);
        scheduler.start(p, 0);
        std::vector<float> left(256), right(256);
        scheduler.render(p, left.data(), right.data(), 256, p.endTick);
        const auto struck = std::find_if(p.events.begin(), p.events.end(), [](const Event& e) {
            return e.kind == K::NoteOn && e.column == 1;
        });
        ASSERT_NE(struck, p.events.end());
        EXPECT_EQ(synth->presetName(struck->channel), name);
    }
}

// The left channel of `p` from its start, rendered straight from the synthesiser.
std::vector<float> leftOf(const Performance& p, Synth& synth)
{
    std::vector<float> left(std::size_t(expectedFrame(p.endTick, p.tempo))), right(left.size());
    Scheduler scheduler(synth);
    scheduler.start(p, p.startTick);
    scheduler.render(p, left.data(), right.data(), int(left.size()), p.endTick);
    synth.allNotesOff();
    return left;
}

float peakIn(const std::vector<float>& samples, std::int64_t from, std::int64_t to)
{
    float peak = 0.0f;
    for (std::int64_t i = std::max<std::int64_t>(from, 0); i < to; ++i)
        peak = std::max(peak, std::abs(samples[std::size_t(i)]));
    return peak;
}

TEST(FluidSynthFont, AHammerOnIsHeardAsNoNewPluckAndTheSoundGoesOnThroughIt)
{
    if (!fs::exists(kFont))
        GTEST_SKIP() << kFont << " is not installed (fluid-soundfont-gm)";
    std::string error;
    auto synth = makeFluidSynth(kFont, error);
    ASSERT_NE(synth, nullptr) << error;
    // A (key 33) for a beat at 120 bpm, then C (key 36) plucked, hammered or pulled (from D).
    const std::tuple<const char*, int, score::Technique, bool> cases[] = {
        {"plucked", 33, score::Technique::Plain, true},
        {"hammered", 33, score::Technique::HammerOn, false},
        {"pulled", 38, score::Technique::PullOff, false},
    };
    const std::int64_t at = expectedFrame(480, 120), window = 44100 / 20;
    for (const auto& [name, from, technique, struck] : cases) {
        SCOPED_TRACE(name);
        score::Score s;
        s.tempo = 120;
        s.columns.push_back({.start = 0, .length = 480, .notes = {{1, 0, from}}});
        s.columns.push_back({.start = 480, .length = 960, .notes = {{1, 3, 36, technique}}});
        s.length = 1440;
        const auto left = leftOf(score::perform(s), *synth);
        // A new pluck stands out of the ringing note; a hammer-on or pull-off does not.
        const float before = peakIn(left, at - window, at);
        const float after = peakIn(left, at, at + window);
        EXPECT_EQ(after > 1.2f * before, struck) << after / before;
        // No gap where one note stops before the other starts.
        for (std::int64_t i = at - window; i < at + window; i += 441)
            EXPECT_GT(peakIn(left, i, i + 441), 0.2f * before) << "at frame " << i - at;
        // The new key is what is heard next.
        const double hz = fundamental(left, at + 8820, 8820);
        EXPECT_NEAR(12.0 * std::log2(hz / 65.41), 0.0, 1.0) << hz << " Hz";
    }
}

std::shared_ptr<Performance> beats(int tempo, int count, int key)
{
    std::vector<Event> events;
    for (int beat = 0; beat < count; ++beat) {
        events.push_back(ev(beat * 480, K::NoteOn, 0, key));
        events.push_back(ev(beat * 480 + 240, K::NoteOff, 0, key));
    }
    return std::make_shared<Performance>(performance(tempo, count * 480, events));
}

template <typename F> bool eventually(F condition)
{
    for (const auto end = std::chrono::steady_clock::now() + 2s; !condition();) {
        if (std::chrono::steady_clock::now() > end)
            return false;
        std::this_thread::sleep_for(5ms);
    }
    return true;
}

// Ticks a second over 300 ms; a loaded machine may lag, never lead.
void expectTicksPerSecond(const Player& player, double expected)
{
    const auto from = player.tick();
    const auto started = std::chrono::steady_clock::now();
    std::this_thread::sleep_for(300ms);
    const double ticks = double(player.tick() - from);
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    EXPECT_GT(ticks, 0.4 * expected * seconds);
    EXPECT_LT(ticks, 1.5 * expected * seconds);
}

// The window's tests hear the notes; here the pace of the position, and where it stops.
TEST(Player, PlaysPausesTakesANewPerformanceStopsLoopsAndFinishes)
{
    FakeSynth synth;
    ClockOutput output{256};
    Player player{synth, output};
    std::string error;
    player.setPerformance(beats(100, 400, 40));
    ASSERT_TRUE(player.play(0, error)) << error;
    expectTicksPerSecond(player, 800); // 100 bpm

    player.pause();
    std::this_thread::sleep_for(50ms);
    const auto held = player.tick();
    std::this_thread::sleep_for(200ms);
    EXPECT_EQ(player.tick(), held);
    player.resume();
    ASSERT_TRUE(eventually([&] { return player.tick() > held + 40; }));

    player.setPerformance(beats(400, 400, 50)); // four times as fast, from where it was
    std::this_thread::sleep_for(50ms);
    EXPECT_GT(player.tick(), held);
    expectTicksPerSecond(player, 3200);
    player.stop();
    EXPECT_EQ(player.tick(), 0);
    EXPECT_FALSE(player.playing());
    std::this_thread::sleep_for(20ms); // a few periods: the sound fades in the first
    const auto frames = synth.frames.load();
    std::this_thread::sleep_for(50ms);
    EXPECT_EQ(synth.frames, frames); // the synthesiser is left alone

    player.setLoop(true, 480, 960);
    player.setPerformance(beats(400, 8, 41)); // a beat is 0.15 s
    ASSERT_TRUE(player.play(480, error)) << error;
    std::int64_t highest = 0;
    for (const auto until = std::chrono::steady_clock::now() + 600ms;
         std::chrono::steady_clock::now() < until; std::this_thread::sleep_for(2ms))
        highest = std::max(highest, player.tick());
    EXPECT_LT(highest, 960);
    EXPECT_FALSE(player.finished());
    player.setLoop(false, 0, 0);
    EXPECT_TRUE(eventually([&] { return player.finished(); }));
    EXPECT_FALSE(player.playing());
    EXPECT_EQ(player.tick(), 8 * 480);
}

// An output whose periods the test hands out one at a time.
class ManualOutput : public AudioOutput {
public:
    bool start(FillFunction fill, std::string&) override
    {
        m_fill = std::move(fill);
        ++starts;
        return true;
    }
    void stop() override { m_fill = nullptr; }
    double latencySeconds() const override { return 0.0; }
    // The next period's left side.
    std::vector<float> period(int frames = 256)
    {
        std::vector<float> left(std::size_t(frames), 0.0f), right(left.size(), 0.0f);
        if (m_fill)
            m_fill(left.data(), right.data(), frames);
        return left;
    }
    int starts = 0;

private:
    FillFunction m_fill;
};

TEST(Player, PlayAndStopAreHeardInTheVeryNextPeriodAndTheOutputStaysOpen)
{
    // A note from the start to the end of eight beats: FakeSynth sounds 0.25 while it is on.
    const auto held = std::make_shared<Performance>(
        performance(100, 8 * 480, {ev(0, K::NoteOn, 0, 40), ev(8 * 480, K::NoteOff, 0, 40)}));
    FakeSynth synth;
    ManualOutput output;
    Player player{synth, output};
    player.setPerformance(held);
    std::string error;
    ASSERT_TRUE(player.open(error));
    const auto silent = [](const std::vector<float>& block) {
        return std::all_of(block.begin(), block.end(), [](float x) { return x == 0.0f; });
    };
    EXPECT_TRUE(silent(output.period())); // open, nothing played yet
    for (int round = 0; round < 3; ++round) {
        SCOPED_TRACE(round);
        ASSERT_TRUE(player.play(0, error)) << error;
        const auto first = output.period();
        EXPECT_FLOAT_EQ(first.front(), 0.25f); // the note from the first frame on
        player.stop();
        // Faded within the next period, without a click, then nothing more.
        const auto fading = output.period();
        EXPECT_LE(fading.front(), 0.25f);
        EXPECT_GT(fading.front(), 0.2f);
        EXPECT_TRUE(std::is_sorted(fading.rbegin(), fading.rend()));
        EXPECT_EQ(fading.back(), 0.0f);
        const auto rendered = synth.frames.load();
        EXPECT_TRUE(silent(output.period()));
        EXPECT_EQ(synth.frames, rendered);
    }
    // Paused, the note is let go at once but may ring; the position holds.
    ASSERT_TRUE(player.play(0, error)) << error;
    output.period();
    const auto at = player.tick();
    player.pause();
    EXPECT_FLOAT_EQ(output.period().front(), 0.0f);
    EXPECT_EQ(player.tick(), at);
    EXPECT_EQ(output.starts, 1);
}

TEST(DeviceOutput, StartsOnADeviceOrSaysThereIsNone)
{
    // ALSA's null device takes sound and plays nothing.
    for (const DeviceSettings& settings :
         {DeviceSettings{}, DeviceSettings{.driver = "alsa", .device = "null"}}) {
        SCOPED_TRACE(settings.driver);
        auto output = makeDeviceOutput(settings);
        std::atomic<long> frames{0};
        std::string error;
        if (!output->start([&](float*, float*, int n) { frames += n; }, error)) {
            EXPECT_EQ(error.rfind("No sound device: ", 0), 0u) << error;
            continue;
        }
        EXPECT_TRUE(eventually([&] { return frames > 0; }));
        output->stop();
        const long stopped = frames;
        std::this_thread::sleep_for(20ms);
        EXPECT_EQ(frames, stopped);
        EXPECT_GT(output->latencySeconds(), 0.0);
        EXPECT_LT(output->latencySeconds(), 0.1);
    }
}

// A PulseAudio server of the test's own with a sink that plays nothing, reached through ALSA's
// default device as on a desktop; not running where PulseAudio is not installed.
class PrivateSoundServer {
public:
    PrivateSoundServer() :
        m_dir(fs::temp_directory_path() / ("quorlin-pulse-" + std::to_string(::getpid())))
    {
        fs::create_directories(m_dir);
        const std::string socket = (m_dir / "native").string();
        m_pid = ::fork();
        if (m_pid == 0) {
            ::setenv("PULSE_RUNTIME_PATH", m_dir.c_str(), 1);
            ::setenv("PULSE_STATE_PATH", m_dir.c_str(), 1);
            const std::string native = "module-native-protocol-unix socket=" + socket;
            ::execlp("pulseaudio", "pulseaudio", "-n", "--daemonize=no", "--exit-idle-time=-1",
                     "--log-target=file:/dev/null", "-L", native.c_str(), "-L",
                     "module-null-sink sink_name=quiet", "-L", "module-always-sink",
                     static_cast<char*>(nullptr));
            ::_exit(127);
        }
        if (m_pid > 0 && eventually([&] { return fs::exists(socket); }))
            ::setenv("PULSE_SERVER", ("unix:" + socket).c_str(), 1);
    }
    ~PrivateSoundServer()
    {
        ::unsetenv("PULSE_SERVER");
        if (m_pid > 0) {
            ::kill(m_pid, SIGTERM);
            ::waitpid(m_pid, nullptr, 0);
        }
        std::error_code ec;
        fs::remove_all(m_dir, ec);
    }
    bool running() const { return std::getenv("PULSE_SERVER") != nullptr; }

private:
    fs::path m_dir;
    pid_t m_pid = -1;
};

std::set<int> threadsOfThisProcess()
{
    std::set<int> tids;
    for (const auto& entry : fs::directory_iterator("/proc/self/task"))
        tids.insert(std::stoi(entry.path().filename().string()));
    return tids;
}

// A thread's nice value and scheduling policy, fields 19 and 41 of its stat line.
std::pair<int, int> niceAndPolicy(int tid)
{
    std::ifstream in("/proc/self/task/" + std::to_string(tid) + "/stat");
    std::string line;
    std::getline(in, line);
    std::istringstream fields(line.substr(line.rfind(')') + 2));
    std::vector<std::string> rest{std::istream_iterator<std::string>(fields), {}};
    return {std::stoi(rest.at(16)), std::stoi(rest.at(38))};
}

TEST(DeviceOutput, EveryThreadThatCarriesTheSoundOutranksANicedProgram)
{
    PrivateSoundServer server;
    if (!server.running())
        GTEST_SKIP() << "no PulseAudio to play to";
    // The program niced to 15, as a user running it in the background would.
    std::thread([&] {
        ASSERT_EQ(setpriority(PRIO_PROCESS, id_t(::gettid()), 15), 0);
        bool raised = false;
        std::thread([&] {
            sched_param param{};
            param.sched_priority = 1;
            raised = pthread_setschedparam(pthread_self(), SCHED_FIFO, &param) == 0 ||
                     setpriority(PRIO_PROCESS, id_t(::gettid()), 0) == 0;
        }).join();
        if (!raised)
            GTEST_SKIP() << "this system raises no thread";
        const std::set<int> before = threadsOfThisProcess();
        // By name: ALSA makes the plug-in its default only where the server ran when the
        // process first read its configuration.
        auto output = makeDeviceOutput({.driver = "alsa", .device = "pulse"});
        std::atomic<long> frames{0};
        std::string error;
        if (!output->start([&](float*, float*, int n) { frames += n; }, error))
            GTEST_SKIP() << "no PulseAudio plug-in for ALSA: " << error;
        EXPECT_TRUE(eventually([&] { return frames > 0; }));
        int started = 0;
        for (int tid : threadsOfThisProcess()) {
            if (before.count(tid))
                continue;
            ++started;
            const auto [nice, policy] = niceAndPolicy(tid);
            EXPECT_TRUE(policy == SCHED_FIFO || policy == SCHED_RR || nice <= 0)
                << "thread " << tid << " at nice " << nice << ", policy " << policy;
        }
        // FluidSynth's thread, and the plug-in's own that talks to the server.
        EXPECT_GE(started, 2);
        output->stop();
    }).join();
}

TEST(SoundModule, LoadsTheFirstCandidateThatOpensOrSaysWhyNot)
{
    const fs::path bin = fs::read_symlink("/proc/self/exe").parent_path();
    const std::string built = (bin / kSoundModuleFile).string();
    const fs::path dir =
        fs::temp_directory_path() / ("quorlin-sound-" + std::to_string(::getpid()));
    fs::create_directories(dir);
    const std::string junk = (dir / "junk.so").string();
    std::ofstream(junk) << "not a shared object";
    const std::string missing = (dir / "missing.so").string();

    struct Case {
        std::vector<std::string> candidates;
        bool loads;
        std::string blamed; // the path the error must name
    };
    const Case cases[] = {
        {{built}, true, ""},
        {{junk, built}, true, ""},
        {{missing, built}, true, ""},
        {{missing, junk}, false, junk},
        {{junk, missing}, false, junk},
        {{missing, dir / "installed.so"}, false, dir / "installed.so"},
    };
    std::string known;
    ASSERT_TRUE(soundPorts(known)) << known;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.candidates.front() + " then " + c.candidates.back());
        std::string error;
        const SoundPorts* ports = loadSoundPorts(c.candidates, error);
        if (c.loads) {
            EXPECT_EQ(ports, soundPorts(known)) << error;
            continue;
        }
        EXPECT_EQ(ports, nullptr);
        EXPECT_EQ(error.rfind("sound is not available: " + c.blamed, 0), 0u) << error;
    }
    EXPECT_EQ(soundModuleCandidates("/opt/q/bin"),
              (std::vector<std::string>{"/opt/q/bin/quorlin-sound.so",
                                        "/opt/q/lib/quorlin/modules/quorlin-sound.so"}));
    fs::remove_all(dir);
}

} // namespace
} // namespace quorlin::audio
