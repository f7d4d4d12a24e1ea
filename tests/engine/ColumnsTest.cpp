// The tab read back as columns, and columns edited in the middle written back.

#include "engine/Columns.h"
#include "engine/VectorTabText.h"
#include "score/Score.h"
#include "tests/engine/TypedSteps.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <iterator>
#include <limits>
#include <sstream>

namespace quorlin::engine {
namespace {

using Lines = std::vector<std::string>;

using testing::type;

// Where the engine last wrote: the lines kept by a rewrite must not be written at all.
class WatchedText final : public VectorTabText {
public:
    void replace(int index, const std::string& text) override
    {
        touch(index);
        VectorTabText::replace(index, text);
    }
    void extend(int index, std::string_view tail) override
    {
        touch(index);
        VectorTabText::extend(index, tail);
    }
    void append(const std::string& text) override
    {
        touch(count());
        VectorTabText::append(text);
    }
    void eraseFrom(int from) override
    {
        touch(from);
        VectorTabText::eraseFrom(from);
    }

    int lowestTouched = std::numeric_limits<int>::max();

private:
    void touch(int index) { lowestTouched = std::min(lowestTouched, index); }
};

struct Typed {
    explicit Typed(int width, std::string_view steps = "")
    {
        staff.setTabWidth(width);
        type(staff, steps);
    }
    std::vector<Column> columns() const { return readColumns(text, staff.state()); }

