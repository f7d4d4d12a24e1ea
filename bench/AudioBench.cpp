// The synthesiser's figures: a three-minute bass line written to WAV against FluidSynth's own
// command-line renderer on the same notes, the memory the font takes, and the device's
// buffer. One line per figure. With --live SECONDS FONT [PERIOD_FRAMES] it plays that line
// through the sound device as the window does, and counts the periods that came too late.

#include "audio/AudioOutput.h"
#include "audio/Level.h"
#include "audio/Player.h"
#include "audio/Render.h"
#include "audio/Synth.h"
#include "engine/Staff.h"
#include "engine/VectorTabText.h"
#include "files/MidiFile.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

using namespace quorlin;
namespace fs = std::filesystem;

namespace {

long rssKb()
{
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);) {
        if (line.rfind("VmRSS:", 0) == 0)
            return std::atol(line.c_str() + 6);
    }
    return -1;
}

double seconds(std::chrono::steady_clock::time_point since)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// Three minutes of eighths at 100 bpm written by the engine as a bassist would, every
// technique in turn, then read as music: the tab the export really gets.
score::Performance walkingBass()
{
    using engine::Technique;
    engine::VectorTabText text;
    engine::Staff staff(text);
    const int frets[] = {5, 7, 8, 7, 5, 3, 2, 3, 5, 7, 9, 10, 9, 7, 5, 3};
    const Technique techniques[] = {Technique::Plain,   Technique::HammerOn, Technique::Plain,
                                    Technique::PullOff, Technique::Slap,     Technique::Plain,
                                    Technique::SlideUp, Technique::Pop};
    for (int i = 0; i < 600; ++i)
        staff.Dropped({frets[i % 16], 2 + (i / 16) % 2, 'e', techniques[i % 8], false});
    const std::vector<std::string>& lines = text.lines();
    const std::vector<std::string_view> views(lines.begin(), lines.end());
    const engine::EditingState& state = staff.state();
    return score::perform(score::readScore(views, state.stringCount, state.tuning, 100));
}

// Run as a child: the resident memory with the whole font read, away from our own figures.
int wholeFontRss(const std::string& font)
{
    std::string error;
    const long before = rssKb();
    auto synth = audio::makeFluidSynth(font, audio::FluidSynthOptions{false}, error);
    if (!synth)
        return 1;
    std::printf("%ld %ld\n", before, rssKb());
    return 0;
}

// The device with each period's call timed, into room kept from the start: the audio thread
// must not allocate.
class TimedOutput final : public audio::AudioOutput {
public:
    TimedOutput(audio::AudioOutput& device, std::size_t room) : m_device(device), m_calls(room) {}

    bool start(audio::FillFunction fill, std::string& error) override
    {
        return m_device.start(
            [this, fill = std::move(fill)](float* left, float* right, int frames) {
                const std::size_t at = m_count.fetch_add(1, std::memory_order_relaxed);
                if (at < m_calls.size())
                    m_calls[at] = {std::chrono::steady_clock::now(), frames};
                fill(left, right, frames);
            },
            error);
    }
    void stop() override { m_device.stop(); }
    double latencySeconds() const override { return m_device.latencySeconds(); }

    struct Call {
        std::chrono::steady_clock::time_point at;
        int frames;
    };
    std::vector<Call> calls() const
    {
        const std::size_t count = std::min(m_count.load(), m_calls.size());
        return {m_calls.begin(), m_calls.begin() + static_cast<std::ptrdiff_t>(count)};
    }

private:
    audio::AudioOutput& m_device;
    std::vector<Call> m_calls;
    std::atomic<std::size_t> m_count{0};
};

