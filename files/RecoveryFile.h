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
#include "engine/TabText.h"
#include "files/SongHeader.h"

#include <cstdint>
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

// What an offer shows of a copy, read from its first bytes and its end line alone: a copy of
// any size is offered at once. Only a restore reads it whole and checks its sum.
struct RecoveryPreview {
    std::string sourcePath;
    // The start of the first tab line, whole characters; empty when the head did not reach it.
    std::string firstWords;
    // Lines of the tab; -1 when the head did not reach the count.
    long long lineCount = -1;
};
// Enough for every field before the tab's lines in any copy Quorlin writes.
inline constexpr std::size_t kRecoveryHeadBytes = 64 * 1024;
// "end " and the sum and the line end.
inline constexpr std::size_t kRecoveryTailBytes = 13;
inline constexpr std::size_t kPreviewCharacters = 60;
// `head` is the copy's first kRecoveryHeadBytes (all of it when shorter), `tail` its last
// kRecoveryTailBytes, `size` its length. nullopt with `problem` when what was read already
// shows the copy damaged.
std::optional<RecoveryPreview> previewRecoveryFile(std::string_view head, std::string_view tail,
                                                   std::uint64_t size, std::string& problem);

// Puts a copy into an empty text and the engine. A line break inside a line, or a character the
// text area takes for one, would split the line and move every line after it: each becomes
// U+FFFD. The editing state is then checked against the text, as after a hand edit. The number
// of characters replaced.
std::size_t restoreRecovered(const Recovered& recovered, engine::TabText& text,
                             engine::Staff& staff);

} // namespace quorlin::files
