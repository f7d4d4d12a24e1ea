#pragma once

#include "instrument/Tuning.h"

#include <string>

namespace quorlin::instrument {

// Fixed column 0 names the open string; columns 1..24 are frets.
inline constexpr int kNeckColumns = 25;
inline constexpr int kFrets = kNeckColumns - 1;

// What labelling needs of the grid widget; tests plug in a plain table.
class NeckGrid {
public:
    virtual ~NeckGrid() = default;
    virtual void setRowCount(int rows) = 0;
    virtual void setCell(int column, int row, const std::string& text) = 0;
};

// Header row gets the fret numbers, header column the string names. Fret cells are left
// alone, so an "X" there survives a re-labelling.
void LabelNeck(NeckGrid& grid, StringCount strings, const Tuning& tuning);

} // namespace quorlin::instrument
