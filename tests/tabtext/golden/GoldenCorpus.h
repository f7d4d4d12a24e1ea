#pragma once

// Tabs from everywhere the program meets them (committed files, the fuzz inputs, tabs typed
// by the engine) and a hash of what each reader of the tab text makes of them, so that a
// new reader can be held to exactly what the present ones give.

#include "engine/Columns.h"
#include "instrument/Tuning.h"
#include "score/Score.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace quorlin::golden {

struct GoldenTab {
    std::string name; // "<source>:<path or number>", unique in the corpus
    std::vector<std::string> lines;
    instrument::StringCount strings;
    instrument::Tuning tuning;
    int width = 0;
};

// The source tree's files and typed tabs, always in the same order.
std::vector<GoldenTab> goldenCorpus();

std::uint64_t fnv1a(std::string_view bytes, std::uint64_t hash = 0xcbf29ce484222325ULL);

// Each over every field of the result, so any change in what a reader gives changes it.
std::uint64_t textHash(const std::vector<std::string>& lines);
std::uint64_t scoreHash(const score::Score& score);
std::uint64_t columnsHash(const std::vector<engine::Column>& columns);
// What engine::readColumns gave instead of columns.
std::uint64_t refusalHash(std::string_view message);

struct Reading {
    score::Score score;
    bool strict = false; // readColumns gave columns
    std::vector<engine::Column> columns;
    std::string refusal;
};
// Both readers over the tab, at its strings, tuning and width.
Reading readBoth(const GoldenTab& tab);

struct Hashes {
    std::uint64_t text = 0;
    std::uint64_t score = 0;
    std::uint64_t columns = 0;

    bool operator==(const Hashes&) const = default;
};
Hashes hashesOf(const GoldenTab& tab, const Reading& reading);

// The manifest's line: the name, then the three hashes in hex.
std::string manifestLine(const std::string& name, const Hashes& hashes);
// Name and hashes back from a line; false for a line that is not one.
bool parseManifestLine(std::string_view line, std::string& name, Hashes& hashes);

std::string manifestPath();

} // namespace quorlin::golden
