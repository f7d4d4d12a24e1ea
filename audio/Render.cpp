#include "audio/Render.h"

#include "audio/SoundModule.h"
#include "storage/AtomicFile.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>
#include <vector>

namespace quorlin::audio {

namespace {

// Past this many ticks (about two years at the slowest tempo) a tick means "no end", and
// the frame arithmetic below cannot overflow.
constexpr std::int64_t kFarTick = std::int64_t{1} << 40;
constexpr std::int64_t kFramesPerMinute = 60 * std::int64_t{kSampleRate};

int validTempo(int tempo)
{
    return std::clamp(tempo, score::kMinTempo, score::kMaxTempo);
}

std::int64_t floorDiv(std::int64_t a, std::int64_t b)
{
    const std::int64_t q = a / b;
    return (a % b != 0 && (a < 0) != (b < 0)) ? q - 1 : q;
}

} // namespace

std::int64_t framesAt(std::int64_t tick, int tempo)
{
    tick = std::clamp(tick, -kFarTick, kFarTick);
    return floorDiv(tick * kFramesPerMinute,
                    std::int64_t{validTempo(tempo)} * score::kTicksPerBeat);
}

std::int64_t Scheduler::frameOf(std::int64_t tick) const
{
    if (tick >= kFarTick)
        return std::numeric_limits<std::int64_t>::max();
    return m_anchorFrame + framesAt(tick, m_tempo) - framesAt(m_anchorTick, m_tempo);
}

std::int64_t Scheduler::tick() const
{
    const std::int64_t frames = m_frame - m_anchorFrame + framesAt(m_anchorTick, m_tempo);
    return floorDiv(frames * m_tempo * score::kTicksPerBeat, kFramesPerMinute);
}

void Scheduler::send(const score::Event& event)
{
    if (event.channel < 16 && event.number < 128) {
        const std::uint64_t bit = std::uint64_t{1} << (event.number % 64);
        std::uint64_t& word = m_sounding[event.channel][event.number / 64];
        if (event.kind == score::EventKind::NoteOn && event.value > 0)
            word |= bit;
        else if (event.kind == score::EventKind::NoteOn || event.kind == score::EventKind::NoteOff)
            word &= ~bit;
    }
    m_synth.send(event);
}

void Scheduler::start(const score::Performance& performance, std::int64_t tick)
{
    m_synth.allNotesOff();
    std::fill(&m_sounding[0][0], &m_sounding[0][0] + 32, 0);
    m_tempo = validTempo(performance.tempo);
    m_anchorTick = tick;
    m_anchorFrame = 0;
    m_frame = 0;
    m_lastSent = tick - 1;
    const auto& events = performance.events;
    m_next = 0;
    for (; m_next < events.size() && events[m_next].tick < tick; ++m_next) {
        const auto kind = events[m_next].kind;
        if (kind != score::EventKind::NoteOn && kind != score::EventKind::NoteOff)
            send(events[m_next]);
    }
}

int Scheduler::render(const score::Performance& performance, float* left, float* right, int frames,
                      std::int64_t stopTick)
{
    const auto& events = performance.events;
    const std::int64_t stopFrame = frameOf(stopTick);
    int done = 0;
    for (;;) {
        while (m_next < events.size() && events[m_next].tick < stopTick &&
               frameOf(events[m_next].tick) <= m_frame) {
            m_lastSent = events[m_next].tick;
            send(events[m_next++]);
        }
        std::int64_t until = std::min(m_frame + (frames - done), stopFrame);
        if (m_next < events.size() && events[m_next].tick < stopTick)
            until = std::min(until, frameOf(events[m_next].tick));
        if (until <= m_frame)
            return done;
        const int count = static_cast<int>(until - m_frame);
        m_synth.render(left + done, right + done, count);
        done += count;
        m_frame = until;
    }
}

void Scheduler::switchTo(const score::Performance& performance)
{
    const auto& events = performance.events;
    // The first tick not heard yet: an event of the old performance at the present frame
    // may have gone out already, and then its tick has.
    std::int64_t from = std::max(tick(), m_anchorTick);
    while (frameOf(from) < m_frame)
        ++from;
    from = std::max(from, m_lastSent + 1);
    const std::int64_t anchorFrame = frameOf(from);
    m_anchorTick = from;
    m_anchorFrame = anchorFrame;
    m_tempo = validTempo(performance.tempo);
    m_next = static_cast<std::size_t>(
        std::lower_bound(events.begin(), events.end(), from,
                         [](const score::Event& e, std::int64_t t) { return e.tick < t; }) -
        events.begin());

    // A note the old performance would have released but the new one never does.
    std::uint64_t pending[16][2];
    std::uint64_t release[16][2] = {};
    std::copy(&m_sounding[0][0], &m_sounding[0][0] + 32, &pending[0][0]);
    const auto anyPending = [&] {
        return std::any_of(&pending[0][0], &pending[0][0] + 32, [](auto w) { return w != 0; });
    };
    for (std::size_t i = m_next; i < events.size() && anyPending(); ++i) {
        const auto& e = events[i];
        if (e.channel >= 16 || e.number >= 128)
            continue;
        const std::uint64_t bit = std::uint64_t{1} << (e.number % 64);
        std::uint64_t& word = pending[e.channel][e.number / 64];
        if (!(word & bit))
            continue;
        if (e.kind == score::EventKind::NoteOn && e.value > 0)
            release[e.channel][e.number / 64] |= bit; // struck again before any release
        if (e.kind == score::EventKind::NoteOn || e.kind == score::EventKind::NoteOff)
            word &= ~bit;
    }
    for (int i = 0; i < 32; ++i)
        (&release[0][0])[i] |= (&pending[0][0])[i];
    for (int channel = 0; channel < 16; ++channel) {
        for (int key = 0; key < 128; ++key) {
            if (release[channel][key / 64] & (std::uint64_t{1} << (key % 64))) {
                score::Event off;
                off.kind = score::EventKind::NoteOff;
                off.channel = static_cast<std::uint8_t>(channel);
                off.number = static_cast<std::uint8_t>(key);
                send(off);
            }
        }
    }
}

} // namespace quorlin::audio

