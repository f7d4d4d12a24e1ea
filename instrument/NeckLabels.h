#pragma once

#include "instrument/Tuning.h"

#include <array>
#include <string>
#include <vector>

namespace quorlin::instrument {

// Fixed column 0 names the open string; columns 1..24 are frets.
inline constexpr int kNeckColumns = 25;
inline constexpr int kFrets = kNeckColumns - 1;

// The texts around the neck's fret cells: the header column names the strings (row r names
// string r), the header row numbers the frets.
struct NeckLabels {
    std::vector<std::string> strings;
    std::array<std::string, kFrets> frets;

    bool operator==(const NeckLabels&) const = default;
};

NeckLabels LabelNeck(StringCount strings, const Tuning& tuning);

} // namespace quorlin::instrument
