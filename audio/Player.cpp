#include "audio/Player.h"

#include <algorithm>
#include <utility>

namespace quorlin::audio {

namespace {

const score::Performance& emptyPerformance()
{
    static const score::Performance empty;
    return empty;
}

// Stop fades the sound out over this many frames (3 ms) instead of cutting it with a click.
constexpr int kFadeFrames = 128;

} // namespace

Player::Player(Synth& synth, AudioOutput& output) :
    m_synth(synth), m_output(output), m_scheduler(synth)
{
}

Player::~Player()
{
    if (m_open)
        m_output.stop();
}

void Player::setPerformance(std::shared_ptr<const score::Performance> performance)
{
    m_handedStart = performance ? performance->startTick : 0;
    std::shared_ptr<const score::Performance> oldPending, oldRetired;
    {
        std::lock_guard lock(m_handOver);
        oldPending = std::exchange(m_pending, std::move(performance));
        oldRetired = std::exchange(m_retired, nullptr);
        m_hasPending.store(true, std::memory_order_release);
    }
    // The old ones die here, out of the lock, never on the audio thread.
}

void Player::takeNewPerformance()
{
    if (!m_hasPending.load(std::memory_order_acquire))
        return;
    std::unique_lock lock(m_handOver, std::try_to_lock);
    if (!lock.owns_lock())
        return; // next period
    m_retired = std::exchange(m_performance, std::move(m_pending));
    m_pending = nullptr;
    m_hasPending.store(false, std::memory_order_relaxed);
    if (m_sounding)
        m_scheduler.switchTo(m_performance ? *m_performance : emptyPerformance());
}

bool Player::open(std::string& error)
{
    if (m_open)
        return true;
    m_latencyFrames = static_cast<std::int64_t>(m_output.latencySeconds() * kSampleRate);
    m_open = m_output.start(
        [this](float* left, float* right, int frames) { fill(left, right, frames); }, error);
    return m_open;
}

bool Player::play(std::int64_t fromTick, std::string& error)
{
    fromTick = std::max<std::int64_t>(fromTick, 0);
    m_finished.store(false);
    m_paused.store(false);
    m_tick.store(fromTick);
    // The audio thread takes the tick before it sees the player active.
    m_seek.store(fromTick);
    m_active.store(true);
    if (open(error))
        return true;
    m_active.store(false);
    m_seek.store(-1);
    return false;
}

void Player::pause()
{
    m_paused.store(true);
}

void Player::resume()
{
    m_paused.store(false);
}

void Player::stop()
{
    m_active.store(false);
    m_seek.store(-1);
    m_paused.store(false);
    m_finished.store(false);
    m_tick.store(m_handedStart);
}

void Player::setLoop(bool on, std::int64_t startTick, std::int64_t endTick)
{
    m_loopStart.store(startTick);
    m_loopEnd.store(endTick);
    m_loop.store(on && endTick > startTick);
}

bool Player::playing() const
{
    return m_active.load() && !m_paused.load() && !m_finished.load();
}

void Player::fadeOut(float* left, float* right, int frames)
{
    m_synth.render(left, right, frames);
    for (int i = 0; i < frames; ++i) {
        const float gain = i < kFadeFrames ? 1.0f - float(i) / kFadeFrames : 0.0f;
        left[i] *= gain;
        right[i] *= gain;
    }
    m_synth.allSoundsOff();
}

void Player::fill(float* left, float* right, int frames)
{
    takeNewPerformance();
    // A performance handed over just before Play and not taken yet is waited for a period:
    // starting the one before would play the old tab.
    const bool ready = m_active.load() && !m_hasPending.load(std::memory_order_acquire);
    const std::int64_t seek = ready ? m_seek.exchange(-1) : -1;
    if (seek >= 0) {
        const auto& performance = m_performance ? *m_performance : emptyPerformance();
        m_scheduler.start(performance, seek);
        m_segmentStart = seek;
        m_silenced = false;
        m_sounding = true;
    }
    if (!m_active.load()) {
        // Stopped: the buffers stay silent and the synthesiser is left alone.
        if (std::exchange(m_sounding, false))
            fadeOut(left, right, frames);
        return;
    }
    if (m_sounding)
        play(m_performance ? *m_performance : emptyPerformance(), left, right, frames);
}

void Player::play(const score::Performance& performance, float* left, float* right, int frames)
{
    if (m_paused.load() || m_finished.load()) {
        // The notes ring out and the synthesiser goes quiet; the position holds.
        if (!m_silenced)
            m_synth.allNotesOff();
        m_silenced = true;
        m_synth.render(left, right, frames);
        return;
    }
    m_silenced = false;
    int done = 0;
    while (done < frames) {
        const std::int64_t loopStart = m_loopStart.load();
        const std::int64_t loopEnd = m_loopEnd.load();
        // A loop read half-changed could be empty, and would spin here.
        const bool loop = m_loop.load() && loopEnd > loopStart;
        const std::int64_t stopTick = loop ? loopEnd : performance.endTick;
        done += m_scheduler.render(performance, left + done, right + done, frames - done, stopTick);
        if (done < frames || m_scheduler.reached(stopTick)) {
            if (loop) {
                m_scheduler.start(performance, loopStart);
                m_segmentStart = loopStart;
            } else {
                m_synth.allNotesOff();
                m_silenced = true;
                m_finished.store(true);
                m_tick.store(performance.endTick);
                if (done < frames)
                    m_synth.render(left + done, right + done, frames - done);
                return;
            }
        }
    }
    // What is heard lags what was rendered by the output's buffer.
    const std::int64_t heard =
        m_scheduler.tick() - m_latencyFrames * std::max(performance.tempo, 1) *
                                 score::kTicksPerBeat / (60 * std::int64_t{kSampleRate});
    m_tick.store(std::max(heard, m_segmentStart), std::memory_order_relaxed);
}

} // namespace quorlin::audio
