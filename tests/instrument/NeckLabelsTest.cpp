#include "instrument/NeckLabels.h"

#include <gtest/gtest.h>

#include <map>
#include <utility>

namespace quorlin::instrument {
namespace {

// A grid that remembers what was written where.
class TableGrid : public NeckGrid {
public:
    void setRowCount(int rows) override { this->rows = rows; }
    void setCell(int column, int row, const std::string& text) override
    {
        ASSERT_GE(column, 0);
        ASSERT_LT(column, kNeckColumns);
        ASSERT_GE(row, 0);
        ASSERT_LT(row, rows) << "written past the rows the grid has";
        cells[{column, row}] = text;
    }
    std::string at(int column, int row) const
    {
        auto it = cells.find({column, row});
        return it == cells.end() ? std::string() : it->second;
    }

    int rows = 0;
    std::map<std::pair<int, int>, std::string> cells;
};

TEST(LabelNeck, NamesEveryStringAndNumbersEveryFret)
{
    for (int count : {4, 5, 6}) {
        Tuning tuning;
        tuning.followStringCount(4, count);
        TableGrid grid;
        labelNeck(grid, StringCount(count), tuning);

        EXPECT_EQ(grid.rows, count + 1);
        for (int r = 1; r <= count; ++r)
            EXPECT_EQ(grid.at(0, r), tuning.at(r)) << count << " strings, row " << r;
        for (int c = 1; c <= kFrets; ++c)
            EXPECT_EQ(grid.at(c, 0), std::to_string(c));
        EXPECT_EQ(grid.cells.count({0, 0}), 0u) << "the corner is never written";
    }
}

TEST(LabelNeck, AMarkerOnAFretSurvivesButOneOnAStringNameGivesWay)
{
    TableGrid grid;
    grid.rows = 5;
    grid.cells[{7, 2}] = "X";
    grid.cells[{0, 3}] = "X";
    labelNeck(grid, StringCount(4), Tuning());
    EXPECT_EQ(grid.at(7, 2), "X");
    EXPECT_EQ(grid.at(0, 3), "A ");
}

} // namespace
} // namespace quorlin::instrument
