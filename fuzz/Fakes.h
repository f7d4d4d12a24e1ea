#pragma once

// The text port the engine writes through, with what the real window allows on top: the
// user can also edit it by hand. And what the neck widget can show of the engine's neck.

#include "engine/Staff.h"
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

// The grid widget has kNeckColumns columns and a row for each string below the fret numbers;
// the "X" must land on a string there, and the names must be those of the set-up.
inline void requireNeckFits(const engine::Staff& staff)
{
    const engine::NeckView& neck = staff.neck();
    const engine::EditingState& state = staff.state();
    QUORLIN_REQUIRE(neck.labels == instrument::LabelNeck(state.stringCount, state.tuning));
    if (neck.markRow == 0)
        return;
    QUORLIN_REQUIRE(neck.markRow >= 1 && neck.markRow < neck.rows());
    QUORLIN_REQUIRE(neck.markCol >= 0 && neck.markCol < instrument::kNeckColumns);
}

} // namespace quorlin::fuzz
