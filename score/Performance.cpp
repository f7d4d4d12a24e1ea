#include "score/Performance.h"

#include <algorithm>
#include <cmath>

namespace quorlin::score {

namespace {

constexpr std::uint8_t kPluckVelocity = 100;
constexpr std::uint8_t kLegatoVelocity = 70; // hammer-on and pull-off: no new pluck
constexpr std::uint8_t kSlideVelocity = 85;  // the same pluck carried on, a little softer
constexpr std::uint8_t kSlapVelocity = 110;
constexpr std::uint8_t kPopVelocity = 110;
constexpr std::uint8_t kClickVelocity = 90;
constexpr std::uint8_t kReleaseVelocity = 64;

// How far the note before a hammer-on or pull-off rings into it, and never past half of it,
// so that a short legato note is still heard on its own.
constexpr std::int64_t kLegatoOverlap = 15;
// A slide's glide lasts at most an eighth of a beat: the bend moves every note on the
// finger channel, so it has to be over before the next one starts.
constexpr std::int64_t kGlideTicks = kTicksPerBeat / 8;
constexpr int kGlideSteps = 4;
// With no note before it on its string, a slide starts this far below (or above) its note.
constexpr int kSlideFromNowhere = 2;
constexpr std::int64_t kClickTicks = kTicksPerBeat / 8;

constexpr std::uint8_t kLegatoPedal = 68;
constexpr std::uint8_t kDataEntry = 6;
constexpr std::uint8_t kDataEntryFine = 38;
constexpr std::uint8_t kRpnFine = 100;
constexpr std::uint8_t kRpnCoarse = 101;
constexpr std::uint8_t kRpnNull = 127;

// A note as it sounds: the interval from its NoteOn to its NoteOff.
struct Sounding {
    std::int64_t on = 0;
    std::int64_t off = 0;
    std::int32_t column = 0;
    std::int32_t before = -1; // the sounding before it on its string, if performed
    int fromPitch = -1;       // the last pitch played on its string before it, performed or not
    Technique technique = Technique::Plain;
    std::uint8_t channel = 0;
    std::uint8_t key = 0;
    std::uint8_t velocity = 0;
};

std::uint8_t channelOf(Technique t)
{
    switch (t) {
    case Technique::Slap:
        return kSlapChannel;
    case Technique::Pop:
        return kPopChannel;
    default:
        return kFingerChannel;
    }
}

std::uint8_t velocityOf(Technique t)
{
    switch (t) {
    case Technique::HammerOn:
    case Technique::PullOff:
        return kLegatoVelocity;
    case Technique::SlideUp:
    case Technique::SlideDown:
        return kSlideVelocity;
    case Technique::Slap:
        return kSlapVelocity;
    case Technique::Pop:
        return kPopVelocity;
    case Technique::Plain:
        break;
    }
    return kPluckVelocity;
}

std::uint8_t midiByte(int value)
{
    return static_cast<std::uint8_t>(std::clamp(value, 0, 127));
}

// Strings are few and small numbers; a table indexed by them grows when one is larger.
template <typename T> T& slot(std::vector<T>& table, int string, T empty)
{
    const auto index = static_cast<std::size_t>(std::max(string, 0));
    if (index >= table.size())
        table.resize(index + 1, empty);
    return table[index];
}

int kindRank(EventKind kind)
{
    switch (kind) {
    case EventKind::NoteOff:
        return 0;
    case EventKind::Program:
        return 1;
    case EventKind::Controller:
        return 2;
    case EventKind::PitchBend:
        return 3;
    case EventKind::NoteOn:
        break;
    }
    return 4;
}

class Builder {
public:
    Builder(const Score& score, const PerformOptions& options) : m_score(score), m_options(options)
    {
    }

    Performance run();

private:
    void collect(std::size_t first, std::size_t end);
    void overlapLegato();
    void pedalLegato();
    void glideSlides();
    void addClicks(std::int64_t start, std::int64_t end);
    void addSetup(std::int64_t tick);
    bool othersSilentAround(std::size_t index, std::int64_t until) const;

    void add(std::int64_t tick, EventKind kind, std::uint8_t channel, std::uint8_t number,
             std::uint8_t value, std::int16_t bend = 0, std::int32_t column = -1)
    {
        m_events.push_back({tick, kind, channel, number, value, bend, column});
    }
    void controller(std::int64_t tick, std::uint8_t channel, std::uint8_t number,
                    std::uint8_t value)
    {
        add(tick, EventKind::Controller, channel, number, value);
    }

