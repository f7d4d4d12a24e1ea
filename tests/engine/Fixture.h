#pragma once

#include "engine/Staff.h"
#include "engine/VectorTabText.h"
#include "tests/instrument/TableGrid.h"

#include <string>
#include <vector>

namespace quorlin::engine {

using Lines = std::vector<std::string>;

// The engine over a plain vector of lines and a neck that remembers its cells.
struct Fixture {
    explicit Fixture(Lines lines = {}) : text(std::move(lines)) {}

    DropOutcome drop(int column, int row, char symbol = 'q',
                     Technique technique = Technique::Default, bool dotted = false)
    {
        return staff.Dropped({column, row, symbol, technique, dotted});
    }

    VectorTabText text;
    instrument::testing::TableGrid neck;
    Staff staff{text, neck};
};

} // namespace quorlin::engine
