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

std::string differs(const Reading& reading, const Hashes& now,
                    const Hashes& frozen)
{
    if (now.text != frozen.text)
        return "its text differs: the corpus itself changed (a fuzz input, the tab-file loader, "
               "the import or the engine's typing), not a reader";
    if (now.score != frozen.score)
        return "score::readScore's result differs (now " +
               std::to_string(reading.score.columns.size()) + " columns, " +
               std::to_string(reading.score.blocks.size()) + " blocks, " +
               std::to_string(reading.score.skipped.size()) + " skipped)";
    if (now.columns != frozen.columns)
        return "engine::readColumns' result differs (now " +
               (reading.strict ? std::to_string(reading.columns.size()) + " columns"
                               : "refused: " + reading.refusal) +
               ")";
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
    int failed = 0;
    for (const GoldenTab& tab : corpus) {
        const auto it = frozen.find(tab.name);
        std::string why;
        if (it == frozen.end()) {
            why = "not in the manifest";
        } else {
            const Reading reading = readBoth(tab);
            why = differs(reading, hashesOf(tab, reading), it->second);
            frozen.erase(it);
        }
        if (!why.empty() && ++failed <= kShown)
            ADD_FAILURE() << tab.name << ": " << why;
    }
    for (const auto& [name, hashes] : frozen) {
        if (++failed <= kShown)
            ADD_FAILURE() << name << ": in the manifest, no longer in the corpus";
    }
    EXPECT_EQ(failed, 0) << "tabs that differ from the manifest, of " << corpus.size()
                         << "; golden_freeze writes it again once a change is meant";
}

} // namespace
} // namespace quorlin::golden
