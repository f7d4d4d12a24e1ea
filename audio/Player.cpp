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

} // namespace

Player::Player(Synth& synth, AudioOutput& output) :
    m_synth(synth), m_output(output), m_scheduler(synth)
{
}

Player::~Player()
{
    stop();
}

void Player::setPerformance(std::shared_ptr<const score::Performance> performance)
{
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
    if (m_running)
        m_scheduler.switchTo(m_performance ? *m_performance : emptyPerformance());
}

bool Player::play(std::int64_t fromTick, std::string& error)
{
    m_finished.store(false);
    m_paused.store(false);
    if (m_running) {
        m_seek.store(std::max<std::int64_t>(fromTick, 0));
        return true;
    }
    // The output is not running, so this thread may drive the synthesiser.
    m_seek.store(-1);
    takeNewPerformance();
    const auto& performance = m_performance ? *m_performance : emptyPerformance();
    m_scheduler.start(performance, fromTick);
    m_segmentStart = fromTick;
    m_silenced = false;
    m_tick.store(fromTick);
    m_latencyFrames = static_cast<std::int64_t>(m_output.latencySeconds() * kSampleRate);
    m_running = true;
    if (!m_output.start(
            [this](float* left, float* right, int frames) { fill(left, right, frames); }, error)) {
        m_running = false;
        return false;
    }
    return true;
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
    if (m_running)
        m_output.stop();
    m_running = false;
    m_synth.allNotesOff();
    m_paused.store(false);
    m_finished.store(false);
    m_seek.store(-1);
    takeNewPerformance();
    m_tick.store(m_performance ? m_performance->startTick : 0);
}

void Player::setLoop(bool on, std::int64_t startTick, std::int64_t endTick)
{
    m_loopStart.store(startTick);
    m_loopEnd.store(endTick);
    m_loop.store(on && endTick > startTick);
}

bool Player::playing() const
{
    return m_running && !m_paused.load() && !m_finished.load();
}

void Player::fill(float* left, float* right, int frames)
{
    takeNewPerformance();
    const auto& performance = m_performance ? *m_performance : emptyPerformance();
    const std::int64_t seek = m_seek.exchange(-1);
    if (seek >= 0) {
        m_scheduler.start(performance, seek);
        m_segmentStart = seek;
        m_silenced = false;
    }
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
