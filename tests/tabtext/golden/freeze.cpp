// Writes the manifest of what today's readers make of the golden corpus: run it only when a
// change of their results is meant, and commit the manifest with that change.

#include "tests/tabtext/golden/GoldenCorpus.h"

#include <cstdio>
#include <fstream>
#include <map>
#include <string>

using namespace quorlin;

int main(int argc, char** argv)
{
    const std::string path = argc > 1 ? argv[1] : golden::manifestPath();
    std::ofstream out(path, std::ios::binary);
    if (!out) {
        std::fprintf(stderr, "cannot write %s\n", path.c_str());
        return 1;
    }
    out << "# name, FNV-1a of the text, of score::readScore's result, of engine::readColumns' "
           "(or its refusal)\n";
    struct Count {
        int tabs = 0, strict = 0, skipping = 0, triplets = 0, chords = 0, rests = 0, newLines = 0,
            narrow = 0;
    };
    std::map<std::string, Count> counts;
    for (const golden::GoldenTab& tab : golden::goldenCorpus()) {
        const golden::Reading reading = golden::readBoth(tab);
        out << golden::manifestLine(tab.name, golden::hashesOf(tab, reading)) << '\n';
        Count& c = counts[tab.name.substr(0, tab.name.find(':'))];
        ++c.tabs;
        c.strict += reading.strict;
        c.skipping += !reading.score.skipped.empty();
        c.narrow += tab.width != engine::kDefaultTabWidth;
        bool triplet = false, chord = false, rest = false, newLine = false;
        for (const engine::Column& column : reading.columns) {
            triplet = triplet || column.tripletPart >= 0;
            chord = chord || column.chord();
            rest = rest || column.rest();
            newLine = newLine || column.newLineBefore;
        }
        c.triplets += triplet;
        c.chords += chord;
        c.rests += rest;
        c.newLines += newLine;
    }
    // Skipping: the score reader left a column out. Triplets to new lines: tabs the strict
    // reader found one in.
    std::printf("%-8s %6s %7s %9s %8s %6s %5s %9s %9s\n", "source", "tabs", "strict", "skipping",
                "triplets", "chords", "rests", "new-lines", "width!=80");
    for (const auto& [source, c] : counts)
        std::printf("%-8s %6d %7d %9d  %8d %6d %5d %9d %9d\n", source.c_str(), c.tabs, c.strict,
                    c.skipping, c.triplets, c.chords, c.rests, c.newLines, c.narrow);
    return out ? 0 : 1;
}
