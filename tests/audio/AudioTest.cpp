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
using score::Event;
using score::EventKind;
using score::Performance;

const std::string kFont = "/usr/share/sounds/sf2/FluidR3_GM.sf2";

Event event(std::int64_t tick, EventKind kind, int channel, int number, int value = 100)
{
    Event e;
    e.tick = tick;
    e.kind = kind;
    e.channel = static_cast<std::uint8_t>(channel);
    e.number = static_cast<std::uint8_t>(number);
    e.value = static_cast<std::uint8_t>(value);
    return e;
}

// The requirement, written out on its own: frames = tick * 60 * 44100 / (tempo * 480).
std::int64_t expectedFrame(std::int64_t tick, int tempo)
{
    return tick * 60 * 44100 / (std::int64_t{tempo} * 480);
}

// Records each event with the frame it arrived at, and sounds a constant while any note is
// on, so the WAV writer has something to write and something to wait for.
class FakeSynth : public Synth {
public:
    struct Sent {
        std::int64_t frame;
        Event event; // an allNotesOff comes as a Controller 123
    };

    void send(const Event& e) override
    {
        std::lock_guard lock(m_mutex);
        m_sent.push_back({m_frame, e});
        if (e.kind == EventKind::NoteOn && e.value > 0)
            ++m_on;
        else if ((e.kind == EventKind::NoteOn || e.kind == EventKind::NoteOff) && m_on > 0)
            --m_on;
    }
    void allNotesOff() override
    {
        std::lock_guard lock(m_mutex);
        m_sent.push_back({m_frame, event(0, EventKind::Controller, 0, 123, 0)});
        m_on = 0;
    }
    void render(float* left, float* right, int frames) override
    {
        std::lock_guard lock(m_mutex);
        std::fill(left, left + frames, m_on > 0 ? 0.25f : 0.0f);
        std::fill(right, right + frames, m_on > 0 ? -0.25f : 0.0f);
        m_frame += frames;
    }

