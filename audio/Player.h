#pragma once

// Live playback: a performance played through a synthesiser into an output, on the output's
// thread. The output runs from open() (or the first play) to the player's end, silent while
// stopped, so that Play and Stop are heard within one period: opening and closing a sound
// device can take a second under load. Every call here is for the user-interface thread and
// none of them waits for the sound; only open() and the destructor wait for the device.

#include "audio/AudioOutput.h"
#include "audio/Render.h"
#include "audio/Synth.h"
#include "score/Performance.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

namespace quorlin::audio {

class Player {
public:
    // Both must outlive the player; the player alone drives them from now on.
    Player(Synth& synth, AudioOutput& output);
    ~Player();
    Player(const Player&) = delete;
    Player& operator=(const Player&) = delete;

    // Any time, even while playing: what is still to come is heard from the new one, at its
    // tempo.
    void setPerformance(std::shared_ptr<const score::Performance> performance);

    // Starts the output, silent until play(); false with `error` set when it cannot start.
    bool open(std::string& error);
    // Plays from `fromTick`, opening the output first if need be; false with `error` set when
    // it cannot start.
    bool play(std::int64_t fromTick, std::string& error);
    void pause();
    void resume();
    // Silence within a period, and back to the start of the performance.
    void stop();
    // On, reaching `endTick` goes back to `startTick`.
    void setLoop(bool on, std::int64_t startTick, std::int64_t endTick);

    // The tick being heard now, for the window to follow.
    std::int64_t tick() const { return m_tick.load(std::memory_order_relaxed); }
    bool playing() const;
    bool paused() const { return m_paused.load(std::memory_order_relaxed); }
    // Played to the end without a loop.
    bool finished() const { return m_finished.load(std::memory_order_relaxed); }

private:
    void fill(float* left, float* right, int frames);
    void play(const score::Performance& performance, float* left, float* right, int frames);
    void fadeOut(float* left, float* right, int frames);
    void takeNewPerformance();

    Synth& m_synth;
    AudioOutput& m_output;
    Scheduler m_scheduler;

    // Handed over from the user-interface thread; the audio thread only try-locks it, and the
    // performance it replaces is freed by the user-interface thread on its next hand-over.
    std::mutex m_handOver;
    std::shared_ptr<const score::Performance> m_pending;
    std::shared_ptr<const score::Performance> m_retired;
    std::atomic<bool> m_hasPending{false};
    // Only the audio thread touches this while the output runs.
    std::shared_ptr<const score::Performance> m_performance;
    // The last one handed over, for the position a stop goes back to; user-interface thread.
    std::int64_t m_handedStart = 0;

    bool m_open = false;                  // the output runs; user-interface thread only
    std::atomic<std::int64_t> m_seek{-1}; // a tick to play from, or -1
    std::atomic<bool> m_active{false};    // playing or paused, not stopped
    std::atomic<bool> m_paused{false};
    bool m_sounding = false; // audio thread: the scheduler plays, and the synthesiser may ring
    bool m_silenced = false; // audio thread: notes shut off since the pause
    std::atomic<bool> m_finished{false};
    std::atomic<bool> m_loop{false};
    std::atomic<std::int64_t> m_loopStart{0};
    std::atomic<std::int64_t> m_loopEnd{0};
    std::atomic<std::int64_t> m_tick{0};
    std::int64_t m_segmentStart = 0; // audio thread: the tick the sound last started or jumped to
    std::int64_t m_latencyFrames = 0;
};

} // namespace quorlin::audio