    WatchedText text;
    Staff staff{text};
};

// "| " for a New line before it, the duration, the technique's mark ("T1" for a triplet's
// second column), the notes as string:fret, and "@" its block.
std::string describe(const Column& column)
{
    static const char* const marks[] = {"-", "H", "P", "\\", "/", "+", "."};
    std::string out = column.newLineBefore ? "| " : "";
    out += column.symbol();
    out += column.dotted ? ". " : " ";
    if (column.rest()) {
        out += "r";
    } else {
        out += column.tripletPart >= 0 ? "T" : marks[static_cast<int>(column.technique())];
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
    const char* steps;
    const char* columns; // as `describe` gives them, "; " between
    bool endsWithNewLine;
    // What writing the columns types, when "<-" or "Repeat last" left what no list writes.
    const char* written = nullptr;
};

TEST(Columns, ReadBackWhatTheEngineWroteAndWriteItAgain)
{
    const ReadCase cases[] = {
        {"techniques and a chord", 80, "q3:5 e.H3:7 eS3:12 eC1:0 qO4:3 sS4:1 w+4:10 hP2:2 re.",
         "q - 3:5@0; e. H 3:7@0; e \\ 3:12,1:0@0; q . 4:3@0; s / 4:1@0; w + 4:10@0; "
         "h P 2:2@0; e. r@0",
         false},
        {"a rest first, a triplet whose last column took a chord", 80,
         "rq e.T2:3 eC4:5 eC1:7 qC3:9", "q r@0; e. T0 2:3@0; e. T1 2:3@0; e. T2 2:3,1:7,4:5@0",
         false},
        {"New line before a rest, a note and at the end", 80, "q3:5 | rh q2:2 | e1:1 |",
         "q - 3:5@0; | h r@0; q - 2:2@1; | e - 1:1@2", true},
        {"blocks at a narrow width", 11, "q3:5 q3:7 q3:9 e2:2 sT1:4 w4:0",
         "q - 3:5@0; q - 3:7@0; q - 3:9@0; e - 2:2@1; s T0 1:4@2; s T1 1:4@2; s T2 1:4@2; "
         "w - 4:0@3",
         false},
        {"New line where the next note would just have fit", 11, "q3:5 q3:7 | q1:1",
         "q - 3:5@0; q - 3:7@0; | q - 1:1@1", false},
        // The fill of a New line the triplet would not have fit after is the engine's own.
        {"New line where the next column overflows anyway", 11, "q3:5 q3:7 | sT1:4",
         "q - 3:5@0; q - 3:7@0; s T0 1:4@1; s T1 1:4@1; s T2 1:4@1", false},
        {"<- empties the last block: the New line before it stays", 80, "q3:5 | q3:7 <",
         "q - 3:5@0", true, "q3:5 |"},
        {"<- empties a middle block, New line fills it: no New line before the next note", 11,
         "q1:1 q1:2 q1:3 q2:4 < | q2:5", "q - 1:1@0; q - 1:2@0; q - 1:3@0; q - 2:5@2", false,
         "q1:1 q1:2 q1:3 q2:5"},
        // Rests never pass the width one by one, so they stay in the first block.
        {"a copy of three rests opens a block after no New line", 16, "rq rq rq R3",
         "q r@0; q r@0; q r@0; q r@1; q r@1; q r@1", false, "rq rq rq rq rq rq"},
        // Written, the rest joins the full first block, where New line writes nothing.
        {"New line after a copied rest that opened a block writes nothing once written", 13,
         "rq rq rq R | q1:1", "q r@0; q r@0; q r@0; q r@1; q - 1:1@2", false, "rq rq rq rq q1:1"},
    };
    for (const ReadCase& c : cases) {
        SCOPED_TRACE(c.name);
        const Typed typed(c.width, c.steps);
        const std::vector<Column> columns = typed.columns();
        std::string described;
        for (const Column& column : columns)
            described += (described.empty() ? "" : "; ") + describe(column);
        EXPECT_EQ(described, c.columns);
        EXPECT_EQ(endsWithNewLine(typed.text, typed.staff.state()), c.endsWithNewLine);

        Typed again(c.width);
        writeColumns(again.staff, columns, c.endsWithNewLine);
        EXPECT_EQ(again.text.lines(),
                  c.written ? Typed(c.width, c.written).text.lines() : typed.text.lines());
    }
}

TEST(Columns, WhereEachColumnStands)
{
    const Typed typed(11, "q3:5 q3:7 q3:9 e2:2");
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
        // "Repeat last" of three columns copied a triplet's end after the note that follows
        // it: the marks follow a note that is not the triplet's.
        {"|   e  e  e  e  e  e  e", "G ---------------------", "D --3~~3~~3--5~~3~~3--5",
         "A ---------------------", "E ---------------------", ">                      "},
        // A copy of the end of a short fill: a column cut short, whose note would be lost.
        {"|  q  e", "G -5--3", "D -----", "A -----", "E -----", ">      "},
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
    const char* before;
    Edit edit;
    const char* after; // what the user would have typed to get the edited tab
    int kept;          // lines the rewrite must leave alone
};

Column plain(int string, int fret, char symbol)
{
    Column column;
    column.notes = {{string, fret}};
    column.setSymbol(symbol);
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
        {"replace", 80, "q3:5 eH3:7 q2:2", [](std::vector<Column>& c) { c[1] = plain(4, 0, 'h'); },
         "q3:5 h4:0 q2:2", 0},
        {"insert a rest at the start", 11, "q3:5 q3:7 q3:9 q2:2",
         [](std::vector<Column>& c) {
             Column r;
             r.setSymbol('e');
             c.insert(c.begin(), r);
         },
         "re q3:5 q3:7 q3:9 q2:2", 0},
        {"delete a triplet: the slide after it no longer follows its string", 80,
         "q3:5 eT2:3 qS2:5 rq", erase(1, 3), "q3:5 q2:5 rq", 0},
        {"delete in a middle block", 11, "q1:1 q1:2 q1:3 q2:4 q2:5 q2:6 sT3:7 q4:8", erase(4, 1),
         "q1:1 q1:2 q1:3 q2:4 q2:6 sT3:7 q4:8", 6},
        {"delete the triplet that opened a block: the next note moves back across", 14,
         "q1:1 q1:2 q1:3 sT3:7 q4:8 q4:9 q4:10 q4:11", erase(3, 3),
         "q1:1 q1:2 q1:3 q4:8 q4:9 q4:10 q4:11", 0},
        {"a rest taken from a block that a copy of rests opened: the full block stays full", 16,
         "rq rq rq R3", erase(4, 1), "rq rq rq R3 <", 6},
        {"a triplet wider than a block, first after kept blocks: no block left empty", 10,
         "q1:1 q1:2 q1:3 eT2:3 eT2:5", erase(6, 3), "q1:1 q1:2 q1:3 eT2:3", 12},
        {"a New line taken out; the one at the end stays", 80, "q3:5 | q3:7 |",
         [](std::vector<Column>& c) { c[1].newLineBefore = false; }, "q3:5 q3:7 |", 0},
    };
    for (const RewriteCase& c : cases) {
        SCOPED_TRACE(c.name);
        Typed typed(c.width, c.before);
        const Lines before = typed.text.lines();
        const std::vector<Column> present = typed.columns();
        std::vector<Column> edited = present;
        c.edit(edited);
        typed.text.lowestTouched = std::numeric_limits<int>::max();
        const int kept = rewriteFrom(typed.staff, typed.text, present, edited);
        EXPECT_GE(typed.text.lowestTouched, kept);

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
            staff->Dropped({9, 1, 'q', Technique::SlideUp});
        EXPECT_EQ(typed.text.lines(), loadedText.lines());
    }
}

TEST(Columns, ListsNoUserCouldTypeAreRefusedBeforeAnyWrite)
{
    const Typed typed(80, "q3:5 eT2:3");
    const std::vector<Column> present = typed.columns();
    const Edit edits[] = {
        [](std::vector<Column>& c) { c.pop_back(); },
        [](std::vector<Column>& c) { c[0].notes.emplace_back(3, 7); },
        [](std::vector<Column>& c) { c[1].notes.emplace_back(4, 7); },
        [](std::vector<Column>& c) { c[0].notes[0].string = 9; },
    };
    for (const Edit& edit : edits) {
        Typed copy(80, "q3:5 eT2:3");
        std::vector<Column> edited = present;
        edit(edited);
        EXPECT_THROW(rewriteFrom(copy.staff, copy.text, present, edited), std::invalid_argument);
        EXPECT_EQ(copy.text.lines(), typed.text.lines());
    }
}

// "0 2" as the column indexes it names.
std::vector<std::size_t> indexes(const char* text)
{
    std::istringstream in(text);
    return {std::istream_iterator<std::size_t>(in), {}};
}

using ColumnEditFn = std::function<ColumnEdit(Staff&, TabText&, std::vector<Column>&)>;

struct InPlaceCase {
    const char* name;
    int width;
    const char* before;
    ColumnEditFn edit;
    const char* after; // typed from the start
    EditPath path;
    DropOutcome outcome;
    const char* turnedPlain;
    const char* touched; // the columns whose cells may differ
};

TEST(Columns, AnEditInPlaceChangesOnlyTheCellsOfItsColumns)
{
    const auto noteAt = [](std::size_t at, int string, int fret) {
        return [=](Staff& s, TabText& t, std::vector<Column>& c) {
            return replaceNote(s, t, c, at, {string, fret});
        };
    };
    const auto techniqueAt = [](std::size_t at, Technique technique) {
        return [=](Staff& s, TabText& t, std::vector<Column>& c) {
            return changeTechnique(s, t, c, at, technique);
        };
    };
    const auto restAt = [](std::size_t at) {
        return [=](Staff& s, TabText& t, std::vector<Column>& c) { return makeRest(s, t, c, at); };
    };
    const auto durationAt = [](std::size_t at, char symbol, bool dotted) {
        return [=](Staff& s, TabText& t, std::vector<Column>& c) {
            return changeDuration(s, t, c, at, symbol, dotted);
        };
    };
    using P = EditPath;
    using O = DropOutcome;
    using CT = Technique;
    const InPlaceCase cases[] = {
        {"a note up the neck, two digits: the hammer-on goes with it", 80, "q3:5 eH3:7 q2:2",
         noteAt(1, 3, 12), "q3:5 eH3:12 q2:2", P::InPlace, O::Written, "", "1"},
        {"a hammer-on moved to a string with no note before it is refused", 80, "q3:5 eH3:7",
         noteAt(1, 4, 12), "q3:5 eH3:7", P::Unchanged, O::NoNoteBefore, "", ""},
        {"a hammer-on the engine wrote from another string keeps it on a new duration", 80,
         "q3:5 eP2:7", durationAt(1, 'h', false), "q3:5 hP2:7", P::InPlace, O::Written, "", "1"},
        {"the note before a pull-off leaves its string: the pull-off turns plain", 80, "q3:5 qP3:3",
         noteAt(0, 1, 5), "q1:5 q3:3", P::InPlace, O::Written, "1", "0 1"},
        {"the note before a slide leaves its string: the slide turns plain", 80, "q3:5 qS3:7 re",
         noteAt(0, 2, 5), "q2:5 q3:7 re", P::InPlace, O::Written, "1", "0 1"},
        {"the note before a slide goes above it: the slide now goes down", 80, "q3:5 qS3:7",
         noteAt(0, 3, 9), "q3:9 qS3:7", P::InPlace, O::Written, "", "0 1"},
        {"a chord's column dotted", 80, "q3:5 qC1:7 e2:2", durationAt(0, 'h', true),
         "h.3:5 h.C1:7 e2:2", P::InPlace, O::Written, "", "0"},
        {"a rest between: the slide after it follows another string now", 80, "q3:5 e2:3 qS2:7",
         restAt(1), "q3:5 re q2:7", P::InPlace, O::Written, "2", "1 2"},
        {"a slap in the second block", 11, "q1:1 q1:2 q1:3 q2:4 s2:5", techniqueAt(4, CT::Slap),
         "q1:1 q1:2 q1:3 q2:4 s+2:5", P::InPlace, O::Written, "", "4"},
        {"a slide asked down that goes up", 80, "q3:5 q3:7", techniqueAt(1, CT::SlideDown),
         "q3:5 qS3:7", P::InPlace, O::Written, "", "1"},
        {"a slide from another string is refused", 80, "q3:5 q2:7", techniqueAt(1, CT::SlideUp),
         "q3:5 q2:7", P::Unchanged, O::SlideRefused, "", ""},
        {"a slide from the note that carries a chord's hammer-on is refused", 80,
         "q3:5 qH3:7 qC1:2 q3:9", techniqueAt(2, CT::SlideUp), "q3:5 qH3:7 qC1:2 q3:9",
         P::Unchanged, O::SlideRefused, "", ""},
        {"a note that opened a block turned rest: the engine puts rests past the width", 11,
         "q1:1 q1:2 q1:3 q2:4 q2:5", restAt(3), "q1:1 q1:2 q1:3 rq q2:5", P::Rewritten, O::Written,
         "", ""},
        {"the first column a rest: its block's head changes, so it is written again", 80,
         "q3:5 e3:7", restAt(0), "rq e3:7", P::Rewritten, O::Written, "", ""},
    };
    for (const InPlaceCase& c : cases) {
        SCOPED_TRACE(c.name);
        Typed typed(c.width, c.before);
        const Lines before = typed.text.lines();
        std::vector<Column> columns = typed.columns();
        const std::vector<Column> present = columns;
        const ColumnEdit done = c.edit(typed.staff, typed.text, columns);
        EXPECT_EQ(done.path, c.path);
        EXPECT_EQ(done.outcome, c.outcome);
        EXPECT_EQ(done.turnedPlain, indexes(c.turnedPlain));

        const Typed expected(c.width, c.after);
        EXPECT_EQ(typed.text.lines(), expected.text.lines());
        const std::vector<Column> read = typed.columns();
        EXPECT_TRUE(std::ranges::equal(columns, read, &Column::sameAs));
        if (c.path != EditPath::InPlace)
            continue;
        // Outside the touched cells every character stays; the tab is plain ASCII here.
        Lines masked[2] = {before, typed.text.lines()};
        for (Lines& lines : masked) {
            for (const std::size_t at : indexes(c.touched)) {
                const Column& column = present[at];
                for (int k = 0; k < blockLineCount(4); ++k) {
                    std::string& line = lines[static_cast<std::size_t>(column.firstLine + k)];
                    line.replace(static_cast<std::size_t>(column.character), kCellWidth, "###");
                }
            }
        }
        EXPECT_EQ(masked[0], masked[1]);
    }
}

struct SpliceCase {
    const char* name;
    int width;
    const char* before;
    std::size_t first, last;
    const char* run;   // typed on an empty tab and read back as the run put in
    const char* after; // typed from the start
    const char* turnedPlain = "";
    std::size_t runFrom = 0; // the run's columns before it only let it be typed
};

TEST(Columns, ColumnsPutInAndTakenOutLayTheTabOutAsTypedFromTheStart)
{
    const SpliceCase cases[] = {
        {"a note put first moves every block on", 11, "q1:1 q1:2 q1:3 q2:4", 0, 0, "e4:9",
         "e4:9 q1:1 q1:2 q1:3 q2:4"},
        {"a note put before a New line's column takes the New line", 80, "q3:5 | q3:7", 1, 1,
         "e2:2", "q3:5 | e2:2 q3:7"},
        {"a note put inside a triplet goes before it", 80, "q3:5 eT2:3 q4:9", 2, 2, "s1:1",
         "q3:5 s1:1 eT2:3 q4:9"},
        {"a column taken out leaves its New line to the next", 80, "q3:5 | q3:7 h3:9", 1, 2, "",
         "q3:5 | h3:9"},
        {"one column of a triplet takes the whole triplet out", 11, "q3:5 eT2:3 q4:9 s1:1", 2, 3,
         "", "q3:5 q4:9 s1:1"},
        {"a run pasted across a block boundary, a chord and a triplet in it", 11,
         "q1:1 q1:2 q1:3 q2:4", 2, 2, "e3:5 eC1:7 sT2:3", "q1:1 q1:2 e3:5 eC1:7 sT2:3 q1:3 q2:4"},
        {"the note a pull-off played from taken out: it turns plain", 80, "q1:5 q3:5 re qP3:3", 1,
         2, "", "q1:5 re q3:3", "2"},
        {"a pasted slide with no note on its string before it turns plain", 80, "q3:5 q2:7 qS2:9",
         1, 1, "q2:4 qS2:2", "q3:5 q2:2 q2:7 qS2:9", "1", 1},
        {"columns put after a tab that ends in New line go on the new line", 80, "q3:5 |", 1, 1,
         "q3:7", "q3:5 | q3:7"},
        {"columns put after the last, as appending", 11, "q1:1 q1:2 q1:3", 3, 3, "rh w4:0",
         "q1:1 q1:2 q1:3 rh w4:0"},
        {"everything taken out", 11, "q1:1 q1:2 q1:3 q2:4", 0, 4, "", ""},
    };
    for (const SpliceCase& c : cases) {
        SCOPED_TRACE(c.name);
        Typed typed(c.width, c.before);
        const Lines before = typed.text.lines();
        std::vector<Column> columns = typed.columns();
        const std::vector<Column> present = columns;
        std::vector<Column> run = Typed(80, c.run).columns();
        run.erase(run.begin(), run.begin() + static_cast<long>(c.runFrom));
        const Splice done =
            spliceColumns(typed.staff, typed.text, columns, c.first, c.last, std::move(run));
        EXPECT_EQ(done.turnedPlain, indexes(c.turnedPlain));
        const Typed expected(c.width, c.after);
        EXPECT_EQ(typed.text.lines(), expected.text.lines());
        EXPECT_TRUE(std::ranges::equal(columns, typed.columns(), &Column::sameAs));
        // Blocks before the one the change lands in are not written at all.
        const std::size_t lastKept = std::min(done.first, present.size());
        if (lastKept > 1) {
            EXPECT_GE(typed.text.lowestTouched, present[lastKept - 1].firstLine);
        }
        // Appending goes on where the tab ends.
        EXPECT_EQ(typed.staff.state().lastString, expected.staff.state().lastString);
        EXPECT_EQ(typed.staff.state().lastFret, expected.staff.state().lastFret);
        EXPECT_EQ(typed.staff.state().blockStart, expected.staff.state().blockStart);
    }
}

struct TransposeCase {
    const char* name;
    const char* before;
    std::size_t first, last;
    int semitones;
    const char* after;        // typed from the start; empty when refused
    const char* misfits = ""; // "column string:fret" each, refused when any
    const char* turnedPlain = "";
    const char* placed = ""; // "string:fret" a note, the places chosen for the moved notes
};

// Four strings, G D A E from string 1: the notes below are placed by hand from their names.
TEST(Columns, TranspositionMovesEveryNoteOrNone)
{
    const TransposeCase cases[] = {
        {"up a semitone, strings kept", "q3:5 qC1:7 eH2:2 rq", 0, 4, 1, "q3:6 qC1:8 eH2:3 rq"},
        {"only the selection, a triplet cut by it taken whole", "q3:5 eT2:3 q4:9", 2, 3, -1,
         "q3:5 eT2:2 q4:9"},
        // A at 0 on string 3 down a semitone is G# at 4 on E.
        {"off the neck below: onto the lower string", "q3:0 e3:4", 0, 2, -1, "q4:4 e3:3"},
        // C at 20 on E up an octave: fret 22 on D is nearer 20 than fret 17 on G.
        {"off the neck above: to the string nearest the old fret", "q4:20 q1:24", 0, 1, 12,
         "q2:22 q1:24"},
        // G at 22 up an octave is G at 34 on string 1, nowhere on the neck.
        {"a note that fits nowhere refuses all", "q3:5 q1:22", 0, 2, 12, "", "1 1:22"},
        // A at 0 goes to E at 4, where the chord's A at 5 on E stays.
        {"a chord's two notes on one string refuse all", "q3:0 qC4:5", 0, 1, -1, "",
         "0 3:0, 0 4:5"},
        {"a slide whose note before moved string turns plain", "q3:0 qS3:2", 0, 1, -1, "q4:4 q3:2",
         "", "1"},
        {"places chosen for the notes are taken", "q4:3 q4:5 q3:3", 0, 2, 12, "q2:5 q2:7 q3:3", "",
         "", "2:5 2:7"},
        // G an octave up is not G# at 1 on G, and there is no string 9: the E string keeps it.
        {"a chosen place that does not sound the note is not", "q4:3 q4:5", 0, 2, 12, "q4:15 q2:7",
         "", "", "1:1 2:7"},
        {"a chosen place off the set-up is not", "q4:3", 0, 1, 12, "q4:15", "", "", "9:0"},
    };
    const instrument::StringCount strings;
    std::vector<int> open;
    for (int s = 1; s <= strings.value(); ++s)
        open.push_back(score::openPitch(s, strings, instrument::Tuning().at(s)));
    for (const TransposeCase& c : cases) {
        SCOPED_TRACE(c.name);
        Typed typed(80, c.before);
        const Lines before = typed.text.lines();
        std::vector<Column> columns = typed.columns();
        std::vector<ColumnNote> placed;
        std::istringstream places(c.placed);
        for (std::string p; places >> p;)
            placed.push_back({std::stoi(p), std::stoi(p.substr(p.find(':') + 1))});
        const Transposition done =
            transpose(typed.staff, typed.text, columns, c.first, c.last, c.semitones, open, placed);
        std::string misfits;
        for (const auto& [at, n] : done.misfits)
            misfits += (misfits.empty() ? "" : ", ") + std::to_string(at) + " " +
                       std::to_string(n.string) + ":" + std::to_string(n.fret);
        EXPECT_EQ(done.refused, *c.misfits != '\0');
        EXPECT_EQ(misfits, c.misfits);
        EXPECT_EQ(done.turnedPlain, indexes(c.turnedPlain));
        if (done.refused) {
            EXPECT_EQ(typed.text.lines(), before);
            continue;
        }
        EXPECT_EQ(typed.text.lines(), Typed(80, c.after).text.lines());
        EXPECT_TRUE(std::ranges::equal(columns, typed.columns(), &Column::sameAs));
    }
}

} // namespace
} // namespace quorlin::engine
