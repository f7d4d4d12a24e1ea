#include "instrument/NeckLabels.h"
#include "tests/instrument/TableGrid.h"

#include <gtest/gtest.h>

namespace quorlin::instrument {
namespace {

using testing::TableGrid;

TEST(LabelNeck, NamesEveryStringAndNumbersEveryFret)
{
    for (int count : {4, 5, 6}) {
        Tuning tuning;
        tuning.followStringCount(4, count);
        TableGrid grid;
        LabelNeck(grid, StringCount(count), tuning);

        EXPECT_EQ(grid.rows, count + 1);
        for (int r = 1; r <= count; ++r)
            EXPECT_EQ(grid.at(0, r), tuning.at(r)) << count << " strings, row " << r;
        for (int c = 1; c <= kFrets; ++c)
            EXPECT_EQ(grid.at(c, 0), std::to_string(c));
        EXPECT_EQ(grid.cells.count({0, 0}), 0u) << "the corner is never written";
    }
}

} // namespace
} // namespace quorlin::instrument
