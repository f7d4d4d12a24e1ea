// Every tab of the golden corpus must read as the manifest froze it: the gate for a new reader
// of the tab text, which must give what the present ones give, field for field.

#include "tests/tabtext/golden/GoldenCorpus.h"

#include "engine/Columns.h"
#include "engine/VectorTabText.h"
#include "tabtext/TabCodec.h"

#include <gtest/gtest.h>

#include <fstream>
#include <map>
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

} // namespace
} // namespace quorlin::golden
