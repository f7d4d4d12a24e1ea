#pragma once

#include "instrument/NeckLabels.h"

#include <gtest/gtest.h>

#include <map>

namespace quorlin::instrument::testing {

// A neck that remembers what was written where, and fails a test that writes off the grid.
class TableGrid : public NeckGrid {
public:
    void setRowCount(int count) override { rows = count; }
    void setCell(int column, int row, const std::string& text) override
    {
        EXPECT_TRUE(column >= 0 && column < kNeckColumns && row >= 0 && row < rows)
            << "cell (" << column << ", " << row << ") is off the grid";
        cells[{column, row}] = text;
    }
    std::string at(int column, int row) const
    {
        return cells.contains({column, row}) ? cells.at({column, row}) : "";
    }

    int rows = 0;
    std::map<std::pair<int, int>, std::string> cells;
};

} // namespace quorlin::instrument::testing
