#pragma once

// The tablature engine. A tab is a run of staff blocks, each StringCount + 2 lines of
// TabText: the rhythm line, one line per string (string 1 first) and the articulation
// line. Every writer adds the same number of characters to every line of the current
// block, so character p of the rhythm line stands above character p of every other line.
// Writers never insert or remove single lines: blocks are appended whole at the end and
// lines are otherwise extended in place.

#include "engine/TabText.h"
#include "instrument/Tuning.h"

#include <string>
#include <string_view>

namespace quorlin::engine {

inline constexpr int kDefaultTabWidth = 80;
// Far wider than any tab, yet small enough that filling a block to it stays cheap.
inline constexpr int kMaxTabWidth = 4096;

inline constexpr std::string_view kRhythmPrefix = "| ";
inline constexpr std::string_view kArticulationPrefix = "> ";
// The first block of a tab that starts with a rest.
inline constexpr std::string_view kRestArticulationPrefix = "  ";

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
    // String count, tuning and width may change only until the first note.
    bool setupUnlocked = true;
    // Chords need a note to stack on.
    bool chordAvailable = false;
};

class Staff {
public:
    explicit Staff(TabText& text) : m_text(text) {}

    const EditingState& state() const { return m_state; }

    // Opens the first block of an empty tab; the prefix is the articulation line's.
    void firstBlock(std::string_view articulationPrefix);
    // Appends the next block after the current one and makes it current.
    void newBlock();
    // Fills every line of the current block to one character past the tab width. A block
    // already past the width is left alone, so a second call changes nothing.
    void jumpLine();
    // Erases the tab once the user has confirmed. Tuning, string count and the marker stay.
    void clear();
    // Taken into 4..6; the tuning moves with a change to or from six strings.
    void setStringCount(int count);
    // Widths above kMaxTabWidth are taken as kMaxTabWidth; zero and below stay as given.
    void setTabWidth(int width);

private:
    int stringCount() const { return m_state.stringCount.value(); }
    void appendBlock(std::string_view articulationPrefix);
    void extendLine(int index, std::string_view tail);

    TabText& m_text;
    EditingState m_state;
};

} // namespace quorlin::engine
