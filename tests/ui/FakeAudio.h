#pragma once

// A synthesiser that only notes what it is sent, behind a clock that keeps real time: the
// window plays without a sound font or a sound device.

#include "audio/AudioOutput.h"
#include "audio/Synth.h"
#include "ui/play/LivePlayback.h"

#include <algorithm>
#include <memory>
#include <mutex>
#include <vector>

namespace quorlin::ui::testing {

class FakeSynth final : public audio::Synth {
public:
    struct Log {
        std::mutex mutex;
        std::vector<score::Event> events;

        std::vector<score::Event> taken()
        {
            const std::lock_guard lock(mutex);
            return events;
        }
        std::vector<int> keysOn()
        {
            std::vector<int> keys;
            for (const score::Event& e : taken()) {
                if (e.kind == score::EventKind::NoteOn && e.channel != score::kClickChannel)
                    keys.push_back(e.number);
            }
            return keys;
        }
    };

    explicit FakeSynth(std::shared_ptr<Log> log) : m_log(std::move(log)) {}
    void send(const score::Event& event) override
    {
        const std::lock_guard lock(m_log->mutex);
        m_log->events.push_back(event);
    }
    void allNotesOff() override {}
    void render(float* left, float* right, int frames) override
    {
        std::fill_n(left, frames, 0.0f);
        std::fill_n(right, frames, 0.0f);
    }

private:
    std::shared_ptr<Log> m_log;
};

class DeadOutput final : public audio::AudioOutput {
public:
    bool start(audio::FillFunction, std::string& error) override
    {
        error = "No sound device: none here";
        return false;
    }
    void stop() override {}
    double latencySeconds() const override { return 0; }
};

// `fontError` set: the font fails to load with it. `device` false: there is no sound device.
// `check`: what trying a font apart says of it.
inline AudioDevices fakeDevices(std::shared_ptr<FakeSynth::Log> log, std::string fontError = {},
                                bool device = true,
                                std::function<audio::FontCheck(const std::string&)> check = {})
{
    return {
        [log, fontError](const std::string&, std::string& error) -> std::unique_ptr<audio::Synth> {
            error = fontError;
            if (!fontError.empty())
                return nullptr;
            return std::make_unique<FakeSynth>(log);
        },
        [device]() -> std::unique_ptr<audio::AudioOutput> {
            if (!device)
                return std::make_unique<DeadOutput>();
            return std::make_unique<audio::ClockOutput>(256);
        },
        std::move(check)};
}

inline AudioDevices silentDevices()
{
    return fakeDevices(std::make_shared<FakeSynth::Log>());
}

} // namespace quorlin::ui::testing
