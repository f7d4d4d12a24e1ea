#pragma once

// The recovery copy: the tab, its editing state and song header as they stand between two
// saves, so that a crash loses at most the last moments of work. Unlike the tab file it is for
// Quorlin alone and must give back exactly what the window held, byte for byte, or nothing.
//
// The copy is text, one field a line in a fixed order, each byte value written as its length,
// a colon and the bytes themselves, so no byte needs escaping:
//
//     Quorlin recovery copy 1
//     source 11:/home/a.tab
//     width 80
//     ...
//     lines 2
//     5:|   q
//     5:G --3
//     end 1a2b3c4d
//
// The last line holds the CRC-32 of everything before it: a copy cut short or changed
// anywhere is damaged as a whole.

#include "engine/Staff.h"
#include "files/SongHeader.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quorlin::files {

inline constexpr int kRecoveryFormat = 1;

struct Recovered {
    // The tab text, line by line, exactly as the text area held it.
    std::vector<std::string> lines;
    // Taken after Staff::follow(), so that it describes `lines`: a state the lines no longer
    // fit would put the next note outside the tab, and such a copy is refused.
    engine::Staff::Snapshot snapshot;
    SongHeader header;
    // The file last loaded or saved, UTF-8; empty for none.
    std::string sourcePath;

    bool operator==(const Recovered&) const = default;
};

std::string recoveryFileText(const Recovered& recovered);
// nullopt with `problem` in words for the user when the bytes are not a whole, valid copy.
std::optional<Recovered> readRecoveryFile(std::string_view bytes, std::string& problem);

} // namespace quorlin::files
