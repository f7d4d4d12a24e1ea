#pragma once

// The tablature engine. A tab is a run of staff blocks, each StringCount + 2 lines of
// TabText: the rhythm line, one line per string (string 1 first) and the articulation
// line. Every writer adds the same number of characters to every line of the current
// block (three per note or rest, nine per triplet), so character p of the rhythm line
// stands above character p of every other line. Writers never insert or remove single
// lines: blocks are appended whole at the end and lines are otherwise changed in place.
// The user may change the text behind the engine's back (typing, pasting, undo). Before an
// action the engine then takes its position from the text as a load does; when the last
// lines are no block of the present strings, the next column opens a block after them.

#include "engine/Position.h"
#include "engine/TabText.h"
#include "instrument/NeckLabels.h"
#include "instrument/Tuning.h"
#include "model/Song.h"
#include "model/TimeSignature.h"
#include "tabtext/TabFormat.h"
#include "tabtext/TextWidth.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace quorlin::engine {

// The engine writes the tab text's own vocabulary and keeps the song's time signature.
using namespace quorlin::tabtext;
using model::BarBeat;
using model::TimeSignature;

inline constexpr int kDefaultTabWidth = model::kDefaultWidth;
inline constexpr int kMaxTabWidth = model::kMaxWidth;
// A block filled to the widest width, and the note that opens the next, fit a line.
static_assert(kLongestLine > kMaxTabWidth + 2 * kCellWidth);

using model::kDefaultTempo;
using model::kMaxTempo;
using model::kMinTempo;

using model::Technique;

// How the neck puts a note in: a note of its own, a note added to the column before (a
// chord), or three of it as a triplet. The neck's mode, not a technique of the note.
enum class Entry : std::uint8_t { Single, Chord, Triplet };

// What the neck offers, in the order of its choices: a plain note, five techniques, then the
// chord and triplet entries.
struct NeckChoice {
    Technique technique;
    Entry entry;
};
inline constexpr NeckChoice kNeckChoices[] = {
    {Technique::Plain, Entry::Single},   {Technique::HammerOn, Entry::Single},
    {Technique::PullOff, Entry::Single}, {Technique::SlideUp, Entry::Single},
    {Technique::Slap, Entry::Single},    {Technique::Pop, Entry::Single},
    {Technique::Plain, Entry::Chord},    {Technique::Plain, Entry::Triplet}};

struct Drop {
    int column = 0; // the fret; column 0 of the neck is the open string
    int row = 0;    // the string
    char symbol = 'q';
    // A slide takes its direction from the note before it, whichever is asked.
    Technique technique = Technique::Plain;
    bool dotted = false;
    Entry entry = Entry::Single;
};

enum class DropOutcome {
    Ignored, // not on a string: nothing changed
    Written,
    SlideRefused, // a slide must stay on the string of the last note
    ChordRefused, // a chord note needs the column's duration and another string
    // A hammer-on or pull-off put in the middle of a tab needs a note before it on its string;
    // at the end the engine writes one anywhere, as it always has.
    NoNoteBefore,
};

struct EditingState {
    int blockStart = 0;
    // 0: no note since start or Clear.
    int lastString = 0;
    int lastFret = 0;
    int tabWidth = kDefaultTabWidth;
    // Change nothing in the text but are saved with it.
    int tempo = kDefaultTempo;
    TimeSignature time = {};
    // Neck cell holding the "X" marker; column 0 also means "no marker".
    int markCol = 0;
    int markRow = 0;
    instrument::Tuning tuning;
    instrument::StringCount stringCount;
    // String count, tuning and width may change only while the tab is empty.
    bool setupUnlocked = true;
    // Chords need a note to stack on.
    bool chordAvailable = false;

    bool operator==(const EditingState&) const = default;
};

// What the neck shows, kept with the engine so that the window only has to draw it.
struct NeckView {
    instrument::NeckLabels labels;
    // The cell with the "X"; row 0 when none shows: before the first drop, or once the
    // labels were written over it.
    int markCol = 0;
    int markRow = 0;

    // Differs whenever the labels did, across every staff of the run: the neck redraws
    // them only then, without comparing every name and number after each note.
    std::uint64_t labelsVersion = 0;

    int rows() const { return static_cast<int>(labels.strings.size()) + 1; }
    // A name or a fret number, "X" on the marked cell, else nothing.
    std::string cell(int column, int row) const;

    bool operator==(const NeckView& other) const
    {
        return labels == other.labels && markCol == other.markCol && markRow == other.markRow;
    }
};

// What a tab read from a file sets, besides its lines; the editing position the engine
// takes from the lines themselves.
struct LoadedState {
    int tabWidth = kDefaultTabWidth;
    int tempo = kDefaultTempo;
    instrument::StringCount stringCount;
    instrument::Tuning tuning;
    TimeSignature time = {};
};

class Staff {
public:
    explicit Staff(TabText& text);

    const EditingState& state() const { return m_state; }
    const NeckView& neck() const { return m_neck; }

