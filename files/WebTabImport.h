#pragma once

// Tabs as people post them on the web: a line of dashes and frets per string, systems one
// after another among prose, chord names and lyrics. They have no rhythm line, so the notes'
// spacing gives the durations, counted from the value the user gives the closest spacing.
// The notes are written by the engine's own writers, so the result is a tab like any other.
// No Qt here.

#include "instrument/Tuning.h"
#include "model/TimeSignature.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quorlin::files {

// Web tabs are a few kilobytes; up to here an import takes well under a second. The window
// and the command line refuse longer texts before reading them.
inline constexpr std::size_t kLargestWebTab = 2 * 1024 * 1024;

struct WebTabOptions {
    char smallest = 's'; // the duration of the closest spacing between two notes
    int tabWidth = 80;   // the width the engine fills its blocks to
};

// Where something could not be read as written, and what became of it.
struct WebTabProblem {
    int line = 0;   // in the input text, from 1
    int column = 0; // in bytes, from 1
    std::string what;

    bool operator==(const WebTabProblem&) const = default;
};

struct ImportedTab {
    instrument::StringCount strings;
    instrument::Tuning tuning;
    std::vector<std::string> lines; // the tab, block by block
    std::vector<WebTabProblem> problems;
    int notes = 0;       // notes written, chord notes each counted
    int stringLines = 0; // lines read as strings, of the tab or left out
    // A tab this program saved keeps the time signature its header gives.
    std::optional<model::TimeSignature> time;
};

// Empty lines and no notes when the text holds no tab that sounds. Never throws. Blocks this
// program wrote, with their rhythm lines, keep the durations, techniques, rests and triplets
// they had; the options are for tabs without a rhythm.
ImportedTab importWebTab(std::string_view text, const WebTabOptions& options);

// Whether the text holds blocks with a rhythm line, whose durations need no spacing.
bool hasRhythmLines(std::string_view text);

// Why an import with no note has none, after the text's name: "holds no tab lines: ...", or
// what was read and what became of the first thing left out.
std::string whyNoNotes(const ImportedTab& tab);

// "is longer than 2 MB, ...", after the text's name: said when a text that long is refused.
std::string tooLong();

// One line for the status bar: "12 notes imported; 2 problems, lines 7 to 9".
std::string importSummary(const ImportedTab& tab);

} // namespace quorlin::files
