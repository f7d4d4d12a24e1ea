#pragma once

// The instrument's set-up: which strings exist and what each is tuned to.
// No Qt here; the window shows these values through small ports.

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

namespace quorlin::instrument {

// Strings are numbered from 1 (the top row of the neck, the first string line of a block).
inline constexpr int kMinStrings = 4;
inline constexpr int kMaxStrings = 6;

// The names of strings 1..6. All six are kept whatever the string count, so going from
// six strings to five and back restores what the user had.
class Tuning {
public:
    Tuning();

    // Throws std::out_of_range outside 1..6: the table has six entries, no more.
    const std::string& at(int string) const;
    void set(int string, std::string name);

    // Six strings add a high C above the others, so the names move down one row; leaving
    // six strings moves them back up. Four and five strings share one order.
    void followStringCount(int from, int to);

    bool operator==(const Tuning&) const = default;

private:
    std::array<std::string, kMaxStrings> m_names;
};

// Clamped into 4..6 on the way in, so no count can address past the table.
class StringCount {
public:
    constexpr StringCount() = default;
    constexpr explicit StringCount(int n) :
        m_value(static_cast<std::uint8_t>(n < kMinStrings   ? kMinStrings
                                          : n > kMaxStrings ? kMaxStrings
                                                            : n))
    {
    }
    constexpr int value() const { return m_value; }
    constexpr bool operator==(const StringCount&) const = default;

private:
    std::uint8_t m_value = kMinStrings;
};

// The usual tuning of a string count: E A D G, a low B below on five, a high C above on six.
Tuning standardTuning(StringCount strings);

// "B E A D G": the names lowest string first, as the tab's tuning line shows them, a natural
// without its blank.
std::string tuningText(StringCount strings, const Tuning& tuning);
// Read back from the names lowest first, apart by blanks or commas; a flat is taken as the
// sharp the cycle names it by. Nothing when a name is no note or there are not 4 to 6.
std::optional<std::pair<StringCount, Tuning>> readTuningText(std::string_view text);

// The MIDI key a string sounds open: the pitch of its name nearest to the default pitch of
// its place (the lower one on a tie). -1 for a name that is no note.
int openPitch(int string, StringCount strings, std::string_view name);

} // namespace quorlin::instrument
