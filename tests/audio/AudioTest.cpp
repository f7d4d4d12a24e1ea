#include "audio/AudioOutput.h"
#include "audio/Player.h"
#include "audio/Render.h"
#include "audio/Synth.h"

#include <gtest/gtest.h>
#include <sndfile.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <mutex>
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
    Performance p;
    p.tempo = tempo;
    p.endTick = endTick;
    p.events = std::move(events); // in order of their ticks
    return p;
}

// Records each event with the frame it came at (allNotesOff as Controller 123), and sounds
// a constant while any note is on, so the WAV writer has something to wait for.
class FakeSynth : public Synth {
public:
    struct Sent {
        std::int64_t frame;
        Event event;
    };
    void send(const Event& e) override
    {
        std::lock_guard lock(m_mutex);
        m_sent.push_back({m_frame, e});
        if (e.kind == K::NoteOn && e.value > 0)
            ++m_on;
        else if ((e.kind == K::NoteOn || e.kind == K::NoteOff) && m_on > 0)
            --m_on;
    }
    void allNotesOff() override
    {
        std::lock_guard lock(m_mutex);
        m_sent.push_back({m_frame, ev(0, K::Controller, 0, 123, 0)});
        m_on = 0;
    }
    void render(float* left, float* right, int frames) override
    {
        std::lock_guard lock(m_mutex);
        std::fill(left, left + frames, m_on > 0 ? 0.25f : 0.0f);
        std::fill(right, right + frames, m_on > 0 ? -0.25f : 0.0f);
        m_frame += frames;
    }
    std::vector<Sent> sent(bool notesOnly = true) const
    {
        std::lock_guard lock(m_mutex);
        auto sent = m_sent;
        std::erase_if(sent, [&](const Sent& s) {
            return notesOnly && s.event.kind != K::NoteOn && s.event.kind != K::NoteOff;
        });
        return sent;
    }
    std::int64_t frames() const
    {
        std::lock_guard lock(m_mutex);
        return m_frame;
    }

private:
    mutable std::mutex m_mutex;
    std::vector<Sent> m_sent;
    std::int64_t m_frame = 0;
    int m_on = 0;
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

TEST(Scheduler, SendsEachEventAtItsFrameAndTheSetupBeforeALateStart)
{
    std::vector<Event> events = {ev(0, K::Program, 0, 32), ev(0, K::Controller, 0, 101, 0)};
    for (std::int64_t t : {0, 1, 7, 239, 240, 479, 480, 700, 1000, 1441, 4799})
        events.push_back(ev(t, K::NoteOn, 0, 40 + (t % 20)));
    for (int tempo : {60, 100, 400}) {
        for (int block : {1, 37, 64, 4096}) {
            for (std::int64_t start : {0, 700}) {
                SCOPED_TRACE(testing::Message()
                             << tempo << " bpm, block " << block << ", from " << start);
                const Performance p = performance(tempo, 4800, events);
                FakeSynth synth;
                Scheduler scheduler(synth);
                scheduler.start(p, start);
                renderFor(scheduler, p, block);
                const auto frameOf = [&](std::int64_t t) {
                    return std::max<std::int64_t>(
                        expectedFrame(t, tempo) - expectedFrame(start, tempo), 0);
                };
                std::vector<std::pair<Event, std::int64_t>> expected, sent;
                for (const Event& e : events) {
                    if (e.kind != K::NoteOn || e.tick >= start)
                        expected.emplace_back(e, frameOf(e.tick));
                }
                for (const auto& s : synth.sent(false))
                    sent.emplace_back(s.event, s.frame);
                ASSERT_FALSE(sent.empty()); // the first turns all notes off
                EXPECT_EQ(std::vector(sent.begin() + 1, sent.end()), expected);
                EXPECT_EQ(synth.frames(), frameOf(4800));
            }
        }
    }
}

TEST(Scheduler, SwitchingGoesOnFromTheSameTickAtTheNewTempo)
{
    std::vector<Event> beats;
    for (int beat = 0; beat < 10; ++beat)
        beats.push_back(ev(beat * 480, K::NoteOn, 0, 40, 0));
    const Performance a = performance(100, 4800, beats);
    Performance b = performance(200, 4800, beats);
    for (auto& e : b.events)
        e.number = 50;

    FakeSynth synth;
    Scheduler scheduler(synth);
    scheduler.start(a, 0);
    const auto switchFrame = expectedFrame(1000, 100);
    renderFor(scheduler, a, 0, switchFrame);
    scheduler.switchTo(b);
    renderFor(scheduler, b, 5000);

    const auto sent = synth.sent();
    ASSERT_EQ(sent.size(), 10u);
    for (int beat = 0; beat < 10; ++beat)
        EXPECT_EQ(sent[beat].event.number, beat < 3 ? 40 : 50);
    // Beat 3 (tick 1440) is 440 ticks after the switch, at 200 bpm.
    EXPECT_NEAR(sent[3].frame - switchFrame, expectedFrame(440, 200), 1);
    EXPECT_NEAR(sent[9].frame - sent[3].frame, expectedFrame(6 * 480, 200), 1);
}

TEST(Scheduler, SwitchingReleasesNotesTheNewPerformanceWouldLeaveRinging)
{
    const std::tuple<const char*, std::vector<Event>, bool> cases[] = {
        {"kept", {ev(0, K::NoteOn, 0, 40), ev(960, K::NoteOff, 0, 40)}, false},
        {"removed", {}, true},
        {"struck again", {ev(700, K::NoteOn, 0, 40)}, true},
        {"another channel ends", {ev(960, K::NoteOff, 1, 40)}, true},
    };
    for (const auto& [name, after, releasedAtOnce] : cases) {
        SCOPED_TRACE(name);
        const Performance a =
            performance(100, 1920, {ev(0, K::NoteOn, 0, 40), ev(960, K::NoteOff, 0, 40)});
        FakeSynth synth;
        Scheduler scheduler(synth);
        scheduler.start(a, 0);
        const auto at = expectedFrame(480, 100);
        renderFor(scheduler, a, 0, at);
        scheduler.switchTo(performance(100, 1920, after));
        const auto sent = synth.sent();
        const bool released = sent.size() == 2 && sent[1].event.kind == K::NoteOff &&
                              sent[1].event.channel == 0 && sent[1].frame == at;
        EXPECT_EQ(released, releasedAtOnce);
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

Performance oneNote()
{
    return performance(
        100, 480 * 40, // 24 s
        {ev(0, K::Program, 0, 32), ev(0, K::NoteOn, 0, 33), ev(480 * 40, K::NoteOff, 0, 33)});
}

struct WavFile {
    SF_INFO info{};
    std::vector<float> left, right;
};

WavFile readWav(const fs::path& path)
{
    WavFile wav;
    SNDFILE* file = sf_open(path.c_str(), SFM_READ, &wav.info);
    std::vector<float> frames(std::size_t(wav.info.frames * wav.info.channels));
    if (!file || wav.info.channels != 2)
        return wav;
    sf_readf_float(file, frames.data(), wav.info.frames);
    sf_close(file);
    for (std::size_t i = 0; i < frames.size(); i += 2) {
        wav.left.push_back(frames[i]);
        wav.right.push_back(frames[i + 1]);
    }
    return wav;
}

TEST(RenderWav, AppearsWholeOrNotAtAll)
{
    // Paths in a temporary folder; "old": a file of that name was there before.
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
        std::string error, text;
        std::vector<double> fractions;
        const auto progress = [&](double f) {
            fractions.push_back(f);
            return !cancel || fractions.size() < 2;
        };
        const bool written = renderWav(oneNote(), synth, path.string(), progress, error);
        EXPECT_EQ(dir.files(), before); // no temporary file left beside it
        if (!message.empty()) {
            std::string expected = message;
            if (auto at = expected.find("{dir}"); at != std::string::npos)
                expected.replace(at, 5, dir.path.string());
            EXPECT_FALSE(written);
            EXPECT_EQ(error.substr(0, expected.size()), expected);
            EXPECT_EQ(error.find('\n'), std::string::npos);
            EXPECT_TRUE(!old || (std::ifstream(path) >> text && text == "old"));
            continue;
        }
        ASSERT_TRUE(written) << error;
        const WavFile wav = readWav(path);
        EXPECT_EQ(std::tuple(wav.info.samplerate, wav.info.channels, wav.info.format),
                  std::tuple(44100, 2, SF_FORMAT_WAV | SF_FORMAT_PCM_16));
        // The note to its end, then a short tail that stops once the sound has died.
        const auto body = expectedFrame(480 * 40, 100);
        ASSERT_GE(wav.info.frames, body);
        EXPECT_LT(wav.info.frames, body + 44100);
        EXPECT_NEAR(wav.left[1000], 0.25, 1e-3);
        EXPECT_NEAR(wav.right[body - 1], -0.25, 1e-3);
        EXPECT_EQ(wav.left[body + 10], 0.0f);
        EXPECT_TRUE(std::is_sorted(fractions.begin(), fractions.end()));
        EXPECT_EQ(fractions.back(), 1.0);
    }
}

TEST(FluidSynthFont, RefusesWhatIsNotASoundFontAndListsInstalledOnesOnce)
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
}

// The first sample from `from` louder than a thirtieth of the next half second's peak.
std::int64_t onsetAfter(const std::vector<float>& samples, std::int64_t from)
{
    const std::int64_t end = std::min<std::int64_t>(from + 22050, samples.size());
    float peak = 0.0f;
    for (std::int64_t i = from; i < end; ++i)
        peak = std::max(peak, std::abs(samples[i]));
    while (from < end && std::abs(samples[from]) <= peak / 30)
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

TEST(FluidSynthFont, PlaysEachNoteOnTimeAndInTune)
{
    if (!fs::exists(kFont))
        GTEST_SKIP() << kFont << " is not installed (fluid-soundfont-gm)";
    std::string error;
    auto synth = makeFluidSynth(kFont, error);
    ASSERT_NE(synth, nullptr) << error;

    // 120 bpm: 480 ticks are half a second. Rests let each onset stand out of silence.
    const std::tuple<std::int64_t, std::int64_t, int, int, double> notes[] = {
        // start, length, channel, key, hertz (0: too short to measure)
        {0, 960, 0, 33, 55.0},    {1440, 960, 0, 38, 73.42},
        {2880, 120, 0, 43, 0.0},  {3360, 240, 1, 40, 0.0}, // slapped
        {4080, 960, 0, 43, 98.0},
    };
    std::vector<Event> events = {ev(0, K::Program, 0, 32), ev(0, K::Program, 1, 35)};
    for (const auto& [start, length, channel, key, hertz] : notes) {
        events.push_back(ev(start, K::NoteOn, channel, key, 110));
        events.push_back(ev(start + length, K::NoteOff, channel, key, 0));
    }
    const Performance p = performance(120, 5280, events);

    TempDir dir;
    ASSERT_TRUE(renderWav(p, *synth, dir.path / "notes.wav", {}, error)) << error;
    const WavFile wav = readWav(dir.path / "notes.wav");
    ASSERT_GE(wav.info.frames, expectedFrame(p.endTick, 120));
    for (const auto& [start, length, channel, key, hertz] : notes) {
        SCOPED_TRACE(testing::Message() << "key " << key << " at tick " << start);
        const auto due = expectedFrame(start, 120);
        const auto onset = onsetAfter(wav.left, std::max<std::int64_t>(due - 2205, 0));
        EXPECT_NEAR(double(onset - due) / 44100.0, 0.0, 0.010);
        if (hertz > 0) {
            const auto middle = due + expectedFrame(length, 120) / 2;
            const double hz = fundamental(wav.left, middle - 4410, 8820);
            EXPECT_NEAR(12.0 * std::log2(hz / hertz), 0.0, 1.0) << hz << " Hz";
        }
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

struct PlayerTest : testing::Test {
    FakeSynth synth;
    ClockOutput output{256};
    Player player{synth, output};
    void play(std::shared_ptr<Performance> p, std::int64_t from = 0)
    {
        player.setPerformance(std::move(p));
        std::string error;
        ASSERT_TRUE(player.play(from, error)) << error;
    }
};

TEST_F(PlayerTest, AdvancesAtTheTempoPausesAndStops)
{
    play(beats(100, 400, 40));
    EXPECT_TRUE(player.playing());
    expectTicksPerSecond(player, 800); // 100 bpm

    player.pause();
    EXPECT_FALSE(player.playing());
    std::this_thread::sleep_for(50ms);
    const auto held = player.tick();
    std::this_thread::sleep_for(200ms);
    EXPECT_EQ(player.tick(), held);
    player.resume();
    EXPECT_TRUE(eventually([&] { return player.tick() > held + 40; }));

    player.stop();
    EXPECT_FALSE(player.playing());
    EXPECT_EQ(player.tick(), 0);
    const auto frames = synth.frames();
    std::this_thread::sleep_for(50ms);
    EXPECT_EQ(synth.frames(), frames); // the output stopped
}

TEST_F(PlayerTest, LoopsBackAndFinishesWithoutALoop)
{
    player.setLoop(true, 480, 960);
    play(beats(400, 8, 40), 480); // a beat is 0.15 s
    std::int64_t highest = 0;
    for (const auto until = std::chrono::steady_clock::now() + 600ms;
         std::chrono::steady_clock::now() < until; std::this_thread::sleep_for(2ms))
        highest = std::max(highest, player.tick());
    EXPECT_LT(highest, 960);
    EXPECT_FALSE(player.finished());
    const auto sent = synth.sent();
    EXPECT_GE(
        std::count_if(sent.begin(), sent.end(),
                      [](auto& s) { return s.event.kind == K::NoteOn && s.event.tick == 480; }),
        2);
    EXPECT_TRUE(
        std::none_of(sent.begin(), sent.end(), [](auto& s) { return s.event.tick >= 960; }));

    player.setLoop(false, 0, 0);
    EXPECT_TRUE(eventually([&] { return player.finished(); }));
    EXPECT_FALSE(player.playing());
    EXPECT_EQ(player.tick(), 8 * 480);
}

TEST_F(PlayerTest, HearsANewPerformanceFromWhereItIsAtItsTempo)
{
    play(beats(100, 400, 40));
    ASSERT_TRUE(eventually([&] { return player.tick() >= 960; }));
    player.setPerformance(beats(400, 400, 50)); // four times as fast, on another key
    const auto frameAtSwap = synth.frames();
    std::this_thread::sleep_for(50ms);
    expectTicksPerSecond(player, 3200);
    player.stop();

    const auto sent = synth.sent();
    const auto firstNew =
        std::find_if(sent.begin(), sent.end(), [](auto& s) { return s.event.number == 50; });
    ASSERT_NE(firstNew, sent.end());
    // Not replayed from the start, and never the old key after the new one came in.
    EXPECT_GE(firstNew->event.tick, 960);
    EXPECT_LE(firstNew->frame - frameAtSwap, expectedFrame(480, 100));
    EXPECT_TRUE(std::none_of(firstNew, sent.end(), [](auto& s) {
        return s.event.kind == K::NoteOn && s.event.number == 40;
    }));
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

} // namespace
} // namespace quorlin::audio