    // What undo puts back: the editing state with what the engine made of the text.
    struct Snapshot {
        EditingState state;
        bool needsBlock = false;
        bool strippedBlanks = false;

        bool operator==(const Snapshot&) const = default;
    };
    Snapshot snapshot() const { return {m_state, m_needsBlock, m_strippedBlanks}; }
    // The text holds again what it held when the snapshot was taken; the neck shows its
    // labels and its "X".
    void restore(const Snapshot& snapshot);
    // A snapshot kept outside the history (a recovery copy) may not describe the text it
    // comes with: where the two disagree on where the next note goes, the position comes from
    // the text, as after a hand edit. What the text cannot tell (the chord's last note, the
    // marker, the set-up) is kept. True when the whole snapshot was kept.
    bool restoreChecked(const Snapshot& snapshot);
    // The text changed in a way no snapshot describes: the next action takes the position
    // from the text.
    void forgetPosition() { m_known = false; }
    // Takes the editing position from the text now if it changed behind the engine; every
    // action does so anyway before it writes.
    void follow();

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
    // Taken into kMinTempo..kMaxTempo. The tempo may change at any time.
    void setTempo(int bpm);
    // Anything but a valid one is taken as 4/4, as in a file. It may change at any time.
    void setTimeSignature(TimeSignature time);
    // Taken into 4..6; the tuning moves with a change to or from six strings.
    void setStringCount(int count);
    // The set-up kept from an earlier run: taken as it is, nothing shifts.
    void restoreSetup(instrument::StringCount count, const instrument::Tuning& tuning);
    // Names string 1..StringCount; the name is cut or padded to its two characters.
    void retune(int string, std::string_view name);
    // The neck takes the string names and fret numbers of the set-up. A name covers an "X" on
    // its open string, and a string taken away takes its "X" along, until the next drop.
    void LabelNeck();

    // Appends the lines of a loaded tab and takes over its set-up; the editing position comes
    // from the text as it then stands. The set-up stays locked until Clear.
    void adoptLoaded(const std::vector<std::string>& lines, const LoadedState& loaded);

    // A duration dropped on the neck: marks the cell, locks the set-up and writes a note,
    // a chord note or a triplet.
    DropOutcome Dropped(const Drop& drop);
    void WriteTriplet(int string, int fret, char symbol, bool dotted);
    void setRest(char symbol, bool dotted);
    // Copies the last column (or the last three, for a triplet) to the end of the tab.
    void RepeatLast(bool triplet);
    // Takes back the fill of "New line" if the block ends in it, else the last note or the
    // whole triplet it ends. The last note is then the one now last in the tab.
    void GoBack();
    // The string line of the current block that holds the last note.
    int LastNoteLine() const;

private:
    // New labels for the set-up, with a new version only when they differ.
    void takeLabels();
    // Every action on the text runs inside one: the position is made to fit the text first,
    // and what the action leaves is remembered as the engine's own.
    class Following {
    public:
        explicit Following(Staff& staff);
        ~Following();
        Following(const Following&) = delete;
        Following& operator=(const Following&) = delete;

    private:
        Staff& m_staff;
    };

    void followText();
    void takePositionFromText();
    // Whether the lines at BlockStart are a block of the present strings.
    bool holdsBlock();
    // Whether the text ends in a block these strings can write on. Before the block grows,
    // its rhythm and articulation lines get back the trailing blanks an editor may have
    // stripped, so that its columns stay aligned.
    bool blockToWriteOn();
    // The note now last: in the current block, or else in the nearest block before it.
    LastNote lastNoteFrom(int start) const;
    LastNote lastNoteOfBlock(int start) const;

    void openFirstBlock(std::string_view articulationPrefix);
    void openNewBlock();
    void writeTriplet(int string, int fret, char symbol, bool dotted);
    int stringCount() const { return m_state.stringCount.value(); }
    int blockLines() const { return blockLineCount(stringCount()); }
    int articulationLine() const { return m_state.blockStart + stringCount() + 1; }
    long long rhythmLength() const;
    bool overflows(int columnWidth) const;
    // Opens the block a column this wide goes into: after lines that are no block, or past
    // the width (filling the full one first).
    void openBlockFor(int columnWidth);
    // "New line" for the block starting at `start`.
    void fillBlock(int start);
    void appendBlock(std::string_view articulationPrefix);
    void extendLine(int index, std::string_view tail);
    void cutLine(int index, std::size_t count);
    void moveMarker(int column, int row);
    DropOutcome chordNote(const Drop& drop);
    DropOutcome singleNote(const Drop& drop);

    TabText& m_text;
    EditingState m_state;
    NeckView m_neck;
    // The text's revision after the engine's last action; unknown until the first one.
    bool m_known = false;
    std::uint64_t m_revision = 0;
    // The text's last lines are no block of the present strings.
    bool m_needsBlock = false;
    bool m_strippedBlanks = false;
};

} // namespace quorlin::engine
