#pragma once

// The time signature: how many beats of which note a bar holds. The tab's text has no bar
// lines, so it changes nothing there; it is saved with the tab and gives the MusicXML score
// its measures.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace quorlin::model {

// Time is counted in ticks, 480 to the quarter-note beat: every duration the tab can write,
// triplets and dots included, is a whole number of them.
inline constexpr int kTicksPerBeat = 480;

struct TimeSignature {
    int beats = 4;
    int beatType = 4;

    bool operator==(const TimeSignature&) const = default;
};

inline constexpr int kMaxBeats = 32;
inline constexpr int kMaxBeatType = 32;

// 1 to 32 beats of a whole, half, quarter... down to a thirty-second note.
constexpr bool isValid(TimeSignature time)
{
    return time.beats >= 1 && time.beats <= kMaxBeats && time.beatType >= 1 &&
           time.beatType <= kMaxBeatType && (time.beatType & (time.beatType - 1)) == 0;
}

// What the window offers, the most common first.
inline constexpr TimeSignature kTimeSignatureChoices[] = {{4, 4}, {3, 4}, {2, 4}, {2, 2}, {5, 4},
                                                          {6, 8}, {7, 8}, {9, 8}, {12, 8}};

// A bar's length and a beat's in ticks; an invalid signature counts as 4/4, which is what
// the window then shows.
std::int64_t ticksPerBar(TimeSignature time);
std::int64_t ticksPerBeat(TimeSignature time);

// Where a tick of the tab falls: bar and beat counted from 1, and the ticks past that beat.
struct BarBeat {
    std::int64_t bar = 1;
    int beat = 1;
    std::int64_t past = 0;

    bool operator==(const BarBeat&) const = default;
};
BarBeat barBeatAt(std::int64_t tick, TimeSignature time);
// The first tick of a bar counted from 1.
std::int64_t barStart(std::int64_t bar, TimeSignature time);
// "bar 3, beat 2", or "bar 3, beat 2.5" between beats (two decimals at most).
std::string barBeatText(std::int64_t tick, TimeSignature time);

// "3/4".
std::string timeSignatureText(TimeSignature time);
// "3/4" and nothing around it, a valid one only.
std::optional<TimeSignature> readTimeSignature(std::string_view text);

} // namespace quorlin::model
