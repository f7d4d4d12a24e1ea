#pragma once

// The time signature: how many beats of which note a bar holds. The tab's text has no bar
// lines, so it changes nothing there; it is saved with the tab and gives the MusicXML score
// its measures.

#include <optional>
#include <string>
#include <string_view>

namespace quorlin::engine {

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

// "3/4".
std::string timeSignatureText(TimeSignature time);
// "3/4" and nothing around it, a valid one only.
std::optional<TimeSignature> readTimeSignature(std::string_view text);

} // namespace quorlin::engine
