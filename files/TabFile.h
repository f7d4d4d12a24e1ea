#pragma once

// The tab file: a header section a person can read (width, tuning, song header, legend)
// followed by the tab lines with an empty line after every staff block. Lines end in
// CR LF. Text is written as UTF-8, so a file of plain ASCII is byte for byte what 8-bit
// writers produce; files that are not valid UTF-8 are read as Windows-1252.

#include "engine/Staff.h"
#include "engine/TabText.h"
#include "files/SongHeader.h"

#include <iosfwd>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace quorlin::files {

// A saved tab's first line opens with the mark; the header a person reads ends at the second
// rule.
inline constexpr std::string_view kTabFileMark = "FTH";
inline constexpr std::string_view kHeaderRule = "====================";
// Ends the comments of the song header.
inline constexpr std::string_view kCommentsEnd = "---";

// The whole file, built in one string: a long tab is saved in one write.
std::string tabFileText(std::span<const std::string_view> lines, const engine::EditingState& state,
                        const SongHeader& header);
// The song header as loading a saved file gives it back: each value on one line and UTF-8,
// a Ctrl-Z as its symbol, and one empty comment for none.
SongHeader headerAsSaved(const SongHeader& header);
void writeTabFile(std::ostream& out, const engine::TabText& tab, const engine::EditingState& state,
                  const SongHeader& header);

struct LoadedTab {
    // Without a header line the file is read as bare tab text: the caller warns the user,
    // and the string count, tuning and song header stay as they were.
    bool hasHeader = false;
    std::optional<SongHeader> header;
    engine::LoadedState state;
    std::vector<std::string> lines;
    // Each thing that was odd in the file, with what was assumed or done instead.
    std::vector<std::string> problems;
};

// What a header's "Time: 3/4" line gives, read as a load reads it; nothing for another line or
// a time signature that is no valid one.
std::optional<model::TimeSignature> savedTimeSignature(std::string_view line);

// `strings` and `tuning` are the set-up before the load: kept for a file without a header
// line, and for the strings a header line leaves unnamed.
LoadedTab readTabFile(std::string_view bytes, instrument::StringCount strings,
                      const instrument::Tuning& tuning);
LoadedTab readTabFile(std::istream& in, instrument::StringCount strings,
                      const instrument::Tuning& tuning);

} // namespace quorlin::files
