// Every tab of the golden corpus must read as the manifest froze it: the gate for a new reader
// of the tab text, which must give what the present ones give, field for field.

#include "tests/tabtext/golden/GoldenCorpus.h"

#include "engine/Columns.h"
#include "engine/VectorTabText.h"
#include "tabtext/TabCodec.h"
#include "tabtext/TextWidth.h"

#include <gtest/gtest.h>

#include <fstream>
#include <functional>
#include <map>
#include <random>
#include <string>

namespace quorlin::golden {
namespace {

// Enough to see what broke without burying it.
constexpr int kShown = 20;

struct Difference {
    std::string kind; // empty when the tab reads as frozen
    std::string detail;
};

// The first of the three that differs: a changed text means a changed corpus, so it is
// named before what the readers make of it.
Difference differs(const Reading& reading, const Hashes& now, const Hashes& frozen)
{
    if (now.text != frozen.text)
        return {"text", "the corpus itself changed (a fuzz input, the tab-file loader, the "
                        "import or the engine's typing), not a reader"};
    if (now.score != frozen.score)
        return {"score::readScore", "now " + std::to_string(reading.score.columns.size()) +
                                        " columns, " + std::to_string(reading.score.blocks.size()) +
                                        " blocks, " + std::to_string(reading.score.skipped.size()) +
                                        " skipped"};
    if (now.columns != frozen.columns)
        return {"engine::readColumns",
                reading.strict ? "now " + std::to_string(reading.columns.size()) + " columns"
                               : "now refused: " + reading.refusal};
    return {};
}

const std::vector<GoldenTab>& corpus()
{
    static const std::vector<GoldenTab> tabs = goldenCorpus();
    return tabs;
}

TEST(GoldenCorpusTest, EveryTabReadsAsFrozen)
{
    std::ifstream in(manifestPath());
    ASSERT_TRUE(in) << manifestPath();
    std::map<std::string, Hashes> frozen;
    for (std::string line; std::getline(in, line);) {
        std::string name;
        Hashes hashes;
        if (parseManifestLine(line, name, hashes)) {
            ASSERT_TRUE(frozen.emplace(name, hashes).second) << "twice in the manifest: " << name;
        }
    }

    const std::vector<GoldenTab>& tabs = corpus();
    std::map<std::string, int> failed; // by kind
    int shown = 0;
    const auto fail = [&](const std::string& name, const Difference& d) {
        ++failed[d.kind];
        if (++shown <= kShown)
            ADD_FAILURE() << name << ": " << d.kind << " differs: " << d.detail;
    };
    for (const GoldenTab& tab : tabs) {
        const auto it = frozen.find(tab.name);
        if (it == frozen.end()) {
            fail(tab.name, {"the tab list", "not in the manifest"});
            continue;
        }
        const Reading reading = readBoth(tab);
        if (const Difference d = differs(reading, hashesOf(tab, reading), it->second);
            !d.kind.empty())
            fail(tab.name, d);
        frozen.erase(it);
    }
    for (const auto& [name, hashes] : frozen)
        fail(name, {"the tab list", "in the manifest, no longer in the corpus"});
    std::string summary;
    for (const auto& [kind, count] : failed)
        summary += " " + kind + ": " + std::to_string(count) + ";";
    EXPECT_TRUE(failed.empty())
        << "of " << tabs.size() << " tabs, differing by" << summary
        << " golden_freeze writes the manifest again once a change is meant";
}

// The text the engine writes for the columns typed from the start, today's writer kept as the
// reference for the codec's own.
std::vector<std::string> typedAgain(const std::vector<engine::Column>& columns,
                                    const engine::EditingState& state, bool newLineAfter)
{
    engine::VectorTabText text;
    engine::Staff staff(text);
    staff.restoreSetup(state.stringCount, state.tuning);
    staff.setTabWidth(state.tabWidth);
    engine::writeColumns(staff, columns, newLineAfter);
    return text.lines();
}

// Whether the beats of every block kept as text give back the rhythm and string cells they were
// read from, written without the text: retuning and the import of our own blocks write them so.
bool cellsWrittenBack(const tabtext::Reading& reading, const tabtext::Setup& setup)
{
    std::string buffer;
    for (const tabtext::Block& block : reading.layout.blocks) {
        if (block.verbatim.empty())
            continue;
        tabtext::Block cells = block;
        cells.verbatim.clear();
        cells.fillBefore.clear();
        cells.fillAfter = 0;
        const std::vector<std::string> written = tabtext::writeBlock(reading.track, cells, setup);
        for (std::size_t b = 0; b < block.beatCount; ++b) {
            if (reading.track.beats[block.firstBeat + b].unread)
                continue;
            const auto at =
                static_cast<std::size_t>(reading.layout.places[block.firstBeat + b].character);
            for (int k = 0; k <= setup.strings.value(); ++k) {
                const auto line = static_cast<std::size_t>(k);
                const std::string_view text = tabtext::narrowed(block.verbatim[line], buffer);
                if (text.substr(at, tabtext::kCellWidth) !=
                    std::string_view(written[line])
                        .substr(tabtext::kHeadLength + b * tabtext::kCellWidth,
                                tabtext::kCellWidth))
                    return false;
            }
        }
    }
    return true;
}

// The codec gives back every tab's bytes from what it read, in either mode; where the text is
// the columns typed from the start, it reads every block as beats and lays them out again as
// the engine types them.
TEST(GoldenCorpusTest, TheCodecWritesBackWhatItRead)
{
    int shown = 0, written = 0;
    const auto fail = [&](const std::string& name, const char* what) {
        if (++shown <= kShown)
            ADD_FAILURE() << name << ": " << what;
    };
    for (const GoldenTab& tab : corpus()) {
        const tabtext::Setup setup{tab.strings, tab.tuning, tab.width};
        engine::VectorTabText text;
        text.appendLines(tab.lines);
        const tabtext::Reading loose = tabtext::readTab(text, setup, tabtext::Mode::Tolerant);
        if (tabtext::writeTab(loose.track, loose.layout, setup) != tab.lines)
            fail(tab.name, "the tolerant reading writes other bytes");
        if (!cellsWrittenBack(loose, setup))
            fail(tab.name, "a block kept as text writes other cells from its beats");
        const tabtext::Reading strict = tabtext::readTab(text, setup, tabtext::Mode::Strict);
        if (!strict.problem.empty())
            continue;
        if (tabtext::writeTab(strict.track, strict.layout, setup) != tab.lines)
            fail(tab.name, "the strict reading writes other bytes");

        engine::EditingState state;
        state.stringCount = tab.strings;
        state.tuning = tab.tuning;
        state.tabWidth = tab.width;
        const bool newLineAfter = engine::endsWithNewLine(text, state);
        const std::vector<std::string> reference =
            typedAgain(engine::readColumns(text, state), state, newLineAfter);
        // Elsewhere the text holds what typing the columns again would not give (a width
        // changed on the way, a copy, a slide the engine would write plain).
        if (reference != tab.lines)
            continue;
        const tabtext::Layout laid = tabtext::layOut(strict.track, setup, newLineAfter);
        if (tabtext::writeTab(strict.track, laid, setup) != reference)
            fail(tab.name, "the beats laid out are not the engine's text for them");
        ++written;
        for (const tabtext::Block& block : strict.layout.blocks) {
            if (!block.verbatim.empty()) {
                fail(tab.name, "a block the engine wrote is kept as text");
                break;
            }
        }
    }
    EXPECT_GT(written, static_cast<int>(corpus().size()) / 2) << "too few tabs typed whole";
}

// An edit of a tab's lines and the first line it changes.
struct LineEdit {
    const char* name;
    std::function<int(std::vector<std::string>&, std::mt19937&)> apply;
};

int anyLine(const std::vector<std::string>& lines, std::mt19937& random)
{
    return lines.empty() ? 0 : static_cast<int>(random() % lines.size());
}

const LineEdit kLineEdits[] = {
    {"a line typed into",
     [](std::vector<std::string>& lines, std::mt19937& random) {
         const int at = anyLine(lines, random);
         if (lines.empty())
             lines.emplace_back();
         std::string& line = lines[static_cast<std::size_t>(at)];
         line.insert(random() % (line.size() + 1), random() % 2 ? "7" : "-q ");
         return at;
     }},
    {"a line cut short",
     [](std::vector<std::string>& lines, std::mt19937& random) {
         const int at = anyLine(lines, random);
         if (!lines.empty())
             lines[static_cast<std::size_t>(at)].resize(lines[static_cast<std::size_t>(at)].size() /
                                                        2);
         return at;
     }},
    {"a line deleted",
     [](std::vector<std::string>& lines, std::mt19937& random) {
         const int at = anyLine(lines, random);
         if (!lines.empty())
             lines.erase(lines.begin() + at);
         return at;
     }},
    {"two lines joined",
     [](std::vector<std::string>& lines, std::mt19937& random) {
         const int at = anyLine(lines, random);
         if (at + 1 < static_cast<int>(lines.size())) {
             lines[static_cast<std::size_t>(at)] += lines[static_cast<std::size_t>(at) + 1];
             lines.erase(lines.begin() + at + 1);
         }
         return at;
     }},
    {"a run of lines copied in",
     [](std::vector<std::string>& lines, std::mt19937& random) {
         const int from = anyLine(lines, random);
         const int to = anyLine(lines, random);
         const std::vector<std::string> run(
             lines.begin() + from,
             lines.begin() + std::min<int>(from + 1 + static_cast<int>(random() % 8),
                                           static_cast<int>(lines.size())));
         lines.insert(lines.begin() + to, run.begin(), run.end());
         return to;
     }},
    {"the end deleted",
     [](std::vector<std::string>& lines, std::mt19937& random) {
         const int at = anyLine(lines, random);
         lines.resize(static_cast<std::size_t>(at));
         return at;
     }},
    {"a free line put in",
     [](std::vector<std::string>& lines, std::mt19937& random) {
         const int at = anyLine(lines, random);
         lines.insert(lines.begin() + at, random() % 2 ? "" : "verse two");
         return at;
     }},
};

// A reading brought up to date from the first changed line is the reading of the whole
// edited text, whatever the edit.
TEST(GoldenCorpusTest, AReadingUpdatedAfterAnEditIsTheEditedTextsReading)
{
    std::mt19937 random(20261209);
    int shown = 0;
    for (const GoldenTab& tab : corpus()) {
        const tabtext::Setup setup{tab.strings, tab.tuning, tab.width};
        for (const LineEdit& edit : kLineEdits) {
            engine::VectorTabText before;
            before.appendLines(tab.lines);
            tabtext::Reading reading = tabtext::readTab(before, setup, tabtext::Mode::Tolerant);
            std::vector<std::string> lines = tab.lines;
            const int changedFrom = edit.apply(lines, random);
            engine::VectorTabText after;
            after.appendLines(lines);
            tabtext::rereadTolerant(after, setup, changedFrom, reading);
            if (reading != tabtext::readTab(after, setup, tabtext::Mode::Tolerant) &&
                ++shown <= kShown)
                ADD_FAILURE() << tab.name << ": " << edit.name << " at line " << changedFrom + 1;
        }
    }
}

} // namespace
} // namespace quorlin::golden