    const Score& m_score;
    const PerformOptions& m_options;
    std::vector<Sounding> m_sounding; // in the order of their NoteOns
    std::vector<Event> m_events;
};

Performance Builder::run()
{
    const std::size_t count = m_score.columns.size();
    const std::size_t first = std::min(m_options.firstColumn, count);
    const std::size_t end = std::clamp(m_options.endColumn, first, count);

    Performance performance;
    performance.tempo = m_score.tempo;
    performance.startTick = first < count ? m_score.columns[first].start : m_score.length;
    performance.endTick = performance.startTick;
    for (std::size_t c = first; c < end; ++c) {
        const Column& column = m_score.columns[c];
        performance.endTick = std::max(performance.endTick, column.start + column.length);
    }

    // First, so that the sort keeps it ahead of what a first column brings at the same tick.
    if (m_options.setup)
        addSetup(performance.startTick);
    collect(first, end);
    overlapLegato();
    pedalLegato();
    glideSlides();
    if (m_options.metronome)
        addClicks(performance.startTick, performance.endTick);
    for (const Sounding& s : m_sounding) {
        add(s.on, EventKind::NoteOn, s.channel, s.key, s.velocity, 0, s.column);
        add(s.off, EventKind::NoteOff, s.channel, s.key, kReleaseVelocity, 0, s.column);
    }

    std::stable_sort(m_events.begin(), m_events.end(), [](const Event& a, const Event& b) {
        return a.tick != b.tick ? a.tick < b.tick : kindRank(a.kind) < kindRank(b.kind);
    });
    performance.events = std::move(m_events);
    return performance;
}

void Builder::collect(std::size_t first, std::size_t end)
{
    // The pitch each string last played, so a slide at the start of a range still glides
    // from where the hand was.
    std::vector<int> lastPitch;
    for (std::size_t c = 0; c < first; ++c) {
        for (const Note& note : m_score.columns[c].notes)
            slot(lastPitch, note.string, -1) = note.pitch;
    }

    std::vector<std::int32_t> lastSounding;
    for (std::size_t c = first; c < end; ++c) {
        const Column& column = m_score.columns[c];
        if (column.rest || column.length <= 0)
            continue;
        for (const Note& note : column.notes) {
            Sounding s;
            s.on = column.start;
            s.off = column.start + column.length;
            s.column = static_cast<std::int32_t>(c);
            s.technique = note.technique;
            s.channel = channelOf(note.technique);
            s.key = midiByte(note.pitch);
            s.velocity = velocityOf(note.technique);

            int& pitch = slot(lastPitch, note.string, -1);
            s.fromPitch = pitch;
            pitch = note.pitch;

            std::int32_t& last = slot(lastSounding, note.string, std::int32_t{-1});
            if (last >= 0) {
                Sounding& before = m_sounding[static_cast<std::size_t>(last)];
                before.off = std::min(before.off, s.on);
                s.before = last;
            }
            last = static_cast<std::int32_t>(m_sounding.size());
            m_sounding.push_back(s);
        }
    }
}

// The note before a hammer-on or pull-off lets go a moment after the new one sounds, as a
// finger on the string does; not when that moment would cut a later note of the same key.
void Builder::overlapLegato()
{
    for (std::size_t i = 0; i < m_sounding.size(); ++i) {
        const Sounding& s = m_sounding[i];
        if (!isLegato(s.technique) || s.before < 0)
            continue;
        Sounding& before = m_sounding[static_cast<std::size_t>(s.before)];
        if (before.off != s.on || before.key == s.key)
            continue;
        const std::int64_t until = s.on + std::min(kLegatoOverlap, (s.off - s.on) / 2);
        bool clear = true;
        for (std::size_t j = i + 1; j < m_sounding.size() && m_sounding[j].on <= until; ++j) {
            const Sounding& o = m_sounding[j];
            clear = clear && !(o.channel == before.channel && o.key == before.key);
        }
        if (clear)
            before.off = until;
    }
}

// FluidSynth plays a channel monophonically while the legato pedal is down, so the pedal is
// only pressed when nothing else on the finger channel sounds or starts around the tie.
void Builder::pedalLegato()
{
    // The latest NoteOff on the finger channel among the soundings before each one.
    std::vector<std::int64_t> latestOff(m_sounding.size() + 1, 0);
    std::int64_t latest = 0;
    for (std::size_t i = 0; i < m_sounding.size(); ++i) {
        latestOff[i] = latest;
        if (m_sounding[i].channel == kFingerChannel)
            latest = std::max(latest, m_sounding[i].off);
    }

    for (std::size_t i = 0; i < m_sounding.size(); ++i) {
        const Sounding& s = m_sounding[i];
        if (!isLegato(s.technique) || s.channel != kFingerChannel || s.before < 0)
            continue;
        const Sounding& before = m_sounding[static_cast<std::size_t>(s.before)];
        if (before.off <= s.on || before.channel != kFingerChannel)
            continue; // nothing rings into it on this channel to tie to
        // The synthesiser ties to the last NoteOn of the channel: it must be the one before.
        std::size_t j = i;
        bool alone = true;
        while (alone && j > 0 && m_sounding[j - 1].on >= before.on) {
            --j;
            const Sounding& o = m_sounding[j];
            alone = o.channel != kFingerChannel || j == static_cast<std::size_t>(s.before);
        }
        if (!alone || latestOff[j] > s.on || !othersSilentAround(i, before.off))
            continue;
        controller(s.on, kFingerChannel, kLegatoPedal, 127);
        controller(before.off, kFingerChannel, kLegatoPedal, 0);
    }
}

// True when no other note of the finger channel starts with `index` or after it to `until`.
bool Builder::othersSilentAround(std::size_t index, std::int64_t until) const
{
    const std::int64_t on = m_sounding[index].on;
    for (std::size_t j = index; j > 0 && m_sounding[j - 1].on == on; --j) {
        if (m_sounding[j - 1].channel == kFingerChannel)
            return false;
    }
    for (std::size_t j = index + 1; j < m_sounding.size() && m_sounding[j].on <= until; ++j) {
        if (m_sounding[j].channel == kFingerChannel)
            return false;
    }
    return true;
}

// The note sounds at its own pitch, bent to start from the pitch before it and brought back
// to the centre in a few steps. One glide per column: the bend is the whole channel's.
void Builder::glideSlides()
{
    std::int32_t glidedColumn = -1;
    for (std::size_t i = 0; i < m_sounding.size(); ++i) {
        const Sounding& s = m_sounding[i];
        if (!isSlide(s.technique) || s.column == glidedColumn)
            continue;
        int from = s.fromPitch;
        if (from < 0)
            from = s.key +
                   (s.technique == Technique::SlideUp ? -kSlideFromNowhere : kSlideFromNowhere);
        const int semitones = std::clamp(from - s.key, -kBendRange, kBendRange);
        if (semitones == 0)
            continue;

        std::int64_t glide = std::min(kGlideTicks, (s.off - s.on) / 2);
        for (std::size_t j = i + 1; j < m_sounding.size(); ++j) {
            if (m_sounding[j].channel == kFingerChannel && m_sounding[j].on > s.on) {
                glide = std::min(glide, m_sounding[j].on - s.on);
                break;
            }
        }
        if (glide <= 0)
            continue;
        glidedColumn = s.column;
        const double full = semitones * 8192.0 / kBendRange;
        for (int k = 0; k < kGlideSteps; ++k) {
            const double bend = std::round(full * (kGlideSteps - k) / kGlideSteps);
            add(s.on + glide * k / kGlideSteps, EventKind::PitchBend, kFingerChannel, 0, 0,
                static_cast<std::int16_t>(std::clamp(bend, -8192.0, 8191.0)));
        }
        add(s.on + glide, EventKind::PitchBend, kFingerChannel, 0, 0, 0);
    }
}

// On the tab's own beats, so a range starting within a beat clicks on the next one.
void Builder::addClicks(std::int64_t start, std::int64_t end)
{
    const std::int64_t firstBeat = (start + kTicksPerBeat - 1) / kTicksPerBeat * kTicksPerBeat;
    for (std::int64_t beat = std::max<std::int64_t>(firstBeat, 0); beat < end;
         beat += kTicksPerBeat) {
        add(beat, EventKind::NoteOn, kClickChannel, kClickKey, kClickVelocity);
        add(std::min(beat + kClickTicks, end), EventKind::NoteOff, kClickChannel, kClickKey,
            kReleaseVelocity);
    }
}

void Builder::addSetup(std::int64_t tick)
{
    add(tick, EventKind::Program, kFingerChannel, kFingerProgram, 0);
    add(tick, EventKind::Program, kSlapChannel, kSlapProgram, 0);
    add(tick, EventKind::Program, kPopChannel, kPopProgram, 0);
    // Registered parameter 0, the bend range, then the null parameter so that no later
    // data entry changes it.
    controller(tick, kFingerChannel, kRpnCoarse, 0);
    controller(tick, kFingerChannel, kRpnFine, 0);
    controller(tick, kFingerChannel, kDataEntry, kBendRange);
    controller(tick, kFingerChannel, kDataEntryFine, 0);
    controller(tick, kFingerChannel, kRpnCoarse, kRpnNull);
    controller(tick, kFingerChannel, kRpnFine, kRpnNull);
    // A loop can come back here in the middle of a glide or a tie.
    controller(tick, kFingerChannel, kLegatoPedal, 0);
    add(tick, EventKind::PitchBend, kFingerChannel, 0, 0, 0);
}

} // namespace

Performance perform(const Score& score, const PerformOptions& options)
{
    return Builder(score, options).run();
}

} // namespace quorlin::score
