#pragma once

// Turns a performance's ticks into sample frames and plays its events into a synthesiser at
// exactly those frames, for the WAV writer and the live player alike, so that both keep the
// same time.

#include "audio/Synth.h"
#include "score/Performance.h"

#include <cstdint>
#include <functional>
#include <string>

namespace quorlin::audio {

// Frames from tick 0 to `tick` at `tempo` beats per minute (taken into the tab's range).
std::int64_t framesAt(std::int64_t tick, int tempo);

class Scheduler {
public:
    explicit Scheduler(Synth& synth) : m_synth(synth) {}

    // Goes to `tick` of `performance`. The programs, controllers and bends before it are sent
    // at once so the channels sound as they would had it played from the start; the notes
    // before it are not.
    void start(const score::Performance& performance, std::int64_t tick);

    // Renders up to `frames` frames but never past `stopTick`, sending each event before
    // `stopTick` at its frame. Returns the frames rendered: fewer than asked when `stopTick`
    // was reached.
    int render(const score::Performance& performance, float* left, float* right, int frames,
               std::int64_t stopTick);

    // Goes on with `performance` from the present position: its events from here on are
    // heard, at its tempo. Notes sounding that it would never release are released now.
    void switchTo(const score::Performance& performance);

    // The tick sounding at the present frame.
    std::int64_t tick() const;
    // Frames rendered since the last start.
    std::int64_t frame() const { return m_frame; }
    bool reached(std::int64_t stopTick) const { return m_frame >= frameOf(stopTick); }
    bool sentAll(const score::Performance& performance) const
    {
        return m_next >= performance.events.size();
    }

private:
    std::int64_t frameOf(std::int64_t tick) const;
    void send(const score::Event& event);

    Synth& m_synth;
    std::size_t m_next = 0;       // the first event not sent
    std::int64_t m_lastSent = -1; // the tick of the last event sent on time
    int m_tempo = score::kDefaultTempo;
    std::int64_t m_anchorTick = 0; // frameOf(m_anchorTick) == m_anchorFrame
    std::int64_t m_anchorFrame = 0;
    std::int64_t m_frame = 0;
    // Which keys sound, channel by channel, so that a switch can release the orphans.
    std::uint64_t m_sounding[16][2] = {};
};

// Writes `performance` to a 16-bit stereo WAV file at kSampleRate: its start to its end and
// then the ring of the last notes, up to two seconds. `progress` is called now and then with
// the part done; false from it cancels. The file appears whole or not at all: on failure or
// cancel `path` is as it was, and `error` says why in one line.
bool renderWav(const score::Performance& performance, Synth& synth, const std::string& path,
               const std::function<bool(double fraction)>& progress, std::string& error);

} // namespace quorlin::audio
