#include "tabtext/TabCodec.h"

#include "tabtext/Marks.h"
#include "tabtext/TabFormat.h"
#include "tabtext/TextWidth.h"

#include <algorithm>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace quorlin::tabtext {

char symbolOf(model::Value value)
{
    return kDurationSymbols[static_cast<std::size_t>(value)];
}

std::vector<std::string> legend()
{
    const auto pair = [](char mark, std::string_view what, char next, std::string_view then) {
        std::string line = std::string("  ") + mark + ": " + std::string(what);
        line.resize(16, ' ');
        return line + next + ": " + std::string(then);
    };
    // A triplet as the writers make one, "x" for the fret.
    std::string triplet;
    for (std::size_t note = 0; note < kTripletColumns; ++note) {
        triplet += noteCell(note == 0 ? kPlainMark : kTripletMark, 0);
        triplet.back() = 'x';
    }
    return {"Symbols explanations:", pair(kHammerOnMark, "hammer on", kPullOffMark, "pull off"),
            pair(kSlapMark, "slap", kPopMark, "pop"),
            pair(kSlideUpMark, "slide up", kSlideDownMark, "slide down"),
            "  " + triplet + ": triplets"};
}

model::Value valueOf(char symbol)
{
    requireDurationSymbol(symbol);
    return static_cast<model::Value>(kDurationSymbols.find(symbol));
}

namespace {

// Appends the cells of beat `b` of the block to its lines, each note's with its own mark.
void putBeat(std::vector<std::string>& lines, const Block& block, std::size_t b,
             const model::Beat& beat, int strings)
{
    lines[0] += rhythmCell(symbolOf(beat.value), beat.dotted);
    for (int k = 1; k <= strings; ++k) {
        std::string& line = lines[static_cast<std::size_t>(k)];
        const auto note = std::ranges::find(beat.notes, k, &model::Note::string);
        if (note == beat.notes.end()) {
            line += kEmptyCell;
            continue;
        }
        const std::array<char, kCellWidth> cell =
            noteCellCharacters(cellMarkOf(block, b, beat, *note), note->fret);
        line.append(cell.begin(), cell.end());
    }
    lines.back() += articulationCell(beat.rest(), beat.technique());
}

void putFill(std::vector<std::string>& lines, int fill)
{
    if (fill <= 0)
        return;
    const auto n = static_cast<std::size_t>(fill);
    lines.front().append(n, ' ');
    for (std::size_t k = 1; k + 1 < lines.size(); ++k)
        lines[k].append(n, kFill);
    lines.back().append(n, ' ');
}

} // namespace

std::vector<std::string> beatCells(const model::Beat& beat, int strings)
{
    std::vector<std::string> cells(static_cast<std::size_t>(blockLineCount(strings)));
    putBeat(cells, Block{}, 0, beat, strings);
    return cells;
}

void writeBlockInto(const model::Track& track, const Block& block, const Setup& setup,
                    std::vector<std::string>& lines)
{
    const int strings = setup.strings.value();
    lines.resize(static_cast<std::size_t>(blockLineCount(strings)));
    lines.front().assign(kRhythmPrefix);
    for (int k = 1; k <= strings; ++k)
        lines[static_cast<std::size_t>(k)].assign(setup.tuning.at(k));
    lines.back().assign(block.restHead ? kRestArticulationPrefix : kArticulationPrefix);
    for (std::size_t b = 0; b < block.beatCount; ++b) {
        putFill(lines, b < block.fillBefore.size() ? block.fillBefore[b] : 0);
        putBeat(lines, block, b, track.beats[block.firstBeat + b], strings);
    }
    putFill(lines, block.fillAfter);
}

std::vector<std::string> writeBlock(const model::Track& track, const Block& block,
                                    const Setup& setup)
{
    if (!block.verbatim.empty())
        return block.verbatim;
    std::vector<std::string> lines;
    writeBlockInto(track, block, setup, lines);
    return lines;
}

std::vector<std::string> writeTab(const model::Track& track, const Layout& layout,
                                  const Setup& setup)
{
    std::vector<std::string> lines;
    std::size_t free = 0;
    const auto freeBefore = [&](std::size_t block) {
        for (; free < layout.free.size() && layout.free[free].beforeBlock <= block; ++free)
            lines.push_back(layout.free[free].text);
    };
    for (std::size_t b = 0; b < layout.blocks.size(); ++b) {
        freeBefore(b);
        for (std::string& line : writeBlock(track, layout.blocks[b], setup))
            lines.push_back(std::move(line));
    }
    freeBefore(layout.blocks.size());
    return lines;
}

Layout layOut(const model::Track& track, const Setup& setup, bool newLineAfter, bool afterBlocks)
{
    // As the engine appends: a note or a triplet that passes the width opens a block, the
    // block before filled to one past the width; a rest goes on past it; "New line" fills.
    Layout layout;
    const int lines = blockLineCount(setup.strings.value());
    long long length = 0;
    int pendingFill = 0;
    const auto fillBlock = [&] {
        if (length > setup.width)
            return;
        const auto fill = static_cast<int>(setup.width - length + 1);
        pendingFill += fill;
        length += fill;
    };
    const auto open = [&](bool restHead) {
        if (!layout.blocks.empty())
            layout.blocks.back().fillAfter = pendingFill;
        Block block;
        block.line = static_cast<int>(layout.blocks.size()) * lines;
        block.firstBeat = layout.places.size();
        block.restHead = restHead;
        layout.blocks.push_back(block);
        length = static_cast<long long>(kHeadLength);
        pendingFill = 0;
    };
    for (std::size_t at = 0; at < track.beats.size(); ++at) {
        const model::Beat& beat = track.beats[at];
        if (beat.tripletPart > 0) {
            Block& block = layout.blocks.back();
            block.fillBefore.push_back(0);
            layout.places.push_back({layout.blocks.size() - 1, static_cast<int>(block.beatCount++),
                                     static_cast<int>(length)});
            length += static_cast<long long>(kCellWidth);
            continue;
        }
        if (beat.newLineBefore && !layout.blocks.empty())
            fillBlock();
        const long long width = static_cast<long long>(
            beat.tripletPart == 0 ? kCellWidth * kTripletColumns : kCellWidth);
        const bool opening = layout.blocks.empty();
        if (opening)
            open(beat.rest() && !afterBlocks);
        // Even the tab's first block: at a width too narrow for any note it stays empty.
        if (!beat.rest() && length + width > setup.width && !(opening && afterBlocks)) {
            fillBlock();
            open(false);
        }
        Block& block = layout.blocks.back();
        block.fillBefore.push_back(pendingFill);
        pendingFill = 0;
        layout.places.push_back({layout.blocks.size() - 1, static_cast<int>(block.beatCount++),
                                 static_cast<int>(length)});
        length += static_cast<long long>(kCellWidth);
    }
    if (newLineAfter && !layout.blocks.empty())
        fillBlock();
    if (!layout.blocks.empty())
        layout.blocks.back().fillAfter = pendingFill;
    return layout;
}

} // namespace quorlin::tabtext
