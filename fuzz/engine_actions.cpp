// The engine driven as the window drives it, one user action after another, with the user
// also typing into the tab, saving and loading it, and undoing and redoing. After every
// action the tab must still be made of whole, aligned blocks wherever the user's own edits
// leave it so; every undo and redo must bring back exactly the text and state of that point.

#include "engine/History.h"
#include "engine/Staff.h"
#include "files/TabFile.h"
#include "files/TextEncoding.h"
#include "fuzz/Fakes.h"
#include "fuzz/FuzzInput.h"
#include "fuzz/TypedTabs.h"
#include "tabtext/TabFormat.h"
#include "tabtext/TextWidth.h"

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <iterator>
#include <optional>
#include <sstream>

using namespace quorlin;
using fuzz::FuzzInput;

namespace {

// Enough for every interesting sequence; more only makes one run slow.
constexpr int kMaxActions = 256;

enum Action {
    DropNote,
    Rest,
    Repeat,
    GoBack,
    NewLine,
    Clear,
    Width,
    Strings,
    Retune,
    HandEdit,
    SaveAndLoad,
    Undo,
    Redo,
    Tempo,
    kActions
};

struct Session {
    fuzz::HandTabText text;
    engine::Staff staff{text};
    engine::History history{staff, text};
    // The user changed lines by hand since the current block was opened: its lines may be
    // of any length, missing or more than a block.
    bool handEdited = false;
    // ... or anywhere since the tab was last empty.
    bool tabEdited = false;
    // Undo can bring back text edited by hand at any time.
    bool everEdited = false;

    // The text and state at each point of the history.
    struct Point {
        std::vector<std::string> lines;
        engine::Staff::Snapshot state;
    };
    std::vector<Point> points;