    std::vector<Sent> all() const
    {
        std::lock_guard lock(m_mutex);
        return m_sent;
    }
    std::vector<Sent> notes() const
    {
        auto sent = all();
        std::erase_if(sent, [](const Sent& s) {
            return s.event.kind != EventKind::NoteOn && s.event.kind != EventKind::NoteOff;
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

// Renders the whole performance in blocks of `block` frames up to its end tick.
void renderAll(Scheduler& scheduler, const Performance& p, int block)
{
    std::vector<float> left(block), right(block);
    while (!scheduler.reached(p.endTick))
        scheduler.render(p, left.data(), right.data(), block, p.endTick);
}

TEST(Scheduler, SendsEveryEventAtItsFrame)
{
    const std::vector<std::int64_t> ticks = {0, 1, 7, 239, 240, 479, 480, 1000, 1441, 4799};
    for (int tempo : {60, 100, 400}) {
        for (int block : {1, 37, 64, 4096}) {
            SCOPED_TRACE("tempo " + std::to_string(tempo) + ", block " + std::to_string(block));
            Performance p;
            p.tempo = tempo;
            p.endTick = 4800;
            for (auto t : ticks)
                p.events.push_back(event(t, EventKind::NoteOn, 0, 40 + (t % 20)));
            FakeSynth synth;
            Scheduler scheduler(synth);
            scheduler.start(p, 0);
            renderAll(scheduler, p, block);
            const auto sent = synth.notes();
            ASSERT_EQ(sent.size(), ticks.size());
            for (std::size_t i = 0; i < ticks.size(); ++i) {
                EXPECT_EQ(sent[i].event.tick, ticks[i]);
                EXPECT_EQ(sent[i].frame, expectedFrame(ticks[i], tempo)) << "tick " << ticks[i];
            }
            EXPECT_EQ(synth.frames(), expectedFrame(4800, tempo));
        }
    }
}

TEST(Scheduler, StartingLateSendsTheSetupButNotTheNotesBefore)
{
    Performance p;
    p.tempo = 100;
    p.endTick = 1920;
    p.events = {event(0, EventKind::Program, 0, 32),  event(0, EventKind::Controller, 0, 101, 0),
                event(0, EventKind::NoteOn, 0, 40),   event(480, EventKind::NoteOff, 0, 40),
                event(960, EventKind::NoteOn, 0, 43), event(1440, EventKind::NoteOff, 0, 43)};
    FakeSynth synth;
    Scheduler scheduler(synth);
    scheduler.start(p, 700);
    renderAll(scheduler, p, 100);
    const auto all = synth.all();
    ASSERT_EQ(all.size(), 5u); // notes off, two setup events, two notes
    EXPECT_EQ(all[1].event, p.events[0]);
    EXPECT_EQ(all[2].event, p.events[1]);
    EXPECT_EQ(all[1].frame, 0);
    EXPECT_EQ(all[3].event, p.events[4]);
    EXPECT_EQ(all[3].frame, expectedFrame(960, 100) - expectedFrame(700, 100));
    EXPECT_EQ(all[4].frame, expectedFrame(1440, 100) - expectedFrame(700, 100));
}

TEST(Scheduler, SwitchingGoesOnFromTheSameTickAtTheNewTempo)
{
    Performance a;
    a.tempo = 100;
    a.endTick = 4800;
    for (int beat = 0; beat < 10; ++beat)
        a.events.push_back(event(beat * 480, EventKind::NoteOn, 0, 40, 0));
    Performance b = a;
    b.tempo = 200;
    for (auto& e : b.events)
        e.number = 50;

    FakeSynth synth;
    Scheduler scheduler(synth);
    scheduler.start(a, 0);
    std::vector<float> left(60000), right(60000);
    const auto switchFrame = expectedFrame(1000, 100);
    scheduler.render(a, left.data(), right.data(), static_cast<int>(switchFrame), a.endTick);
    scheduler.switchTo(b);
    while (!scheduler.reached(b.endTick))
        scheduler.render(b, left.data(), right.data(), 5000, b.endTick);

    const auto sent = synth.notes();
    ASSERT_EQ(sent.size(), 10u);
    for (int beat = 0; beat < 3; ++beat)
        EXPECT_EQ(sent[beat].event.number, 40);
    // From tick 1000 on, the new one: beat 3 (tick 1440) 440 ticks on at 200 bpm.
    EXPECT_EQ(sent[3].event.number, 50);
    EXPECT_NEAR(sent[3].frame - switchFrame, expectedFrame(440, 200), 1);
    for (int beat = 4; beat < 10; ++beat)
        EXPECT_NEAR(sent[beat].frame - sent[beat - 1].frame, expectedFrame(480, 200), 1);
}

TEST(Scheduler, SwitchingReleasesNotesTheNewPerformanceWouldLeaveRinging)
{
    struct Case {
        const char* name;
        std::vector<Event> after; // the new performance's events
        bool releasedAtOnce;
    };
    const std::vector<Case> cases = {
        {"kept",
         {event(0, EventKind::NoteOn, 0, 40), event(960, EventKind::NoteOff, 0, 40)},
         false},
        {"removed", {}, true},
        {"struck again", {event(700, EventKind::NoteOn, 0, 40)}, true},
        {"another channel ends", {event(960, EventKind::NoteOff, 1, 40)}, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Performance a;
        a.endTick = 1920;
        a.events = {event(0, EventKind::NoteOn, 0, 40), event(960, EventKind::NoteOff, 0, 40)};
        Performance b = a;
        b.events = c.after;
        FakeSynth synth;
        Scheduler scheduler(synth);
        scheduler.start(a, 0);
        std::vector<float> left(30000), right(30000);
        const int at = static_cast<int>(expectedFrame(480, a.tempo));
        scheduler.render(a, left.data(), right.data(), at, a.endTick);
        scheduler.switchTo(b);
        const auto sent = synth.notes();
        ASSERT_GE(sent.size(), 1u);
        const bool released = sent.size() == 2 && sent[1].event.kind == EventKind::NoteOff &&
                              sent[1].event.channel == 0 && sent[1].frame == at;
        EXPECT_EQ(released, c.releasedAtOnce);
    }
}

// ---------------------------------------------------------------------------------- WAV

struct TempDir {
    fs::path path;
    TempDir()
    {
        path = fs::temp_directory_path() /
               ("quorlin-audio-" + std::to_string(::getpid()) + "-" + std::to_string(count++));
        fs::create_directories(path);
    }
    ~TempDir() { fs::remove_all(path); }
    std::vector<fs::path> files() const
    {
        std::vector<fs::path> result;
        for (const auto& entry : fs::directory_iterator(path))
            result.push_back(entry.path());
        return result;
    }
    static inline int count = 0;
};

Performance oneNote(int tempo, std::int64_t length)
{
    Performance p;
    p.tempo = tempo;
    p.endTick = length;
    p.events = {event(0, EventKind::Program, 0, 32), event(0, EventKind::NoteOn, 0, 33),
                event(length, EventKind::NoteOff, 0, 33)};
    return p;
}

struct WavFile {
    SF_INFO info{};
    std::vector<float> left, right;
};

WavFile readWav(const fs::path& path)
{
    WavFile wav;
    SNDFILE* file = sf_open(path.c_str(), SFM_READ, &wav.info);
    if (!file)
        return wav;
    std::vector<float> frames(static_cast<std::size_t>(wav.info.frames * wav.info.channels));
    sf_readf_float(file, frames.data(), wav.info.frames);
    sf_close(file);
    for (sf_count_t i = 0; i < wav.info.frames && wav.info.channels == 2; ++i) {
        wav.left.push_back(frames[2 * i]);
        wav.right.push_back(frames[2 * i + 1]);
    }
    return wav;
}

TEST(RenderWav, WritesSixteenBitStereoOfTheWholePerformance)
{
    TempDir dir;
    const auto path = dir.path / "song.wav";
    FakeSynth synth;
    std::vector<double> fractions;
    std::string error;
    const Performance p = oneNote(100, 480 * 40); // 24 s
    ASSERT_TRUE(renderWav(
        p, synth, path,
        [&](double f) {
            fractions.push_back(f);
            return true;
        },
        error))
        << error;
    const WavFile wav = readWav(path);
    EXPECT_EQ(wav.info.samplerate, 44100);
    EXPECT_EQ(wav.info.channels, 2);
    EXPECT_EQ(wav.info.format, SF_FORMAT_WAV | SF_FORMAT_PCM_16);
    const auto body = expectedFrame(480 * 40, 100);
    // The note to its end, then a short tail that stops once the sound has died.
    ASSERT_GE(wav.info.frames, body);
    EXPECT_LT(wav.info.frames, body + 44100);
    EXPECT_NEAR(wav.left[1000], 0.25, 1e-3);
    EXPECT_NEAR(wav.right[body - 1], -0.25, 1e-3);
    EXPECT_EQ(wav.left[body + 10], 0.0f);
    ASSERT_GE(fractions.size(), 2u);
    EXPECT_TRUE(std::is_sorted(fractions.begin(), fractions.end()));
    EXPECT_EQ(fractions.back(), 1.0);
    EXPECT_EQ(dir.files().size(), 1u); // no temporary file left beside it
}

TEST(RenderWav, LeavesNothingBehindWhenItFails)
{
    struct Case {
        const char* name;
        bool cancel;
        std::string path; // relative to the temporary folder
        bool existing;    // a file of that name was there before
        std::string error;
    };
    const std::vector<Case> cases = {
        {"cancelled", true, "out.wav", false, "Cancelled"},
        {"cancelled over an old file", true, "out.wav", true, "Cancelled"},
        {"no such folder", false, "missing/out.wav", false,
         "Cannot write {dir}/missing/out.wav: No such file or directory"},
        {"a folder in the way", false, "folder", false, "Cannot write {dir}/folder: "},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        const auto path = dir.path / c.path;
        if (c.existing)
            std::ofstream(path) << "old";
        if (c.path == "folder")
            fs::create_directory(path);
        const auto before = dir.files();
        FakeSynth synth;
        std::string error;
        int calls = 0;
        EXPECT_FALSE(renderWav(
            oneNote(100, 480 * 40), synth, path.string(),
            [&](double) { return !c.cancel || ++calls < 2; }, error));
        std::string expected = c.error;
        if (auto at = expected.find("{dir}"); at != std::string::npos)
            expected.replace(at, 5, dir.path.string());
        EXPECT_EQ(error.substr(0, expected.size()), expected);
        EXPECT_EQ(error.find('\n'), std::string::npos);
        EXPECT_EQ(dir.files(), before);
        if (c.existing) {
            std::ifstream in(path);
            std::string text;
            in >> text;
            EXPECT_EQ(text, "old");
        }
    }
}

// ---------------------------------------------------------------------------- FluidSynth

TEST(FluidSynthFont, RefusesWhatIsNotASoundFont)
{
    TempDir dir;
    const auto text = dir.path / "notes.sf2";
    std::ofstream(text) << "not a sound font\n";
    for (const auto& path :
         {(dir.path / "missing.sf2").string(), text.string(), dir.path.string()}) {
        SCOPED_TRACE(path);
        std::string error;
        EXPECT_EQ(makeFluidSynth(path, error), nullptr);
        EXPECT_FALSE(error.empty());
        EXPECT_NE(error.find(path), std::string::npos);
        EXPECT_EQ(error.find('\n'), std::string::npos);
    }
}

TEST(FluidSynthFont, ListsInstalledFontsOnceGeneralMidiFirst)
{
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

// The first sample from `from` on louder than a thirtieth of the loudest of the next half
// second: the attack rising out of the rest before it.
std::int64_t onsetAfter(const std::vector<float>& samples, std::int64_t from)
{
    const std::int64_t end = std::min<std::int64_t>(from + 22050, samples.size());
    float peak = 0.0f;
    for (std::int64_t i = from; i < end; ++i)
        peak = std::max(peak, std::abs(samples[i]));
    for (std::int64_t i = from; i < end; ++i) {
        if (std::abs(samples[i]) > peak / 30)
            return i;
    }
    return -1;
}

// The fundamental from the autocorrelation, taking the shortest period that correlates
// nearly as well as the best, so that a strong second harmonic does not halve the answer
// and the period's multiples do not double it.
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

    struct Note {
        std::int64_t start, length;
        int channel, key;
        double hertz; // 0: too short to measure
    };
    // 120 bpm: 480 ticks are half a second. Rests between the notes let each onset stand
    // out of silence.
    const std::vector<Note> notes = {
        {0, 960, 0, 33, 55.0},     // A1, a second
        {1440, 960, 0, 38, 73.42}, // D2
        {2880, 120, 0, 43, 0.0},   // G2, an eighth of a second
        {3360, 240, 1, 40, 0.0},   // E2 slapped
        {4080, 960, 0, 43, 98.0},  // G2
    };
    Performance p;
    p.tempo = 120;
    p.endTick = 5280;
    p.events = {event(0, EventKind::Program, 0, 32), event(0, EventKind::Program, 1, 35)};
    for (const auto& n : notes) {
        p.events.push_back(event(n.start, EventKind::NoteOn, n.channel, n.key, 110));
        p.events.push_back(event(n.start + n.length, EventKind::NoteOff, n.channel, n.key, 0));
    }
    std::stable_sort(p.events.begin(), p.events.end(),
                     [](const Event& a, const Event& b) { return a.tick < b.tick; });

    TempDir dir;
    const auto path = dir.path / "notes.wav";
    ASSERT_TRUE(renderWav(p, *synth, path, {}, error)) << error;
    const WavFile wav = readWav(path);
    ASSERT_GE(wav.info.frames, expectedFrame(p.endTick, 120));

    for (const auto& n : notes) {
        SCOPED_TRACE("key " + std::to_string(n.key) + " at tick " + std::to_string(n.start));
        const auto due = expectedFrame(n.start, 120);
        const auto onset = onsetAfter(wav.left, std::max<std::int64_t>(due - 2205, 0));
        EXPECT_NEAR(double(onset - due) / 44100.0, 0.0, 0.010);
        if (n.hertz > 0) {
            const auto middle = due + expectedFrame(n.length, 120) / 2;
            const double hz = fundamental(wav.left, middle - 4410, 8820);
            EXPECT_NEAR(12.0 * std::log2(hz / n.hertz), 0.0, 1.0) << hz << " Hz";
        }
    }
}

// ----------------------------------------------------------------------------- Player

using namespace std::chrono_literals;

Performance beats(int tempo, int count, int key)
{
    Performance p;
    p.tempo = tempo;
    p.endTick = count * 480;
    for (int beat = 0; beat < count; ++beat) {
        p.events.push_back(event(beat * 480, EventKind::NoteOn, 0, key));
        p.events.push_back(event(beat * 480 + 240, EventKind::NoteOff, 0, key));
    }
    std::stable_sort(p.events.begin(), p.events.end(),
                     [](const Event& a, const Event& b) { return a.tick < b.tick; });
    return p;
}

// Waits up to two seconds for `condition`.
template <typename F> bool eventually(F condition)
{
    const auto end = std::chrono::steady_clock::now() + 2s;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > end)
            return false;
        std::this_thread::sleep_for(5ms);
    }
    return true;
}

TEST(Player, AdvancesAtTheTempoPausesAndStops)
{
    FakeSynth synth;
    ClockOutput output(256);
    Player player(synth, output);
    player.setPerformance(std::make_shared<Performance>(beats(100, 400, 40)));
    std::string error;
    const auto started = std::chrono::steady_clock::now();
    ASSERT_TRUE(player.play(0, error)) << error;
    EXPECT_TRUE(player.playing());
    std::this_thread::sleep_for(400ms);
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    // 100 bpm is 800 ticks a second; a loaded machine may lag, never lead.
    const double ticks = double(player.tick());
    EXPECT_GT(ticks, 0.4 * 800 * seconds);
    EXPECT_LT(ticks, 1.2 * 800 * seconds);

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

TEST(Player, LoopsBackAndFinishesWithoutALoop)
{
    FakeSynth synth;
    ClockOutput output(256);
    Player player(synth, output);
    // 400 bpm: a beat is 0.15 s.
    player.setPerformance(std::make_shared<Performance>(beats(400, 8, 40)));
    player.setLoop(true, 480, 960);
    std::string error;
    ASSERT_TRUE(player.play(480, error)) << error;
    std::int64_t highest = 0;
    const auto until = std::chrono::steady_clock::now() + 600ms;
    while (std::chrono::steady_clock::now() < until) {
        highest = std::max(highest, player.tick());
        std::this_thread::sleep_for(2ms);
    }
    EXPECT_LT(highest, 960);
    EXPECT_FALSE(player.finished());
    const auto sent = synth.notes();
    const auto onsAtLoopStart = std::count_if(sent.begin(), sent.end(), [](const auto& s) {
        return s.event.kind == EventKind::NoteOn && s.event.tick == 480;
    });
    EXPECT_GE(onsAtLoopStart, 2);
    EXPECT_TRUE(
        std::none_of(sent.begin(), sent.end(), [](const auto& s) { return s.event.tick >= 960; }));

    player.setLoop(false, 0, 0);
    EXPECT_TRUE(eventually([&] { return player.finished(); }));
    EXPECT_FALSE(player.playing());
    EXPECT_EQ(player.tick(), 8 * 480);
}

TEST(Player, HearsANewPerformanceFromWhereItIsAtItsTempo)
{
    FakeSynth synth;
    ClockOutput output(256);
    Player player(synth, output);
    player.setPerformance(std::make_shared<Performance>(beats(100, 400, 40)));
    std::string error;
    ASSERT_TRUE(player.play(0, error)) << error;
    ASSERT_TRUE(eventually([&] { return player.tick() >= 960; }));
    // Four times as fast, on another key.
    player.setPerformance(std::make_shared<Performance>(beats(400, 400, 50)));
    const auto frameAtSwap = synth.frames();
    std::this_thread::sleep_for(50ms);
    const auto from = player.tick();
    const auto started = std::chrono::steady_clock::now();
    std::this_thread::sleep_for(300ms);
    const double ticks = double(player.tick() - from);
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    player.stop();
    // 400 bpm is 3200 ticks a second, against 800 at the old tempo.
    EXPECT_GT(ticks, 0.4 * 3200 * seconds);
    EXPECT_LT(ticks, 1.5 * 3200 * seconds);

    const auto sent = synth.notes();
    const auto firstNew =
        std::find_if(sent.begin(), sent.end(), [](const auto& s) { return s.event.number == 50; });
    ASSERT_NE(firstNew, sent.end());
    // Not replayed from the start, and never the old key after the new one came in.
    EXPECT_GE(firstNew->event.tick, 960);
    EXPECT_LE(firstNew->frame - frameAtSwap, expectedFrame(480, 100));
    EXPECT_TRUE(std::none_of(firstNew, sent.end(), [](const auto& s) {
        return s.event.kind == EventKind::NoteOn && s.event.number == 40;
    }));
}

TEST(DeviceOutput, StartsOnADeviceOrSaysThereIsNone)
{
    struct Case {
        const char* name;
        DeviceSettings settings;
    };
    DeviceSettings null;
    null.driver = "alsa";
    null.device = "null"; // ALSA's device that takes sound and plays nothing
    const std::vector<Case> cases = {{"default", {}}, {"ALSA null", null}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        auto output = makeDeviceOutput(c.settings);
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
