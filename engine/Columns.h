#pragma once

// The tab as a list of columns, for edits in the middle of it: read from the text the
// engine wrote, changed as a list, and written back with the engine's own writers, so that
// an edited tab is byte for byte the tab those columns would have made typed from the start.

#include "engine/Staff.h"
#include "engine/TabText.h"
#include "model/Song.h"
#include "tabtext/TabCodec.h"

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <utility>
#include <vector>

namespace quorlin::engine {

// A note of a column: the model's own, its technique and marks with it.
using ColumnNote = model::Note;

// A beat of the tab as the edits see it: the song's beat and where it stands in the text.
// Its first note carries the technique, then come the other notes of a chord by string; a
// triplet's own note comes first in its columns, all plain. `tripletPart` tells a triplet's
// columns: the beat's `triplet` is set where it is read and written, not by the edits.
struct Column : model::Beat {
    // A triplet's three columns share a group (the list index of its first column) and are
    // parts 0, 1, 2 of it; -1 outside a triplet. Only part 2 may hold chord notes.
    int tripletGroup = -1;

    // Where it stands in the text, as read; writing ignores these.
    int block = 0;
    int indexInBlock = 0;
    int firstLine = 0;
    int character = 0; // of its cell, on every line of the block

    char symbol() const { return tabtext::symbolOf(value); }
    void setSymbol(char symbol) { value = tabtext::valueOf(symbol); }
    // The same music, wherever it stands.
    bool sameAs(const Column& other) const;
};

// The columns of a tab made of whole blocks as the engine writes them, for the strings and
// width of `state`. Throws std::invalid_argument on text no writer of the engine makes (a
// line typed by hand, a triplet cut short).
std::vector<Column> readColumns(const TabText& text, const EditingState& state);

// Reads the columns again from the block of line `from` on, keeping those standing before
// it: after an edit that wrote the tab again from there.
void readColumnsFrom(const TabText& text, const EditingState& state, int from,
                     std::vector<Column>& columns);

// Whether the tab ends in the fill of a "New line" that no column follows yet.
bool endsWithNewLine(const TabText& text, const EditingState& state);

// Writes the columns after the end of the tab, as the user would have, then "New line" when
// asked. A slide that no longer follows a note on its string is written plain, since the
// engine refuses it. Throws std::invalid_argument on a list no user could type: a triplet
// not whole, a chord note outside a triplet's last column, two notes on one string, a
// string or fret off the neck.
void writeColumns(Staff& staff, std::span<const Column> columns, bool newLineAfter = false);

// Puts `edited` in place of `present` (the columns read from `text` now): the lines before
// the block the first change lands in stay as they are, the rest is written again, so the
// tab equals `edited` written on an empty tab with the same set-up; a "New line" the tab
// ended in stays at its end. The editing position is then taken from the text, as after a
// load. Returns the first line written again (the text's size when nothing changed).
int rewriteFrom(Staff& staff, TabText& text, const std::vector<Column>& present,
                const std::vector<Column>& edited);

// How an edit of one column reached the text.
enum class EditPath {
    Unchanged,
    // Only the cells of the edited column, and of the note after it when its slide changed,
    // were written: every cell is three characters, so new content always fits.
    InPlace,
    // A rest turned note, or a note opening a block turned rest: the engine opens a block
    // for a note that passes the width but not for a rest (and the first block's head tells
    // whether the tab starts with a rest), so the tab was written again from that block.
    Rewritten,
};

struct ColumnEdit {
    EditPath path = EditPath::Unchanged;
    // SlideRefused, as Staff::Dropped refuses it, when the new column slides from no note on
    // its string, NoNoteBefore when it hammers on or pulls off from none; nothing changed then.
    DropOutcome outcome = DropOutcome::Written;
    // The column after the edited one when its hammer-on, pull-off or slide no longer follows
    // a note on its string: it is a plain note now.
    std::vector<std::size_t> turnedPlain;
};

// Puts `column` in place of `columns[at]` (read from `text` now), keeping its place: its
// "New line" and where it stands are the old column's. A slide after it takes the direction
// or the plain note that writing the list from the start gives; `columns` follows the text.
// Throws std::invalid_argument for a triplet column on either side (a triplet is edited
// whole with rewriteFrom) and for a column no user could type.
ColumnEdit editColumn(Staff& staff, TabText& text, std::vector<Column>& columns, std::size_t at,
                      Column column);

// The usual edits, each through editColumn: the notes of the column become the one note
// (keeping the technique), the duration, the technique, a rest of the same duration.
ColumnEdit replaceNote(Staff& staff, TabText& text, std::vector<Column>& columns, std::size_t at,
                       ColumnNote note);
ColumnEdit changeDuration(Staff& staff, TabText& text, std::vector<Column>& columns, std::size_t at,
                          char symbol, bool dotted);
ColumnEdit changeTechnique(Staff& staff, TabText& text, std::vector<Column>& columns,
                           std::size_t at, Technique technique);
ColumnEdit makeRest(Staff& staff, TabText& text, std::vector<Column>& columns, std::size_t at);

// Hammer-ons, pull-offs and slides play from the note before them on the same string.
bool leansOnNoteBefore(Technique technique);
// Whether the note column before `at` (rests between count for nothing) has a note on the
// string of `at`'s first note, the one a hammer-on, pull-off or slide plays from.
bool hasNoteBefore(std::span<const Column> columns, std::size_t at);

// [first, last) grown to take in every triplet it cuts; an empty range inside a triplet moves
// before it.
std::pair<std::size_t, std::size_t> wholeTriplets(std::span<const Column> columns,
                                                  std::size_t first, std::size_t last);

// Columns [first, last), triplets whole, as a run to put elsewhere: the "New line" before its
// first column stays where it was.
std::vector<Column> copyColumns(std::span<const Column> columns, std::size_t first,
                                std::size_t last);

// When each column starts, in ticks from the start of the tab, and after them where the
// last one ends: one more than there are columns. A triplet's columns last two thirds of
// their value, as they are played.
std::vector<std::int64_t> columnStarts(std::span<const Column> columns);

// Bars for the tab cursor, over `starts` as columnStarts gives them and counted in `time`.
// The next bar's column: the first that starts in a later bar than columns[at]; none past
// the last bar, and none from `at` at the end (appending).
std::optional<std::size_t> nextBarColumn(std::span<const std::int64_t> starts, std::size_t at,
                                         TimeSignature time);
// The first column starting in the bar of columns[at] (of the end, for `at` at the end) when
// that is not `at` itself, else the first of the bar before it that holds a column's start.
std::optional<std::size_t> previousBarColumn(std::span<const std::int64_t> starts, std::size_t at,
                                             TimeSignature time);
// The column sounding where bar `bar` (from 1) begins; none past the tab's end.
std::optional<std::size_t> barColumn(std::span<const std::int64_t> starts, std::int64_t bar,
                                     TimeSignature time);
// The bars the columns reach into.
std::int64_t barCount(std::span<const std::int64_t> starts, TimeSignature time);

// The tab the columns make on their own, at the strings, tuning and width of `state`.
std::vector<std::string> tabOf(std::span<const Column> run, const EditingState& state);

struct Splice {
    // The columns taken out, grown to whole triplets, as indices of the list before.
    std::size_t first = 0;
    std::size_t last = 0;
    // Columns of the new list whose hammer-on, pull-off or slide no longer has its note
    // before it: they are plain notes now.
    std::vector<std::size_t> turnedPlain;
};

// Puts `run` in place of columns [first, last) (read from `text` now, the range grown to
// whole triplets): an insert when the range is empty, a removal when the run is. A "New
// line" before the first column taken out or put before stays before whatever stands there
// now. The tab is written again from the block of the change on, as rewriteFrom does, and
// `columns` follows it. Throws std::invalid_argument for a run no user could type.
Splice spliceColumns(Staff& staff, TabText& text, std::vector<Column>& columns, std::size_t first,
                     std::size_t last, std::vector<Column> run);

struct Transposition {
    // Nothing changed: a note would find no fret, or two notes of a chord one string.
    bool refused = false;
    // Where refused: each note that does not fit, as the column index and the note it was.
    std::vector<std::pair<std::size_t, ColumnNote>> misfits;
    // Columns whose hammer-on, pull-off or slide no longer follows a note on its string, now
    // plain notes.
    std::vector<std::size_t> turnedPlain;
};

// Moves every note of columns [first, last) by `semitones`, a triplet cut by the range taken
// whole. `openPitches[s - 1]` is string s's open pitch, as the score reads the tuning. A note
// keeps its string while the fret stays on the neck; else it goes to the string whose fret
// for the new pitch is nearest its old fret, the lower-pitched string on a tie, so a hand
// stays where it was on the neck. `placed`, when given, holds a place for each note of the
// range, column by column: a note goes there when it sounds the new pitch, by the rule above
// where it does not (string 0 where nothing was found). The tab is written again from the first
// changed block and `columns` read back from it.
Transposition transpose(Staff& staff, TabText& text, std::vector<Column>& columns,
                        std::size_t first, std::size_t last, int semitones,
                        std::span<const int> openPitches, std::span<const ColumnNote> placed = {});

} // namespace quorlin::engine
