// Undo and redo of every kind of user action, on their own and in runs.

#include "engine/History.h"
#include "engine/VectorTabText.h"

#include <gtest/gtest.h>

#include <functional>

namespace quorlin::engine {

namespace {

using T = Technique;
using E = Entry;

struct Fixture {
    VectorTabText text;
    Staff staff{text};
    History history{staff, text};

    void note(int column, int row, char symbol = 'q', T technique = T::Plain, E entry = E::Single)
    {
        history.record("note", [&] {
            staff.Dropped({column, row, symbol, technique, false, entry});
        });
    }
    void width(int width)
    {
        StepOptions merge;
        merge.mergeRepeats = true;
        history.record(
            "tab width", [&] { staff.setTabWidth(width); }, std::move(merge));
    }
};

// Everything undo must put back: the lines, the state and what the neck shows.
using Picture = std::tuple<std::vector<std::string>, Staff::Snapshot, NeckView>;

Picture picture(const Fixture& f)
{
    return {f.text.lines(), f.staff.snapshot(), f.staff.neck()};
}

struct Case {
    const char* name;
    std::function<void(Fixture&)> before;
    std::function<void(Fixture&)> action;
    const char* label;
};

void nothing(Fixture&) {}

void threeNotesInNarrowTab(Fixture& f)
{
    f.width(11);
    for (const int fret : {1, 2, 3})
        f.note(fret, 1 + fret % 4);
}

const Case kCases[] = {
    {"chord note", threeNotesInNarrowTab, [](Fixture& f) { f.note(7, 1, 'q', T::Plain, E::Chord); },
     "note"},
    {"note into a new block", threeNotesInNarrowTab, [](Fixture& f) { f.note(5, 2); }, "note"},
    {"rest", nothing,
     [](Fixture& f) { f.history.record("rest", [&] { f.staff.setRest('h', true); }); }, "rest"},
    {"refused slide that filled the block", threeNotesInNarrowTab,
     [](Fixture& f) { f.note(9, 1, 'q', T::SlideUp); }, "note"},
    {"refused chord moves only the marker", threeNotesInNarrowTab,
     [](Fixture& f) { f.note(9, 4, 'e', T::Plain, E::Chord); }, "note"},
    {"Rep into a new block", threeNotesInNarrowTab,
     [](Fixture& f) { f.history.record("Rep", [&] { f.staff.RepeatLast(false); }); }, "Rep"},
    {"Clear tab", threeNotesInNarrowTab,
     [](Fixture& f) { f.history.record("Clear tab", [&] { f.staff.Clear(); }); }, "Clear tab"},
    {"load after its Clear tab", threeNotesInNarrowTab,
     [](Fixture& f) {
         f.history.record("Clear tab", [&] { f.staff.Clear(); });
         StepOptions join;
         join.joinPrevious = true;
         f.history.record(
             "load",
             [&] {
                 f.staff.adoptLoaded({"|   w", "G --7", "D ---", "A ---", "E ---", "> "}, {});
             },
             std::move(join));
     },
     "load"},
    {"width typed digit by digit", nothing,
     [](Fixture& f) {
         for (const int width : {1, 12, 120})
             f.width(width);
     },
     "tab width"},
    {"five strings", nothing,
     [](Fixture& f) { f.history.record("strings", [&] { f.staff.setStringCount(6); }); },
     "strings"},
    {"tempo typed digit by digit, after notes", threeNotesInNarrowTab,
     [](Fixture& f) {
         for (const int bpm : {1, 14, 140}) {
             StepOptions merge;
             merge.mergeRepeats = true;
             f.history.record(
                 "tempo", [&] { f.staff.setTempo(bpm); }, std::move(merge));
         }
     },
     "tempo"},
    {"time signature, after notes", threeNotesInNarrowTab,
     [](Fixture& f) {
         f.history.record("time signature", [&] { f.staff.setTimeSignature({6, 8}); });
     },
     "time signature"},
    {"retuned string", nothing,
     [](Fixture& f) { f.history.record("tuning", [&] { f.staff.retune(2, "C#"); }); }, "tuning"},
    {"typing", threeNotesInNarrowTab,
     [](Fixture& f) {
         f.text.replace(1, "| typed");
         f.history.settleText();
     },
     "typing"},
};

TEST(History, EachActionIsOneStepThatUndoAndRedoTakeWhole)
{
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.name);
        Fixture f;
        c.before(f);
        const Picture before = picture(f);
        const std::size_t steps = f.history.position();
        c.action(f);
        const Picture after = picture(f);
        ASSERT_NE(before, after);
        EXPECT_EQ(f.history.position(), steps + 1);
        EXPECT_STREQ(f.history.undoLabel(), c.label);
        for (int round = 0; round < 2; ++round) {
            ASSERT_TRUE(f.history.undo());
            EXPECT_EQ(picture(f), before);
            ASSERT_TRUE(f.history.redo());
            EXPECT_EQ(picture(f), after);
        }
    }
}

TEST(History, KnowsWhenUndoBringsBackWhatWasSaved)
{
    Fixture f;
    f.note(1, 1);
    f.history.markClean();
    const std::pair<std::function<void()>, bool> steps[] = {
        {[&] { f.note(2, 1); }, false},     {[&] { f.history.undo(); }, true},
        {[&] { f.history.undo(); }, false}, {[&] { f.history.redo(); }, true},
        {[&] { f.history.undo(); }, false}, {[&] { f.note(3, 1); }, false},
        {[&] { f.history.undo(); }, false}, {[&] { f.history.redo(); }, false}};
    for (const auto& [step, clean] : steps) {
        step();
        EXPECT_EQ(f.history.isClean(), clean) << "after step " << f.history.position();
    }
    // The note after an undo dropped the steps undo had taken back.
    EXPECT_EQ(f.text.line(1), "G --3");
    EXPECT_EQ(f.history.redoLabel(), nullptr);
}

TEST(History, ActionsThatChangeNothingLeaveNoStep)
{
    Fixture f;
    f.history.record("<-", [&] { f.staff.GoBack(); });
    f.note(3, 0); // off the strings
    f.history.record("Rep", [&] { f.staff.RepeatLast(false); });
    EXPECT_EQ(f.history.position(), 0U);
    EXPECT_EQ(f.text.undoLevels(), 0);
}

} // namespace
} // namespace quorlin::engine
