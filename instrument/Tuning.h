#pragma once

// The instrument's set-up: which strings exist and what each is tuned to.
// No Qt here; the window shows these values through small ports.

#include <array>
#include <cstdint>
#include <string>

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

} // namespace quorlin::instrument
