// The tab read back as columns, and columns edited in the middle written back.

#include "engine/Columns.h"
#include "engine/VectorTabText.h"

#include <gtest/gtest.h>

#include <functional>

namespace quorlin::engine {
namespace {

using T = Technique;
using Step = std::function<void(Staff&)>;
using Steps = std::vector<Step>;
using Lines = std::vector<std::string>;

Step note(int fret, int string, char symbol, T technique = T::Default, bool dotted = false)
{
    return [=](Staff& staff) { staff.Dropped({fret, string, symbol, technique, dotted}); };
}
Step rest(char symbol, bool dotted = false)
{
    return [=](Staff& staff) { staff.setRest(symbol, dotted); };
}
const Step newLine = [](Staff& staff) { staff.JumpLine(); };

struct Typed {
    explicit Typed(int width, const Steps& steps = {})
    {
        staff.setTabWidth(width);
        for (const Step& step : steps)
            step(staff);
    }
    std::vector<Column> columns() const { return readColumns(text, staff.state()); }

    VectorTabText text;
    Staff staff{text};
};

// "| " for a New line before it, the duration, the technique's mark ("T1" for a triplet's
// second column), the notes as string:fret, and "@" its block.
std::string describe(const Column& column)
{
    static const char* const marks[] = {"-", "H", "P", "\\", "/", "+", ".", "T"};
    std::string out = column.newLineBefore ? "| " : "";
    out += column.symbol;
    out += column.dotted ? ". " : " ";
    if (column.rest()) {
        out += "r";
    } else {
        out += marks[static_cast<int>(column.technique)];
        if (column.tripletPart >= 0)
            out += std::to_string(column.tripletPart);
        const char* comma = " ";
        for (const ColumnNote& n : column.notes) {
            out += comma + std::to_string(n.string) + ":" + std::to_string(n.fret);
            comma = ",";
        }
    }
    return out + "@" + std::to_string(column.block);
}

struct ReadCase {
    const char* name;
    int width;
    Steps steps;
    std::vector<std::string> columns;
    bool endsWithNewLine;
};

TEST(Columns, ReadBackWhatTheEngineWroteAndWriteItAgain)
{
    const ReadCase cases[] = {
        {"techniques and a chord",
         80,
         {note(5, 3, 'q'), note(7, 3, 'e', T::HammerOn, true), note(12, 3, 'e', T::Slide),
          note(0, 1, 'e', T::Chord), note(3, 4, 'q', T::Pop), note(1, 4, 's', T::Slide),
          note(10, 4, 'w', T::Slap), note(2, 2, 'h', T::PullOff), rest('e', true)},
         {"q - 3:5@0", "e. H 3:7@0", "e \\ 3:12,1:0@0", "q . 4:3@0", "s / 4:1@0", "w + 4:10@0",
          "h P 2:2@0", "e. r@0"},
         false},
        {"a rest first, a triplet whose last column took a chord",
         80,
         {rest('q'), note(3, 2, 'e', T::Triplet, true), note(5, 4, 'e', T::Chord),
          note(7, 1, 'e', T::Chord), note(9, 3, 'q', T::Chord)},
         {"q r@0", "e. T0 2:3@0", "e. T1 2:3@0", "e. T2 2:3,1:7,4:5@0"},
         false},
        {"New line before a rest, a note and at the end",
         80,
         {note(5, 3, 'q'), newLine, rest('h'), note(2, 2, 'q'), newLine, note(1, 1, 'e'), newLine},
         {"q - 3:5@0", "| h r@0", "q - 2:2@1", "| e - 1:1@2"},
         true},
        {"blocks at a narrow width",
         11,
         {note(5, 3, 'q'), note(7, 3, 'q'), note(9, 3, 'q'), note(2, 2, 'e'),
          note(4, 1, 's', T::Triplet), note(0, 4, 'w')},
         {"q - 3:5@0", "q - 3:7@0", "q - 3:9@0", "e - 2:2@1", "s T0 1:4@2", "s T1 1:4@2",
          "s T2 1:4@2", "w - 4:0@3"},
         false},
        {"New line where the next note would just have fit",
         11,
         {note(5, 3, 'q'), note(7, 3, 'q'), newLine, note(1, 1, 'q')},
         {"q - 3:5@0", "q - 3:7@0", "| q - 1:1@1"},
         false},
        // The fill of a New line the triplet would not have fit after is the engine's own.
        {"New line where the next column overflows anyway",
         11,
         {note(5, 3, 'q'), note(7, 3, 'q'), newLine, note(4, 1, 's', T::Triplet)},
         {"q - 3:5@0", "q - 3:7@0", "s T0 1:4@1", "s T1 1:4@1", "s T2 1:4@1"},
         false},
    };
    for (const ReadCase& c : cases) {
        SCOPED_TRACE(c.name);
        const Typed typed(c.width, c.steps);
        const std::vector<Column> columns = typed.columns();
        std::vector<std::string> described;
        for (const Column& column : columns)
            described.push_back(describe(column));
        EXPECT_EQ(described, c.columns);
        EXPECT_EQ(endsWithNewLine(typed.text, typed.staff.state()), c.endsWithNewLine);

        Typed again(c.width);
        writeColumns(again.staff, columns, c.endsWithNewLine);
        EXPECT_EQ(again.text.lines(), typed.text.lines());
    }
}

TEST(Columns, WhereEachColumnStands)
{
    const Typed typed(11, {note(5, 3, 'q'), note(7, 3, 'q'), note(9, 3, 'q'), note(2, 2, 'e')});
    const std::vector<Column> columns = typed.columns();
    ASSERT_EQ(columns.size(), 4u);
    EXPECT_EQ(columns[2].indexInBlock, 2);
    EXPECT_EQ(columns[2].character, 8);
    EXPECT_EQ(typed.text.line(columns[2].firstLine + 3).substr(8, 3), "--9");
    EXPECT_EQ(columns[3].firstLine, 6);
    EXPECT_EQ(columns[3].indexInBlock, 0);
    EXPECT_EQ(columns[3].character, 2);
}

TEST(Columns, TextNoWriterMakesIsRefused)
{
    const Lines bad[] = {
        {"|   q", "G -x5", "D ---", "A ---", "E ---", ">    "},
        {"|   q  q", "G --5~~5", "D ------", "A ------", "E ------", ">       "},
        {"|   q", "G ---"},
    };
    for (const Lines& lines : bad) {
        VectorTabText text(lines);
        Staff staff(text);
        EXPECT_THROW(readColumns(text, staff.state()), std::invalid_argument) << lines[1];
    }
}

using Edit = std::function<void(std::vector<Column>&)>;

struct RewriteCase {
    const char* name;
    int width;
    Steps before;
    Edit edit;
    // What the user would have typed to get the edited tab.
    Steps after;
    // Lines the rewrite must leave alone.
    int kept;
};

Column plain(int string, int fret, char symbol)
{
    Column column;
    column.notes = {{string, fret}};
    column.symbol = symbol;
    return column;
}

TEST(Columns, RewritingEqualsTypingTheEditedTab)
{
    const auto erase = [](std::size_t from, std::size_t count) {
        return [=](std::vector<Column>& c) {
            c.erase(c.begin() + static_cast<long>(from),
                    c.begin() + static_cast<long>(from + count));
        };
    };
    const RewriteCase cases[] = {
        {"replace",
         80,
         {note(5, 3, 'q'), note(7, 3, 'e', T::HammerOn), note(2, 2, 'q')},
         [](std::vector<Column>& c) { c[1] = plain(4, 0, 'h'); },
         {note(5, 3, 'q'), note(0, 4, 'h'), note(2, 2, 'q')},
         0},
        {"insert a rest at the start",
         11,
         {note(5, 3, 'q'), note(7, 3, 'q'), note(9, 3, 'q'), note(2, 2, 'q')},
         [](std::vector<Column>& c) {
             Column r;
             r.symbol = 'e';
             c.insert(c.begin(), r);
         },
         {rest('e'), note(5, 3, 'q'), note(7, 3, 'q'), note(9, 3, 'q'), note(2, 2, 'q')},
         0},
        {"delete a triplet: the slide after it no longer follows its string",
         80,
         {note(5, 3, 'q'), note(3, 2, 'e', T::Triplet), note(5, 2, 'q', T::Slide), rest('q')},
         erase(1, 3),
         {note(5, 3, 'q'), note(5, 2, 'q'), rest('q')},
         0},
        {"delete in a middle block",
         11,
         {note(1, 1, 'q'), note(2, 1, 'q'), note(3, 1, 'q'), note(4, 2, 'q'), note(5, 2, 'q'),
          note(6, 2, 'q'), note(7, 3, 's', T::Triplet), note(8, 4, 'q')},
         erase(4, 1),
         {note(1, 1, 'q'), note(2, 1, 'q'), note(3, 1, 'q'), note(4, 2, 'q'), note(6, 2, 'q'),
          note(7, 3, 's', T::Triplet), note(8, 4, 'q')},
         6},
        {"delete the triplet that opened a block: the next note moves back across",
         14,
         {note(1, 1, 'q'), note(2, 1, 'q'), note(3, 1, 'q'), note(7, 3, 's', T::Triplet),
          note(8, 4, 'q'), note(9, 4, 'q'), note(10, 4, 'q'), note(11, 4, 'q')},
         erase(3, 3),
         {note(1, 1, 'q'), note(2, 1, 'q'), note(3, 1, 'q'), note(8, 4, 'q'), note(9, 4, 'q'),
          note(10, 4, 'q'), note(11, 4, 'q')},
         0},
        {"a New line taken out; the one at the end stays",
         80,
         {note(5, 3, 'q'), newLine, note(7, 3, 'q'), newLine},
         [](std::vector<Column>& c) { c[1].newLineBefore = false; },
         {note(5, 3, 'q'), note(7, 3, 'q'), newLine},
         0},
    };
    for (const RewriteCase& c : cases) {
        SCOPED_TRACE(c.name);
        Typed typed(c.width, c.before);
        const Lines before = typed.text.lines();
        const std::vector<Column> present = typed.columns();
        std::vector<Column> edited = present;
        c.edit(edited);
        const int kept = rewriteFrom(typed.staff, typed.text, present, edited);

        Typed expected(c.width, c.after);
        EXPECT_EQ(typed.text.lines(), expected.text.lines());
        EXPECT_EQ(kept, c.kept);
        EXPECT_TRUE(std::equal(before.begin(), before.begin() + kept, typed.text.lines().begin()));

        // The position is the one a load of that text gives, and the next note lands alike.
        VectorTabText loadedText;
        Staff loaded(loadedText);
        loaded.adoptLoaded(typed.text.lines(), {c.width, kDefaultTempo, {}, {}});
        const EditingState& got = typed.staff.state();
        const EditingState& want = loaded.state();
        EXPECT_EQ(got.blockStart, want.blockStart);
        EXPECT_EQ(got.lastString, want.lastString);
        EXPECT_EQ(got.lastFret, want.lastFret);
        EXPECT_EQ(got.chordAvailable, want.chordAvailable);
        for (Staff* staff : {&typed.staff, &loaded})
            staff->Dropped({9, 1, 'q', T::Slide});
        EXPECT_EQ(typed.text.lines(), loadedText.lines());
    }
}

TEST(Columns, ListsNoUserCouldTypeAreRefusedBeforeAnyWrite)
{
    const Typed typed(80, {note(5, 3, 'q'), note(3, 2, 'e', T::Triplet)});
    const std::vector<Column> present = typed.columns();
    const Edit edits[] = {
        [](std::vector<Column>& c) { c.pop_back(); },
        [](std::vector<Column>& c) {
            c[0].notes.push_back({3, 7});
        },
        [](std::vector<Column>& c) {
            c[1].notes.push_back({4, 7});
        },
        [](std::vector<Column>& c) { c[0].notes[0].string = 9; },
    };
    for (const Edit& edit : edits) {
        Typed copy(80, {note(5, 3, 'q'), note(3, 2, 'e', T::Triplet)});
        std::vector<Column> edited = present;
        edit(edited);
        EXPECT_THROW(rewriteFrom(copy.staff, copy.text, present, edited), std::invalid_argument);
        EXPECT_EQ(copy.text.lines(), typed.text.lines());
    }
}

} // namespace
} // namespace quorlin::engine
