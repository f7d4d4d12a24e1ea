#include "instrument/NeckLabels.h"

namespace quorlin::instrument {

void LabelNeck(NeckGrid& grid, StringCount strings, const Tuning& tuning)
{
    grid.setRowCount(strings.value() + 1);
    for (int r = 1; r <= strings.value(); ++r)
        grid.setCell(0, r, tuning.at(r));
    for (int c = 1; c <= kFrets; ++c)
        grid.setCell(c, 0, std::to_string(c));
}

} // namespace quorlin::instrument
