// Any text taken as a tab from the web: the import must end, and what it writes must read back
// as music with no column skipped, every note it counts sounding, and every problem it lists
// standing on a line of the text.

#include "files/WebTabImport.h"
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

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    fuzz::FuzzInput input(data, size);
    files::WebTabOptions options;
    options.smallest = "seqhw"[input.pick(5)];
    // Widths of zero and below are what an emptied width field gives.
    options.tabWidth = input.byte() - 8;
    const std::string text = input.rest();

    const files::ImportedTab tab = files::importWebTab(text, options);
    QUORLIN_REQUIRE(tab.lines.empty() == (tab.notes == 0));
    for (int k = 1; k <= tab.strings.value(); ++k)
        QUORLIN_REQUIRE(instrument::isNoteName(tab.tuning.at(k)));

    const std::vector<std::string_view> lines(tab.lines.begin(), tab.lines.end());
    const score::Score read =
        score::readScore(lines, tab.strings, tab.tuning, score::kDefaultTempo);
    QUORLIN_REQUIRE(read.skipped.empty());
    int notes = 0;
    for (const score::Column& column : read.columns)
        notes += static_cast<int>(column.notes.size());
    QUORLIN_REQUIRE(notes == tab.notes);

    const std::vector<std::size_t> lengths = lineLengths(text);
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
    return 0;
}
