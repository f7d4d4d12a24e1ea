// Every tab of the golden corpus must read as the manifest froze it: the gate for a new reader
// of the tab text, which must give what the present ones give, field for field.

#include "tests/engine/golden/GoldenCorpus.h"

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

    const std::vector<GoldenTab> corpus = goldenCorpus();
    std::map<std::string, int> failed; // by kind
    int shown = 0;
    const auto fail = [&](const std::string& name, const Difference& d) {
        ++failed[d.kind];
        if (++shown <= kShown)
            ADD_FAILURE() << name << ": " << d.kind << " differs: " << d.detail;
    };
    for (const GoldenTab& tab : corpus) {
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
        << "of " << corpus.size() << " tabs, differing by" << summary
        << " golden_freeze writes the manifest again once a change is meant";
}

} // namespace
} // namespace quorlin::golden