// A period asked for later than the buffer lasts found the device with nothing left to play:
// the listener hears a hole. The first periods only fill the buffer.
int livePlayback(double length, const std::string& font, const audio::DeviceSettings& settings)
{
    std::string error;
    auto synth = audio::makeFluidSynth(font, error);
    if (!synth) {
        std::printf("audio: %s\n", error.c_str());
        return 1;
    }
    auto device = audio::makeDeviceOutput(settings);
    TimedOutput output(*device, static_cast<std::size_t>(length * audio::kSampleRate / 16) + 64);
    {
        audio::Player player(*synth, output);
        player.setPerformance(std::make_shared<const score::Performance>(walkingBass()));
        if (!player.play(0, error)) {
            std::printf("audio: %s\n", error.c_str());
            return 1;
        }
        std::this_thread::sleep_for(std::chrono::duration<double>(length));
        player.stop();
    }
    const auto calls = output.calls();
    const double buffer = output.latencySeconds();
    int late = 0;
    double worst = 0, sound = 0;
    for (std::size_t i = 1; i < calls.size(); ++i) {
        const double gap = std::chrono::duration<double>(calls[i].at - calls[i - 1].at).count();
        // The hole lasts as long as the gap outlasts what was still in the buffer.
        if (i > 8 && gap > buffer) {
            ++late;
            worst = std::max(worst, gap - buffer);
        }
        sound += double(calls[i - 1].frames) / audio::kSampleRate;
    }
    std::printf("audio: live %.0f s, %zu periods (%.1f s of sound), buffer %.1f ms, "
                "%d late, the longest hole %.0f ms\n",
                length, calls.size(), sound, buffer * 1000, late, worst * 1000);
    std::printf("live_late_periods %d\nlive_longest_hole %.0f\n", late, worst * 1e9);
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    std::string font = "/usr/share/sounds/sf2/FluidR3_GM.sf2";
    if (argc > 2 && std::string(argv[1]) == "--whole-font")
        return wholeFontRss(argv[2]);
    if (argc > 3 && std::string(argv[1]) == "--live") {
        // A period of another length, to weigh the buffer against what is heard.
        audio::DeviceSettings settings;
        if (argc > 4)
            settings.periodFrames = std::max(64, std::atoi(argv[4]));
        return livePlayback(std::atof(argv[2]), argv[3], settings);
    }
    if (argc > 1)
        font = argv[1];
    const int runs = 3;

    const auto performance = walkingBass();
    const double length =
        double(audio::framesAt(performance.endTick, performance.tempo)) / audio::kSampleRate;
    std::printf("audio: performance %.1f s, %zu events\n", length, performance.events.size());

    const long rssStart = rssKb();
    std::string error;
    auto loadStart = std::chrono::steady_clock::now();
    auto synth = audio::makeFluidSynth(font, error);
    const double load = seconds(loadStart);
    if (!synth) {
        std::printf("audio: %s\n", error.c_str());
        return 1;
    }
    const long rssLoaded = rssKb();

    const fs::path dir = fs::temp_directory_path() / "quorlin-audio-bench";
    fs::create_directories(dir);
    const auto ours = (dir / "ours.wav").string();
    std::vector<double> renders;
    for (int run = 0; run < runs; ++run) {
        const auto start = std::chrono::steady_clock::now();
        // As the export writes it: measured first, then written at its level.
        if (!audio::renderWavAtLevel(performance, *synth, ours, {}, error)) {
            std::printf("audio: %s\n", error.c_str());
            return 1;
        }
        renders.push_back(seconds(start));
    }
    const long rssRendered = rssKb();
    const double render = median(renders);

    const auto midi = (dir / "in.mid").string();
    std::ofstream(midi, std::ios::binary) << files::midiFileBytes(performance);
    const auto theirs = (dir / "cli.wav").string();
    const std::string command =
        "fluidsynth -ni -F '" + theirs + "' -r 44100 '" + font + "' '" + midi + "' >/dev/null 2>&1";
    std::vector<double> cli;
    for (int run = 0; run < runs; ++run) {
        const auto start = std::chrono::steady_clock::now();
        if (std::system(command.c_str()) != 0) {
            std::printf("audio: fluidsynth command failed: %s\n", command.c_str());
            cli.clear();
            break;
        }
        cli.push_back(seconds(start));
    }

    std::printf("audio: font load (presets in use only) %.3f s\n", load);
    std::printf("audio: renderWav %.3f s, %.0fx real time\n", render, length / render);
    if (!cli.empty()) {
        const double theirTime = median(cli);
        std::printf("audio: fluidsynth command line (load + render) %.3f s, %.0fx real time\n",
                    theirTime, length / theirTime);
        std::printf("audio: ours / command line, load + render %.2f (goal <= 1.2)\n",
                    (load + render) / theirTime);
    }
    // For the table: "name value", times in nanoseconds.
    std::printf("wav_ours %.0f\n", (load + render) * 1e9);
    if (!cli.empty())
        std::printf("wav_cli %.0f\n", median(cli) * 1e9);
    std::printf("font_rss_kb %ld\nfont_floor_kb %ld\n", rssLoaded, rssStart);
    std::printf("audio: RSS before the font %ld kB\n", rssStart);
    std::printf("audio: RSS font loaded %ld kB (+%ld)\n", rssLoaded, rssLoaded - rssStart);
    std::printf("audio: RSS after rendering %ld kB (+%ld)\n", rssRendered, rssRendered - rssStart);

    const std::string child =
        "'" + fs::read_symlink("/proc/self/exe").string() + "' --whole-font '" + font + "'";
    if (FILE* pipe = ::popen(child.c_str(), "r")) {
        long before = 0, after = 0;
        if (std::fscanf(pipe, "%ld %ld", &before, &after) == 2)
            std::printf("audio: RSS whole font loaded (no dynamic loading) %ld kB (+%ld)\n", after,
                        after - before);
        ::pclose(pipe);
    }

    const audio::DeviceSettings device;
    auto output = audio::makeDeviceOutput(device);
    std::printf("audio: device buffer %d frames x %d periods at %d Hz = %.1f ms\n",
                device.periodFrames, device.periods, audio::kSampleRate,
                output->latencySeconds() * 1000);
    std::printf("latency %.0f\n", output->latencySeconds() * 1e9);
    if (!std::getenv("QUORLIN_KEEP_BENCH_FILES"))
        fs::remove_all(dir);
    return 0;
}
