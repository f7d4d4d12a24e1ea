#pragma once

// Where live sound goes: a sound device, or a clock that keeps time and throws the sound
// away, for tests and for machines without a device.

#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <thread>

namespace quorlin::audio {

// Fills `frames` frames of left and right. Called on the output's own thread.
using FillFunction = std::function<void(float* left, float* right, int frames)>;

class AudioOutput {
public:
    virtual ~AudioOutput() = default;
    // Starts calling `fill`; false with `error` set when the output cannot start.
    virtual bool start(FillFunction fill, std::string& error) = 0;
    // Returns once `fill` is no longer called and will not be again.
    virtual void stop() = 0;
    // How long a frame takes from `fill` to the listener.
    virtual double latencySeconds() const = 0;
};

// Calls `fill` a period at a time at the pace of real time, on a thread of its own.
class ClockOutput final : public AudioOutput {
public:
    explicit ClockOutput(int periodFrames = 512) : m_periodFrames(periodFrames) {}
    ~ClockOutput() override { stop(); }
    ClockOutput(const ClockOutput&) = delete;
    ClockOutput& operator=(const ClockOutput&) = delete;

    bool start(FillFunction fill, std::string& error) override;
    void stop() override;
    double latencySeconds() const override;

private:
    int m_periodFrames;
    std::atomic<bool> m_running{false};
    std::thread m_thread;
};

struct DeviceSettings {
    std::string driver; // a FluidSynth audio driver name; empty for its default, then ALSA
    std::string device; // for ALSA, e.g. "default" or "null"; empty for the driver's default
    // 93 ms in all: a sound server that is not itself real-time (PulseAudio's protocol
    // thread) stalls for a good part of that on a busy machine, and every stall longer than
    // the buffer is heard as a hole.
    int periodFrames = 1024;
    int periods = 4;
};

// A sound device through FluidSynth's audio drivers. Starting fails with "No sound device:
// ..." when there is none.
std::unique_ptr<AudioOutput> makeDeviceOutput(const DeviceSettings& settings = {});

} // namespace quorlin::audio