namespace quorlin::audio {

namespace {

constexpr int kBlock = 4096;
constexpr std::int64_t kMaxTail = 2 * std::int64_t{kSampleRate};
constexpr float kSilence = 1e-4f; // about -80 dB, below the last bit of a 16-bit file

std::string cannotWrite(const std::string& path, const std::string& why)
{
    return "Cannot write " + path + ": " + why;
}

} // namespace

bool renderWav(const score::Performance& performance, Synth& synth, const std::string& path,
               const std::function<bool(double fraction)>& progress, std::string& error)
{
    storage::AtomicFile target;
    std::string why;
    if (!target.open(path, {}, why)) {
        error = cannotWrite(path, why);
        return false;
    }
    std::unique_ptr<WavWriter> file;
    const auto fail = [&](const std::string& reason) {
        file.reset();
        target.abandon();
        error = reason;
        return false;
    };
    const SoundPorts* ports = soundPorts(why);
    if (!ports)
        return fail(why);
    file = ports->wav(target.fd(), why);
    if (!file)
        return fail(cannotWrite(path, why));

    const std::int64_t endTick = std::max(performance.endTick, performance.startTick);
    const int tempo = performance.tempo;
    const std::int64_t body = framesAt(endTick, tempo) - framesAt(performance.startTick, tempo);
    const double total = static_cast<double>(body + kMaxTail);

    std::vector<float> left(kBlock), right(kBlock), frames(2 * kBlock);
    Scheduler scheduler(synth);
    scheduler.start(performance, performance.startTick);
    std::int64_t written = 0;
    std::int64_t tail = 0;
    int blocks = 0;
    for (;;) {
        const bool inBody = !scheduler.reached(endTick);
        // Past the end the events at the end (the last releases) still go out.
        const int count =
            inBody ? scheduler.render(performance, left.data(), right.data(), kBlock, endTick)
                   : scheduler.render(performance, left.data(), right.data(), kBlock, kFarTick);
        float peak = 0.0f;
        for (int i = 0; i < count; ++i) {
            frames[2 * i] = left[i];
            frames[2 * i + 1] = right[i];
            peak = std::max({peak, std::abs(left[i]), std::abs(right[i])});
        }
        if (!file->write(frames.data(), count, why))
            return fail(cannotWrite(path, why));
        written += count;
        if (!inBody) {
            tail += count;
            if (tail >= kMaxTail || (peak < kSilence && scheduler.sentAll(performance)))
                break;
        }
        if (++blocks % 16 == 0 && progress && !progress(static_cast<double>(written) / total))
            return fail("Cancelled");
    }
    // Shut the notes off so the synthesiser is quiet for whoever plays next.
    synth.allNotesOff();

    if (!file->finish(why))
        return fail(cannotWrite(path, why));
    file.reset();
    if (!target.commit(why)) {
        error = cannotWrite(path, why);
        return false;
    }
    if (progress)
        progress(1.0);
    return true;
}

} // namespace quorlin::audio
