#pragma once

// The tablature engine. A tab is a run of staff blocks, each StringCount + 2 lines of
// TabText: the rhythm line, one line per string (string 1 first) and the articulation
// line. Every writer adds the same number of characters to every line of the current
// block (three per note or rest, nine per triplet), so character p of the rhythm line
// stands above character p of every other line. Writers never insert or remove single
// lines: blocks are appended whole at the end and lines are otherwise changed in place.
// Lines the user damaged by hand read empty or short; the engine never writes outside the
// current block because of them.

#include "engine/TabText.h"
#include "instrument/NeckLabels.h"
#include "instrument/Tuning.h"

#include <string>
#include <string_view>
#include <vector>

namespace quorlin::engine {

inline constexpr int kDefaultTabWidth = 80;
// Far wider than any tab, yet small enough that filling a block to it stays cheap.
inline constexpr int kMaxTabWidth = 4096;

inline constexpr std::string_view kRhythmPrefix = "| ";
// Every line of a block starts with a two-character head: the rhythm mark, a string's name
// or the articulation mark.
inline constexpr std::size_t kHeadLength = kRhythmPrefix.size();
inline constexpr std::string_view kArticulationPrefix = "> ";
// The first block of a tab that starts with a rest.
inline constexpr std::string_view kRestArticulationPrefix = "  ";

// The palette's durations: sixteenth, eighth, quarter, half, whole.
bool isDurationSymbol(char symbol);

enum class Technique { Default, HammerOn, PullOff, Slide, Slap, Pop, Chord, Triplet };

struct Drop {
    int column = 0; // the fret; column 0 of the neck is the open string
    int row = 0;    // the string
    char symbol = 'q';
    Technique technique = Technique::Default;
    bool dotted = false;
};

enum class DropOutcome {
    Ignored, // not on a string: nothing changed
    Written,
    SlideRefused, // a slide must stay on the string of the last note
    ChordRefused, // a chord note needs the column's duration and another string
};

struct EditingState {
    int blockStart = 0;
    // 0: no note since start or Clear.
    int lastString = 0;
    int lastFret = 0;
    int tabWidth = kDefaultTabWidth;
    // Neck cell holding the "X" marker; column 0 also means "no marker".
    int markCol = 0;
    int markRow = 0;
    instrument::Tuning tuning;
    instrument::StringCount stringCount;
    // String count, tuning and width may change only while the tab is empty.
    bool setupUnlocked = true;
    // Chords need a note to stack on.
    bool chordAvailable = false;
};

// What a tab read from a file sets, besides its lines.
struct LoadedState {
    int tabWidth = kDefaultTabWidth;
    instrument::StringCount stringCount;
    instrument::Tuning tuning;
    int blockStart = 0;
    int lastString = 0;
    int lastFret = 0;
};

class Staff {
public:
    Staff(TabText& text, instrument::NeckGrid& neck) : m_text(text), m_neck(neck) {}

    const EditingState& state() const { return m_state; }

    // Opens the first block of an empty tab; the prefix is the articulation line's.
    void FirstBlock(std::string_view articulationPrefix);
    // Appends the next block after the current one and makes it current.
    void NewBlock();
    // Fills every line of the current block to one character past the tab width. A block
    // already past the width is left alone, so a second call changes nothing.
    void JumpLine();
    // Erases the tab once the user has confirmed. Tuning, string count and marker stay.
    void Clear();

    // Widths above kMaxTabWidth are taken as kMaxTabWidth; zero and below stay as given.
    void setTabWidth(int width);
    // Taken into 4..6; the tuning moves with a change to or from six strings.
    void setStringCount(int count);
    // The set-up kept from an earlier run: taken as it is, nothing shifts.
    void restoreSetup(instrument::StringCount count, const instrument::Tuning& tuning);
    // Names string 1..StringCount; the name is cut or padded to its two characters.
    void retune(int string, std::string_view name);
    // Writes the string names and fret numbers around the neck's fret cells.
    void LabelNeck();

    // Appends the lines of a loaded tab and takes over its set-up and editing position; the
    // set-up stays locked until Clear.
    void adoptLoaded(const std::vector<std::string>& lines, const LoadedState& loaded);

    // A duration dropped on the neck: marks the cell, locks the set-up and writes a note,
    // a chord note or a triplet.
    DropOutcome Dropped(const Drop& drop);
    void WriteTriplet(int string, int fret, char symbol, bool dotted);
    void setRest(char symbol, bool dotted);
    // Copies the last column (or the last three, for a triplet) to the end of the tab.
    void RepeatLast(bool triplet);
    // Deletes the last note, or the whole triplet it ends, from the current block.
    void GoBack();
    // The string line of the current block that holds the last note.
    int LastNoteLine() const;

private:
    int stringCount() const { return m_state.stringCount.value(); }
    int blockLines() const { return stringCount() + 2; }
    int articulationLine() const { return m_state.blockStart + stringCount() + 1; }
    long long rhythmLength() const;
    bool overflows(int columnWidth) const;
    // Fills the block and opens the next one when a column this wide would not fit.
    void newBlockIfFull(int columnWidth);
    // "New line" for the block starting at `start`.
    void fillBlock(int start);
    void appendBlock(std::string_view articulationPrefix);
    void extendLine(int index, std::string_view tail);
    void cutLine(int index, std::size_t count);
    void moveMarker(int column, int row);
    DropOutcome chordNote(const Drop& drop);
    DropOutcome singleNote(const Drop& drop);

    TabText& m_text;
    instrument::NeckGrid& m_neck;
    EditingState m_state;
};

} // namespace quorlin::engine
