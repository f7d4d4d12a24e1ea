// Any text taken as a tab from the web: the import must end, and what it writes must read back
// as music with no column skipped, every note it counts sounding, and every problem it lists
// standing on a line of the text. Notes the user writes after the import must land in whole,
// aligned blocks: nothing the import leaves may shift them.

#include "engine/Staff.h"
#include "engine/VectorTabText.h"
#include "files/TextEncoding.h"
#include "files/WebTabImport.h"
#include "fuzz/Fakes.h"
#include "fuzz/FuzzInput.h"
#include "instrument/NoteCycle.h"
#include "score/Score.h"

#include <string>
#include <string_view>
#include <vector>

using namespace quorlin;

namespace {

// Line lengths as an editor counts lines: "\r\n", "\n" and "\r" each end one.
std::vector<std::size_t> lineLengths(std::string_view text)
{
    if (text.starts_with("\xEF\xBB\xBF"))
        text.remove_prefix(3);
    std::vector<std::size_t> lengths{0};
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\r' && text[i] != '\n') {
            ++lengths.back();
            continue;
        }
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n')
            ++i;
        lengths.push_back(0);
    }
    return lengths;
}

int notesIn(const std::vector<std::string>& lines, const files::ImportedTab& tab)
{
    const std::vector<std::string_view> views(lines.begin(), lines.end());
    const score::Score read =
        score::readScore(views, tab.strings, tab.tuning, score::kDefaultTempo);
    QUORLIN_REQUIRE(read.skipped.empty());
    int notes = 0;
    for (const score::Column& column : read.columns)
        notes += static_cast<int>(column.notes.size());
    return notes;
}

// Whole blocks of the tab's strings, every line of a block as long as its rhythm line.
void requireBlocks(const std::vector<std::string>& lines, int strings)
{
    const auto size = static_cast<std::size_t>(strings) + 2;
    QUORLIN_REQUIRE(lines.size() % size == 0);
    for (std::size_t b = 0; b < lines.size(); b += size) {
        QUORLIN_REQUIRE(lines[b].starts_with(tabtext::kRhythmPrefix));
        for (std::size_t k = 1; k < size; ++k)
            QUORLIN_REQUIRE(lines[b + k].size() == lines[b].size());
    }
}

// The user goes on from the imported tab: a note, a slide, a triplet, a rest, New line and a
// note after it. Each must land in the last block, which stays whole and aligned.
void writeAfter(const files::ImportedTab& tab, const files::WebTabOptions& options, int seed)
{
    engine::VectorTabText text;
    engine::Staff staff(text);
    engine::LoadedState loaded;
    loaded.tabWidth = options.tabWidth;
    loaded.stringCount = tab.strings;
    loaded.tuning = tab.tuning;
    staff.adoptLoaded(tab.lines, loaded);
    const int strings = tab.strings.value();
    const int string = 1 + seed % strings;
    int written = 0;
    const auto drop = [&](int fret, engine::Technique technique, char symbol) {
        if (staff.Dropped({fret, string, symbol, technique, false}) == engine::DropOutcome::Written)
            ++written;
    };
    drop(seed % 25, engine::Technique::Plain, 'q');
    drop((seed + 7) % 25, engine::Technique::SlideUp, 'e');
    staff.WriteTriplet(string, seed % 13, 's', seed % 2 == 0);
    written += 3;
    staff.setRest('h', true);
    staff.JumpLine();
    drop(seed % 5, engine::Technique::HammerOn, 'w');
    fuzz::requireNeckFits(staff);
    const std::vector<std::string> lines = text.lines();
    requireBlocks(lines, strings);
    QUORLIN_REQUIRE(staff.state().blockStart + strings + 2 == static_cast<int>(lines.size()));
    QUORLIN_REQUIRE(notesIn(lines, tab) == tab.notes + written);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    fuzz::FuzzInput input(data, size);
    files::WebTabOptions options;
    options.smallest = input.pickFrom(tabtext::kDurationSymbols);
    // Widths of zero and below are what an emptied width field gives.
    options.tabWidth = input.byte() - 8;
    const std::string text = input.rest();

    const files::ImportedTab tab = files::importWebTab(text, options);
    QUORLIN_REQUIRE(tab.lines.empty() == (tab.notes == 0));
    for (int k = 1; k <= tab.strings.value(); ++k)
        QUORLIN_REQUIRE(instrument::isNoteName(tab.tuning.at(k)));

    QUORLIN_REQUIRE(notesIn(tab.lines, tab) == tab.notes);
    requireBlocks(tab.lines, tab.strings.value());
    QUORLIN_REQUIRE(tab.notes > 0 || !files::whyNoNotes(tab).empty());

    // Places are counted in the text as read, once UTF-16 is decoded.
    const std::vector<std::size_t> lengths = lineLengths(files::utf16ToUtf8(text).value_or(text));
    for (std::size_t i = 0; i < tab.problems.size(); ++i) {
        const files::WebTabProblem& p = tab.problems[i];
        QUORLIN_REQUIRE(p.line >= 1 && static_cast<std::size_t>(p.line) <= lengths.size());
        QUORLIN_REQUIRE(p.column >= 1 && static_cast<std::size_t>(p.column) <=
                                             lengths[static_cast<std::size_t>(p.line - 1)] + 1);
        QUORLIN_REQUIRE(!p.what.empty());
        if (i > 0) {
            const files::WebTabProblem& q = tab.problems[i - 1];
            QUORLIN_REQUIRE(q.line < p.line || (q.line == p.line && q.column <= p.column));
        }
    }
    QUORLIN_REQUIRE(!files::importSummary(tab).empty());

    // The import is a function of its input.
    const files::ImportedTab again = files::importWebTab(text, options);
    QUORLIN_REQUIRE(again.lines == tab.lines && again.problems == tab.problems);
    writeAfter(tab, options, static_cast<int>(text.size() % 1000));
    return 0;
}
