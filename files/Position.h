#pragma once

#include <string>
#include <vector>

namespace quorlin::files {

struct EditingPosition {
    int blockStart = 0;
    int lastString = 0; // 0: the last block holds no note
    int lastFret = 0;
};

// Where editing goes on in a loaded tab: its last block, and the last note in it.
EditingPosition impliedPosition(const std::vector<std::string>& lines, int stringCount);

} // namespace quorlin::files
