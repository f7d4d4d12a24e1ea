#pragma once

// Tabs typed as the window types them, for the fuzz targets that edit columns: notes,
// chords, triplets, rests, "New line", and (when the input asks) "<-", "Repeat last" and a
// new width.

#include "engine/Columns.h"
#include "engine/Staff.h"
#include "engine/VectorTabText.h"
#include "fuzz/FuzzInput.h"
#include "tabtext/TabFormat.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

namespace quorlin::fuzz {

constexpr int kMaxActions = 200;

struct Setup {
    instrument::StringCount strings;
    int width = engine::kDefaultTabWidth;
};

struct Tab {
    explicit Tab(const Setup& setup)
    {
        staff.restoreSetup(setup.strings, instrument::Tuning());
        staff.setTabWidth(setup.width);
    }
    engine::VectorTabText text;
    engine::Staff staff{text};
    // "Repeat last" copied part of a triplet or of a fill, or "<-" took a triplet's chord
    // column alone: no list of columns holds that, and reading it may refuse.
    bool broken = false;
    // What no list of columns writes, though its music is one: a block "<-" emptied (also
    // the first, whose head told a rest or a note), a slide from the chord "<-" left last, a copy
    // that opened a block where the columns one by one (a rest, or the first of three) would not
    // have, and a copied slide whose mark now goes the wrong way or follows no note on its string.
    bool odd = false;
};

// Whether the last `width` characters of the current block are whole columns that cut no
// triplet, so that a copy of them (or taking them back) leaves columns.
inline bool wholeColumns(const Tab& tab, std::size_t width)
{
    const engine::EditingState& state = tab.staff.state();
    const std::string rhythm = tab.text.line(state.blockStart);
    const std::size_t fill =
        rhythm.size() - std::max(tabtext::kHeadLength, rhythm.find_last_not_of(' ') + 1);
    // Too short a block: "Repeat last" copies nothing, "<-" takes nothing back.
    if (rhythm.size() < tabtext::kHeadLength + width)
        return true;
    if (fill != 0)
        return fill >= width;
    // Fill before a rest: the copy would take a piece of it.
    for (std::size_t at = rhythm.size() - std::min(rhythm.size(), width); at < rhythm.size();
         at += tabtext::kCellWidth) {
        if (!tabtext::rhythmCellAt(rhythm, at))
            return false;
    }
    for (int k = 1; k <= state.stringCount.value(); ++k) {
        const std::string line = tab.text.line(state.blockStart + k);
        if (line.size() >= width + tabtext::kHeadLength &&
            line[line.size() - width] == tabtext::kTripletMark)
            return false;
    }
    return true;
}

// The neck's choice by the number an input picks.
inline void chooseOnNeck(engine::Drop& drop, int choice)
{
    const engine::NeckChoice& chosen =
        engine::kNeckChoices[static_cast<std::size_t>(choice) % std::size(engine::kNeckChoices)];
    drop.technique = chosen.technique;
    drop.entry = chosen.entry;
}

inline int stringOf(FuzzInput& in, const Setup& setup)
{
    return 1 + in.pick(setup.strings.value());
}

inline int fretOf(FuzzInput& in)
{
    return in.pick(instrument::kFrets + 1);
}

// QUORLIN_FUZZ_TRACE=1 shows the tabs compared when replaying one input.
inline void trace(const char* what, const engine::VectorTabText& text)
{
    static const bool on = std::getenv("QUORLIN_FUZZ_TRACE") != nullptr;
    if (!on)
        return;
    std::fprintf(stderr, "%s:\n", what);
    for (const std::string& line : text.lines())
        std::fprintf(stderr, "  [%s]\n", line.c_str());
}

// After "<-": a block with no column, or a chord last, whose last note the engine now takes
// from the text, where writing the columns leaves the last chord note dropped.
inline bool leftOddly(const Tab& tab)
{
    const engine::EditingState& state = tab.staff.state();
    if (tab.text.line(state.blockStart).size() <= tabtext::kHeadLength)
        return true;
    int notes = 0;
    for (int k = 1; k <= state.stringCount.value(); ++k) {
        const std::string line = tab.text.line(state.blockStart + k);
        notes += line.size() >= tabtext::kHeadLength + tabtext::kCellWidth &&
                 line.compare(line.size() - tabtext::kCellWidth, tabtext::kCellWidth,
                              tabtext::kEmptyCell) != 0;
    }
    return notes > 1;
}

// Only what the engine takes whole: a refused slide would open an empty block, and a chord
// note over a triplet's own would leave the triplet without its mark. With `undoing`, also
// "<-", "Repeat last" of a column or of three, and a new width while the window offers one.
inline void act(Tab& tab, Setup& setup, bool undoing, FuzzInput& in)
{
    engine::Staff& staff = tab.staff;
    const char symbol = in.pickFrom(tabtext::kDurationSymbols);
    const bool dotted = in.flag();
    switch (in.pick(undoing ? 10 : 6)) {
    case 0:
    case 1: {
        engine::Drop drop{0, 0, symbol};
        chooseOnNeck(drop, in.pick(6));
        drop.row = stringOf(in, setup);
        if (drop.technique == engine::Technique::SlideUp) {
            if (staff.state().lastString == 0)
                drop.technique = engine::Technique::Plain;
            else
                drop.row = staff.state().lastString;
        }
        drop.column = fretOf(in);
        drop.dotted = dotted;
        staff.Dropped(drop);
        break;
    }
    case 2: {
        const int string = stringOf(in, setup);
        const int fret = fretOf(in);
        if (tab.text.count() == 0)
            break;
        const std::string line = tab.text.line(staff.state().blockStart + string);
        if (line.size() >= tabtext::kCellWidth &&
            line[line.size() - tabtext::kCellWidth] == tabtext::kTripletMark)
            break;
        staff.Dropped(
            {fret, string, symbol, engine::Technique::Plain, dotted, engine::Entry::Chord});
        break;
    }
    case 3:
        staff.Dropped({fretOf(in), stringOf(in, setup), symbol, engine::Technique::Plain, dotted,
                       engine::Entry::Triplet});
        break;
    case 4:
        staff.setRest(symbol, dotted);
        break;
    case 5:
        staff.JumpLine();
        break;
    case 6:
        // Taking back a triplet whose chord note is not on its own string leaves two parts.
        if (tab.text.count() != 0 && !wholeColumns(tab, tabtext::kCellWidth)) {
            const std::string line = tab.text.line(staff.LastNoteLine());
            tab.broken =
                tab.broken || line[line.size() - tabtext::kCellWidth] != tabtext::kTripletMark;
        }
        staff.GoBack();
        tab.odd = tab.odd || (tab.text.count() != 0 && leftOddly(tab));
        break;
    case 7:
    case 8: {
        if (tab.text.count() != 0) {
            const std::size_t width = tabtext::kCellWidth * (dotted ? 3 : 1);
            tab.broken = tab.broken || !wholeColumns(tab, width);
            for (int k = 1; k <= setup.strings.value(); ++k) {
                const std::string line = tab.text.line(staff.state().blockStart + k);
                for (std::size_t at = line.size() - std::min(line.size(), width); at < line.size();
                     at += tabtext::kCellWidth)
                    tab.odd = tab.odd || line[at] == tabtext::kSlideUpMark ||
                              line[at] == tabtext::kSlideDownMark;
            }
        }
        const int block = staff.state().blockStart;
        staff.RepeatLast(dotted);
        tab.odd = tab.odd || staff.state().blockStart != block;
        break;
    }
    default:
        if (staff.state().setupUnlocked) {
            setup.width = in.flag() ? engine::kDefaultTabWidth : in.pick(40) - 2;
            staff.setTabWidth(setup.width);
        }
        break;
    }
}

// A column or a whole triplet, as a user could type it anywhere.
inline std::vector<engine::Column> unit(FuzzInput& in, const Setup& setup)
{
    engine::Column column;
    column.setSymbol(in.pickFrom(tabtext::kDurationSymbols));
    column.dotted = in.flag();
    column.newLineBefore = in.pick(4) == 0;
    const int kind = in.pick(4);
    if (kind == 0)
        return {column};
    const int string = stringOf(in, setup);
    column.notes = {{string, fretOf(in)}};
    if (kind == 1) {
        std::vector<engine::Column> triplet(3, column);
        for (int part = 0; part < 3; ++part) {
            triplet[static_cast<std::size_t>(part)].tripletPart = part;
            if (part > 0)
                triplet[static_cast<std::size_t>(part)].newLineBefore = false;
        }
        return triplet;
    }
    const auto technique = static_cast<engine::Technique>(in.pick(7));
    if (kind == 3) {
        // Chord notes on other strings, by string.
        for (int k = 1; k <= setup.strings.value(); ++k) {
            if (k != string && in.flag())
                column.notes.push_back({k, fretOf(in)});
        }
    }
    column.setTechnique(technique);
    return {column};
}

inline void requireLoadedPosition(const Tab& tab, const Setup& setup)
{
    engine::VectorTabText loadedText;
    engine::Staff loaded(loadedText);
    loaded.adoptLoaded(tab.text.lines(), {setup.width, engine::kDefaultTempo, setup.strings, {}});
    const engine::EditingState& got = tab.staff.state();
    const engine::EditingState& want = loaded.state();
    if (std::getenv("QUORLIN_FUZZ_TRACE") != nullptr)
        std::fprintf(stderr, "block %d/%d, string %d/%d, fret %d/%d, chord %d/%d\n", got.blockStart,
                     want.blockStart, got.lastString, want.lastString, got.lastFret, want.lastFret,
                     got.chordAvailable, want.chordAvailable);
    QUORLIN_REQUIRE(got.blockStart == want.blockStart && got.lastString == want.lastString &&
                    got.lastFret == want.lastFret && got.chordAvailable == want.chordAvailable);
}

// Outside the cells of the columns that changed between `present` and `columns`, not a
// character of the tab moved. The tab is ASCII with the standard tuning: a character is a
// byte.
inline void requireOnlyCellsChanged(std::vector<std::string> before, std::vector<std::string> after,
                                    const std::vector<engine::Column>& present,
                                    const std::vector<engine::Column>& columns, const Setup& setup)
{
    for (std::size_t c = 0; c < present.size(); ++c) {
        if (present[c].sameAs(columns[c]))
            continue;
        for (std::vector<std::string>* lines : {&before, &after}) {
            for (int k = 0; k < tabtext::blockLineCount(setup.strings.value()); ++k)
                (*lines)[static_cast<std::size_t>(present[c].firstLine + k)].replace(
                    static_cast<std::size_t>(present[c].character), tabtext::kCellWidth, "###");
        }
    }
    QUORLIN_REQUIRE(before == after);
}

// The set-up the input picks; `undoing`: the actions take back and repeat too.
inline Setup setupOf(FuzzInput& in, bool& undoing)
{
    Setup setup;
    setup.strings = instrument::StringCount(instrument::kMinStrings + in.pick(3));
    // A new block every few notes, or the usual width; bit 1 takes back and repeats.
    const std::uint8_t mode = in.byte();
    setup.width = (mode & 1) != 0 ? engine::kDefaultTabWidth : in.pick(40) - 2;
    undoing = (mode & 2) != 0;
    return setup;
}

// The actions the input picks, typed on `tab`.
inline void type(Tab& tab, Setup& setup, bool undoing, FuzzInput& in)
{
    const int actions = in.pick(kMaxActions);
    for (int action = 0; action < actions && !in.empty(); ++action)
        act(tab, setup, undoing, in);
}

// A tab typed action by action straight on a staff of the input's strings, width and time
// signature: notes of every technique, rests, whole triplets and "New line".
inline void typeOnStaff(engine::Staff& staff, FuzzInput& in)
{
    staff.setStringCount(4 + in.pick(3));
    staff.setTabWidth(in.pick(100) - 4);
    staff.setTimeSignature(in.pickFrom(model::kTimeSignatureChoices));
    const int strings = staff.state().stringCount.value();
    for (int i = 0; i < kMaxActions && !in.empty(); ++i) {
        const char symbol = in.pickFrom(tabtext::kDurationSymbols);
        const bool dotted = in.flag();
        const int string = 1 + in.pick(strings);
        const int fret = in.pick(instrument::kFrets + 1);
        switch (in.pick(5)) {
        case 0:
            staff.setRest(symbol, dotted);
            break;
        case 1:
            staff.WriteTriplet(string, fret, symbol, dotted);
            break;
        case 2:
            staff.JumpLine();
            break;
        default: {
            engine::Drop drop{fret, string, symbol, engine::Technique::Plain, dotted};
            chooseOnNeck(drop, in.pick(7));
            staff.Dropped(drop);
        }
        }
    }
}

} // namespace quorlin::fuzz
