#pragma once

// The ports the engine writes through, with what the real window allows on top: a text the
// user can also edit by hand, and a neck that refuses cells off its grid.

#include "engine/VectorTabText.h"
#include "fuzz/FuzzInput.h"
#include "instrument/NeckLabels.h"

#include <string>
#include <vector>

namespace quorlin::fuzz {

// Lines as in a vector, counting what the engine did to them since the last reset.
class HandTabText final : public engine::VectorTabText {
public:
    void replace(int index, const std::string& text) override
    {
        if (!holds(index)) {
            ++outsideReplaces;
            return;
        }
        replaced.push_back(index);
        VectorTabText::replace(index, text);
    }
    void extend(int index, std::string_view tail) override
    {
        if (!holds(index)) {
            ++outsideReplaces;
            return;
        }
        replaced.push_back(index);
        VectorTabText::extend(index, tail);
    }
    void append(const std::string& text) override
    {
        ++appends;
        VectorTabText::append(text);
    }

    void resetCounts()
    {
        outsideReplaces = appends = 0;
        replaced.clear();
    }

    // The user's own line edits are not counted; each is a level of undo, as in the window.
    void editLine(int index, const std::string& text) { VectorTabText::replace(index, text); }

    int outsideReplaces = 0;
    int appends = 0;
    std::vector<int> replaced;
};

// The grid widget has kNeckColumns columns and the rows it was last given.
class FuzzNeck final : public instrument::NeckGrid {
public:
    void setRowCount(int count) override
    {
        QUORLIN_REQUIRE(count > 0);
        rows = count;
    }
    void setCell(int column, int row, const std::string&) override
    {
        QUORLIN_REQUIRE(column >= 0 && column < instrument::kNeckColumns);
        QUORLIN_REQUIRE(row >= 0 && row < rows);
    }

    int rows = 0;
};

} // namespace quorlin::fuzz