    void remember()
    {
        points.resize(history.size() + 1);
        points[history.position()] = {text.lines(), staff.snapshot()};
    }
    void requireRemembered() const
    {
        const Point& point = points.at(history.position());
        QUORLIN_REQUIRE(text.lines() == point.lines && staff.snapshot() == point.state);
        fuzz::requireNeckFits(staff);
    }
};

char duration(FuzzInput& in)
{
    return in.pickFrom(tabtext::kDurationSymbols);
}

engine::Drop drop(FuzzInput& in)
{
    engine::Drop d;
    d.column = -2 + in.pick(instrument::kNeckColumns + 4);
    d.row = -2 + in.pick(instrument::kMaxStrings + 5);
    d.symbol = duration(in);
    fuzz::chooseOnNeck(d, in.pick(8));
    d.dotted = in.flag();
    return d;
}

int width(FuzzInput& in)
{
    constexpr int odd[] = {0, -1, 1, 2, 3, INT_MIN, INT_MAX, engine::kMaxTabWidth + 1};
    switch (in.pick(4)) {
    case 0:
        return in.pick(40); // a new block every few notes
    case 1:
        return odd[in.pick(8)];
    case 2:
        return engine::kDefaultTabWidth - 64 + in.pick(128);
    default:
        return in.int32();
    }
}

// What the tuning pop-up can hand back: a name of the note cycle, or one a loaded header
// line gave (any character, then a blank or "#"). Either survives a save and a load.
std::string noteName(FuzzInput& in)
{
    char first = static_cast<char>('!' + in.pick(94));
    if (first == '#' || first == ';')
        first = 'A';
    std::string name(1, first);
    for (int more = in.pick(3); more > 0; --more)
        name += in.flag() ? '#' : ' ';
    return name;
}

// The text area hands over UTF-8 without line breaks: a break would make a new line. A
// pasted Ctrl-Z is left out: the reader takes it as the end of the file, so a tab holding
// one loses the rest of its lines on the next load.
std::string typed(FuzzInput& in)
{
    std::string text = files::toUtf8(in.text(8));
    for (char& c : text)
        c = c == '\n' || c == '\r' || c == '\x1A' ? '-' : c;
    // Nor the separators that the reader takes for line breaks and reports.
    for (const std::string_view breaker : {"\u2028", "\u2029", "\uFDD0", "\uFDD1"}) {
        for (std::size_t at; (at = text.find(breaker)) != std::string::npos;)
            text.replace(at, breaker.size(), "-");
    }
    return text;
}

// Deleting from the end of a line by hand takes whole characters.
std::string shortened(const std::string& line, std::size_t length)
{
    while (length > 0 && tabtext::splitsCharacter(line, length))
        --length;
    return line.substr(0, length);
}

void editByHand(Session& s, FuzzInput& in)
{
    fuzz::HandTabText& text = s.text;
    const int count = text.count();
    const int kind = in.pick(6);
    if (count == 0 || kind == 5) {
        text.insertLine(count, typed(in));
        return;
    }
    // Mostly the lines being written, sometimes any line of the tab.
    const int strings = s.staff.state().stringCount.value();
    const int line =
        in.flag() ? std::clamp(s.staff.state().blockStart + in.pick(strings + 2), 0, count - 1)
                  : (in.byte() << 8 | in.byte()) % count;
    switch (kind) {
    case 0:
        text.editLine(line, typed(in));
        break;
    case 1:
        text.editLine(line, shortened(text.line(line), in.byte()));
        break;
    case 2:
        text.editLine(line, "");
        break;
    case 3:
        text.eraseLine(line);
        break;
    default:
        text.insertLine(line, typed(in));
        break;
    }
}

// As the window does it: save, then "Load" clears the tab and reads the file back.
void saveAndLoad(Session& s)
{
    std::ostringstream out;
    files::writeTabFile(out, s.text, s.staff.state(), {"me", "band", "", {"a"}});
    const std::vector<std::string> saved = s.text.lines();
    const engine::EditingState before = s.staff.state();

    const std::size_t cleared = s.history.position();
    s.history.record("Clear tab", [&] { s.staff.Clear(); });
    std::istringstream in(out.str());
    const files::LoadedTab tab =
        files::readTabFile(in, s.staff.state().stringCount, s.staff.state().tuning);
    // The load finishes the step of its "Clear tab", when there was one.
    engine::StepOptions options;
    options.joinPrevious = s.history.position() != cleared;
    s.history.record(
        "load", [&] { s.staff.adoptLoaded(tab.lines, tab.state); }, std::move(options));

    const engine::EditingState& after = s.staff.state();
    QUORLIN_REQUIRE(tab.hasHeader && tab.problems.empty());
    QUORLIN_REQUIRE(after.tabWidth == before.tabWidth && after.stringCount == before.stringCount);
    QUORLIN_REQUIRE(after.tempo == before.tempo);
    for (int k = 1; k <= after.stringCount.value(); ++k)
        QUORLIN_REQUIRE(after.tuning.at(k) == before.tuning.at(k));
    // Lines emptied by hand are dropped by the reader; every other line comes back as it was.
    std::vector<std::string> kept;
    std::copy_if(saved.begin(), saved.end(), std::back_inserter(kept),
                 [](const std::string& line) { return !line.empty(); });
    QUORLIN_REQUIRE(s.text.lines() == kept);
    // A damaged tab may come back with its last block out of step.
    if (s.tabEdited)
        s.handEdited = true;
    else
        QUORLIN_REQUIRE(saved.empty() || after.blockStart == before.blockStart);
}

// What an accepted note or rest must have left at the end of the block. A chord note has no
// duration of its own; a rest no string.
struct Written {
    char symbol;
    bool dotted;
    int string;
    int fret;
    engine::Entry entry;
};

void requireVisible(const Session& s, const Written& w)
{
    const engine::EditingState& state = s.staff.state();
    const int strings = state.stringCount.value();
    QUORLIN_REQUIRE(state.blockStart + strings + 2 == s.text.count());
    // Aligned as the text area shows it: a letter typed by hand may take several bytes.
    const std::string rhythm = s.text.line(state.blockStart);
    const std::size_t length = tabtext::characterCount(rhythm);
    for (int k = 1; k < strings + 2; ++k)
        QUORLIN_REQUIRE(tabtext::characterCount(s.text.line(state.blockStart + k)) == length);
    if (w.symbol != '\0') {
        const std::string cell =
            w.dotted ? std::string{' ', w.symbol, '.'} : std::string{' ', ' ', w.symbol};
        const std::size_t back = w.entry == engine::Entry::Triplet ? 9 : 3;
        // The engine's own cells are ASCII: the last characters are the last bytes.
        QUORLIN_REQUIRE(length >= 5 && rhythm.compare(rhythm.size() - back, 3, cell) == 0);
    }
    if (w.string != 0) {
        const std::string line = s.text.line(state.blockStart + w.string);
        const std::string fret = std::to_string(w.fret);
        QUORLIN_REQUIRE(line.ends_with(fret) && state.lastString == w.string &&
                        state.lastFret == w.fret);
    } else {
        QUORLIN_REQUIRE(s.text.line(state.blockStart + strings + 1).ends_with('r'));
    }
}

// Writes go to the block that was current before the action, to blocks the action opened or
// to the one current after it.
bool inBlock(int index, int start, int strings)
{
    return index >= start && index <= start + strings + 1;
}

// QUORLIN_FUZZ_TRACE=1 shows each action and the tab after it when replaying one input.
void trace(const Session& s, int action)
{
    static const bool on = std::getenv("QUORLIN_FUZZ_TRACE") != nullptr;
    if (!on)
        return;
    const engine::EditingState& state = s.staff.state();
    std::fprintf(stderr, "action %d: block %d, last string %d, width %d%s\n", action,
                 state.blockStart, state.lastString, state.tabWidth,
                 s.handEdited ? ", edited by hand" : "");
    for (const std::string& line : s.text.lines())
        std::fprintf(stderr, "  [%s]\n", line.c_str());
}

void perform(Session& s, FuzzInput& in)
{
    engine::Staff& staff = s.staff;
    const Action action = static_cast<Action>(in.pick(kActions));
    if (action == HandEdit) {
        editByHand(s, in);
        // The window takes the edit in as soon as the text area reports it.
        s.history.settleText();
        s.remember();
        s.handEdited = s.tabEdited = s.everEdited = true;
        trace(s, action);
        return;
    }
    if (action == Undo || action == Redo) {
        if (action == Undo)
            s.history.undo();
        else
            s.history.redo();
        s.requireRemembered();
        // What undo brings back was whole when it was written, unless the user's hands were
        // on the tab at some time.
        s.handEdited = s.tabEdited = s.everEdited;
        trace(s, action);
        return;
    }

    const int startBefore = staff.state().blockStart;
    const int countBefore = s.text.count();
    const bool damagedBefore = s.handEdited;
    s.text.resetCounts();
    std::optional<Written> written;
    engine::History& history = s.history;
    switch (action) {
    case DropNote: {
        const engine::Drop d = drop(in);
        engine::DropOutcome outcome{};
        history.record("note", [&] { outcome = staff.Dropped(d); });
        if (outcome == engine::DropOutcome::Written)
            written = Written{d.entry == engine::Entry::Chord ? '\0' : d.symbol, d.dotted, d.row,
                              d.column, d.entry};
        break;
    }
    case Rest: {
        const char symbol = duration(in);
        const bool dotted = in.flag();
        history.record("rest", [&] { staff.setRest(symbol, dotted); });
        written = Written{symbol, dotted, 0, 0, engine::Entry::Single};
        break;
    }
    case Repeat: {
        const bool triplet = in.flag();
        history.record("Rep", [&] { staff.RepeatLast(triplet); });
        break;
    }
    case GoBack:
        history.record("<-", [&] { staff.GoBack(); });
        break;
    case NewLine:
        history.record("New line", [&] { staff.JumpLine(); });
        break;
    case Clear:
        history.record("Clear tab", [&] { staff.Clear(); });
        QUORLIN_REQUIRE(s.text.count() == 0 && staff.state().blockStart == 0);
        break;
    case Width: {
        const int w = width(in);
        engine::StepOptions merge;
        merge.mergeRepeats = true;
        history.record(
            "tab width", [&] { staff.setTabWidth(w); }, std::move(merge));
        break;
    }
    case Tempo: {
        const int bpm = in.pick(500) - 50;
        engine::StepOptions merge;
        merge.mergeRepeats = true;
        history.record(
            "tempo", [&] { staff.setTempo(bpm); }, std::move(merge));
        QUORLIN_REQUIRE(staff.state().tempo >= engine::kMinTempo &&
                        staff.state().tempo <= engine::kMaxTempo);
        break;
    }
    case Strings:
        // The spin box is disabled while the set-up is locked.
        if (staff.state().setupUnlocked) {
            const int count = in.pick(10) - 1;
            history.record("string count", [&] { staff.setStringCount(count); });
        }
        break;
    case Retune:
        // The pop-up opens only while the set-up is unlocked, and only on a string's row.
        if (staff.state().setupUnlocked) {
            const int string = 1 + in.pick(staff.state().stringCount.value());
            const std::string name = noteName(in);
            history.record("tuning", [&] { staff.retune(string, name); });
        }
        break;
    case SaveAndLoad:
        saveAndLoad(s);
        break;
    default:
        break;
    }
    s.remember();

    trace(s, action);
    const engine::EditingState& state = staff.state();
    const int strings = state.stringCount.value();
    const int count = s.text.count();
    QUORLIN_REQUIRE(state.lastString >= 0 && state.lastString <= strings);
    QUORLIN_REQUIRE(state.blockStart >= 0 && state.tabWidth <= engine::kMaxTabWidth);
    fuzz::requireNeckFits(staff);
    if (action != SaveAndLoad) {
        // Blocks are appended whole, never a single line.
        QUORLIN_REQUIRE(s.text.appends % (strings + 2) == 0);
        // Typed text is whole characters; the engine must not split one when it cuts or copies.
        // After a change behind its back the engine writes to the text's last block instead.
        const int lastBefore = std::max(0, countBefore - (strings + 2));
        for (const int index : s.text.replaced) {
            QUORLIN_REQUIRE(inBlock(index, startBefore, strings) || index >= countBefore ||
                            inBlock(index, lastBefore, strings) ||
                            inBlock(index, state.blockStart, strings));
            QUORLIN_REQUIRE(files::isValidUtf8(s.text.line(index)));
        }
        if (s.text.appends > 0 || count == 0)
            s.handEdited = false;
    }
    if (count == 0)
        s.tabEdited = false;
    if (!damagedBefore)
        QUORLIN_REQUIRE(s.text.outsideReplaces == 0);
    if (written) {
        // Whatever the user did to the text before, a note the engine took is in it, whole,
        // at the end of the last block, and that block is aligned.
        requireVisible(s, *written);
        s.handEdited = false;
    }
    if (s.handEdited)
        return;

    QUORLIN_REQUIRE(!state.setupUnlocked || count == 0);
    // A tab the user emptied by hand keeps its block start until the next block opens at 0.
    if (count == 0)
        return;
    QUORLIN_REQUIRE(state.blockStart + strings + 2 == count);
    const std::size_t length = tabtext::characterCount(s.text.line(state.blockStart));
    QUORLIN_REQUIRE(length >= 2);
    for (int k = 1; k < strings + 2; ++k)
        QUORLIN_REQUIRE(tabtext::characterCount(s.text.line(state.blockStart + k)) == length);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    FuzzInput in(data, size);
    Session s;
    // What the window does at start with the set-up kept from the last run.
    s.staff.restoreSetup(instrument::StringCount(instrument::kMinStrings + in.pick(3)),
                         instrument::Tuning());
    s.remember();
    for (int action = 0; action < kMaxActions && !in.empty(); ++action)
        perform(s, in);

    // Back to the start step by step, and forward again to the end.
    const std::size_t end = s.history.position();
    while (s.history.undo())
        s.requireRemembered();
    QUORLIN_REQUIRE(s.history.position() == 0);
    while (s.history.redo())
        s.requireRemembered();
    QUORLIN_REQUIRE(s.history.position() >= end);
    return 0;
}
