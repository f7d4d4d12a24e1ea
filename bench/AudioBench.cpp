// The synthesiser's figures: a three-minute bass line written to WAV against FluidSynth's own
// command-line renderer on the same notes, the memory the font takes, and the device's
// buffer. One line per figure.

#include "audio/AudioOutput.h"
#include "audio/Render.h"
#include "audio/Synth.h"
#include "files/MidiFile.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
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

score::Event event(std::int64_t tick, score::EventKind kind, int channel, int number, int value)
{
    score::Event e;
    e.tick = tick;
    e.kind = kind;
    e.channel = static_cast<std::uint8_t>(channel);
    e.number = static_cast<std::uint8_t>(number);
    e.value = static_cast<std::uint8_t>(value);
    return e;
}

// Three minutes of walking eighths at 100 bpm, every fourth beat slapped, a click on each beat.
score::Performance walkingBass()
{
    score::Performance p;
    p.tempo = 100;
    const int beats = 300;
    const int eighth = score::kTicksPerBeat / 2;
    const int walk[] = {33, 36, 38, 40, 43, 40, 38, 36, 31, 35, 38, 43, 41, 40, 38, 35};
    std::vector<score::Event> events = {
        event(0, score::EventKind::Program, score::kFingerChannel, score::kFingerProgram, 0),
        event(0, score::EventKind::Program, score::kSlapChannel, score::kSlapProgram, 0)};
    for (int i = 0; i < beats * 2; ++i) {
        const std::int64_t at = std::int64_t{i} * eighth;
        const int channel = (i % 8 == 6) ? score::kSlapChannel : score::kFingerChannel;
        const int key = walk[i % 16];
        events.push_back(event(at, score::EventKind::NoteOn, channel, key, 100));
        events.push_back(event(at + eighth * 9 / 10, score::EventKind::NoteOff, channel, key, 0));
        if (i % 2 == 0) {
            const int click = i % 8 == 0 ? 76 : 77;
            events.push_back(event(at, score::EventKind::NoteOn, score::kClickChannel, click, 90));
            events.push_back(
                event(at + 48, score::EventKind::NoteOff, score::kClickChannel, click, 0));
        }
    }
    std::stable_sort(events.begin(), events.end(), [](const auto& a, const auto& b) {
        if (a.tick != b.tick)
            return a.tick < b.tick;
        return a.kind == score::EventKind::NoteOff && b.kind != score::EventKind::NoteOff;
    });
    p.events = std::move(events);
    p.endTick = std::int64_t{beats} * score::kTicksPerBeat;
    return p;
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

} // namespace

int main(int argc, char** argv)
{
    std::string font = "/usr/share/sounds/sf2/FluidR3_GM.sf2";
    if (argc > 2 && std::string(argv[1]) == "--whole-font")
        return wholeFontRss(argv[2]);
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
        if (!audio::renderWav(performance, *synth, ours, {}, error)) {
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
    if (!std::getenv("QUORLIN_KEEP_BENCH_FILES"))
        fs::remove_all(dir);
    return 0;
}
