#pragma once

// What a retuned tab must keep, checked by the tests and the fuzz target alike: every line that
// is no string line as it was, the same columns read from it with the same pitches (less those
// left out) and techniques (less the ties given up), and no column read that was not before.

#include "score/Retune.h"

#include <algorithm>
#include <map>
#include <string>
#include <utility>
#include <vector>

namespace quorlin::score::testing {

using Sounds = std::vector<std::pair<int, Technique>>; // pitch and technique, sorted

inline Sounds soundsOf(const Column& column)
{
    Sounds sounds;
    for (const Note& n : column.notes)
        sounds.emplace_back(n.pitch, n.technique);
    std::ranges::sort(sounds);
    return sounds;
}

// Empty when `r` keeps what it must, else what it broke first.
inline std::string retuneBroke(std::span<const std::string_view> lines, const Setup& from,
                               const Setup& to, const Retuned& r)
{
    const auto oldLines = static_cast<std::size_t>(from.strings.value()) + 2;
    const auto newLines = static_cast<std::size_t>(to.strings.value()) + 2;
    const Score before = readScore(lines, from.strings, from.tuning, kDefaultTempo);
    const std::vector<std::string_view> now(r.lines.begin(), r.lines.end());
    const Score after = readScore(now, to.strings, to.tuning, kDefaultTempo);
    const auto at = [](std::size_t i) { return " at line " + std::to_string(i); };

    // The text: each block as long as its strings make it, the rest byte for byte.
    std::vector<int> newStart;   // by block
    std::size_t o = 0, tail = 0; // the line `o` became; at last the first past the blocks
    for (const Block& b : before.blocks) {
        for (; o < static_cast<std::size_t>(b.line); ++o, ++tail) {
            if (tail >= r.lines.size() || r.lines[tail] != lines[o])
                return "a line that is no block changed" + at(o);
        }
        newStart.push_back(static_cast<int>(tail));
        if (tail + newLines > r.lines.size() || r.lines[tail] != lines[o] ||
            r.lines[tail + newLines - 1] != lines[o + oldLines - 1])
            return "a rhythm or articulation line changed" + at(o);
        for (int s = 1; s <= to.strings.value(); ++s) {
            if (!r.lines[tail + static_cast<std::size_t>(s)].starts_with(to.tuning.at(s)))
                return "a string line does not start with its name" + at(o);
        }
        o += oldLines;
        tail += newLines;
    }
    if (!std::ranges::equal(lines.subspan(o), std::span(r.lines).subspan(tail)))
        return "the lines after the last block changed";

    // The blocks. Shorter blocks may find one in the last lines, a block of more strings cut
    // short: those lines are kept as they were all the same.
    if (after.blocks.size() < before.blocks.size())
        return "a block is no longer read";
    for (std::size_t b = 0; b < after.blocks.size(); ++b) {
        if (b >= before.blocks.size()) {
            if (newLines >= oldLines || static_cast<std::size_t>(after.blocks[b].line) < tail)
                return "a new block is read" + at(after.blocks[b].line);
            continue;
        }
        if (after.blocks[b].line != newStart[b] ||
            after.blocks[b].columnCount != before.blocks[b].columnCount)
            return "block " + std::to_string(b + 1) + " reads otherwise";
    }

    // What was left out and what gave up its string, by column.
    std::map<std::pair<int, int>, std::vector<int>> unplaced; // pitches, sorted
    for (const Unplaced& u : r.unplaced)
        unplaced[{u.block, u.column}].push_back(u.pitch);
    for (auto& [key, pitches] : unplaced)
        std::ranges::sort(pitches);
    std::map<std::pair<int, int>, Sounds> lost;
    for (const LostTie& t : r.lostTies)
        lost[{t.block, t.column}].emplace_back(t.pitch, t.technique);

    const auto keyOf = [&before](std::size_t c) {
        const Column& column = before.columns[c];
        const Block& block = before.blocks[static_cast<std::size_t>(column.block)];
        return std::pair<int, int>{column.block + 1, static_cast<int>(c - block.firstColumn) + 1};
    };
    // A triplet column that loses every note cannot stay a triplet, nor can the triplet it
    // belongs to: the tab has no triplet rest. The rhythm is the same up to that triplet.
    std::size_t sameRhythm = 0;
    for (; sameRhythm < before.columns.size(); ++sameRhythm) {
        const Column& was = before.columns[sameRhythm];
        if (was.triplet && !was.rest && unplaced[keyOf(sameRhythm)].size() == was.notes.size())
            break;
    }
    while (sameRhythm > 0 && sameRhythm < before.columns.size() &&
           before.columns[sameRhythm - 1].triplet &&
           before.columns[sameRhythm - 1].block == before.columns[sameRhythm].block &&
           before.columns[sameRhythm - 1].offset + 3 == before.columns[sameRhythm].offset)
        --sameRhythm;

    std::size_t leftOut = 0, tiesLost = 0;
    for (std::size_t c = 0; c < before.columns.size(); ++c) {
        const Column& was = before.columns[c];
        const std::pair<int, int> key = keyOf(c);
        const Column& is = after.columns[c];
        const std::string where =
            " in block " + std::to_string(key.first) + ", column " + std::to_string(key.second);
        if (is.offset != was.offset || is.symbol != was.symbol || is.dotted != was.dotted)
            return "another column" + where;
        if (is.rest != (was.rest || unplaced[key].size() == was.notes.size()))
            return "a column became a rest, or stopped being one" + where;
        if (c < sameRhythm &&
            (is.start != was.start || is.length != was.length || is.triplet != was.triplet))
            return "the rhythm changed" + where;

        Sounds expected = soundsOf(was);
        for (const auto& [pitch, technique] : lost[key]) {
            const auto it = std::ranges::find(expected, std::pair{pitch, technique});
            if (it == expected.end())
                return "a lost tie that was no tie" + where;
            it->second = Technique::Plain;
            ++tiesLost;
        }
        std::ranges::sort(expected);
        const Sounds got = soundsOf(is);
        Sounds missing;
        std::ranges::set_difference(expected, got, std::back_inserter(missing));
        if (!std::ranges::includes(expected, got))
            return "a note sounds that did not, or not so" + where;
        std::vector<int> pitches;
        for (const auto& sound : missing)
            pitches.push_back(sound.first);
        if (pitches != unplaced[key])
            return "notes left out but not listed, or listed but not left out" + where;
        leftOut += pitches.size();
    }
    if (leftOut != r.unplaced.size() || tiesLost != r.lostTies.size())
        return "a note listed where there is no column";

    // The columns that could not be read: the same ones, where their blocks now stand.
    std::vector<Skip> expectedSkips, skipped;
    for (const Skip& k : before.skipped)
        expectedSkips.push_back(
            {newStart[static_cast<std::size_t>(before.blockOfLine(k.line))], k.offset});
    std::ranges::copy_if(after.skipped, std::back_inserter(skipped),
                         [tail](const Skip& k) { return static_cast<std::size_t>(k.line) < tail; });
    if (skipped != expectedSkips || r.unread != expectedSkips)
        return "other columns could not be read";
    return {};
}

} // namespace quorlin::score::testing
