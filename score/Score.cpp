#include "score/Score.h"

#include "instrument/NoteCycle.h"
#include "tabtext/TextWidth.h"

#include <algorithm>
#include <array>
#include <utility>

namespace quorlin::score {

namespace {

using tabtext::kHeadLength;

// The open pitch of each string of a block: what its own lines name where they name a note.
void blockPitches(const tabtext::Block& block, const model::Track& track,
                  std::array<int, instrument::kMaxStrings + 1>& pitches)
{
    std::string buffer;
    for (int s = 1; s <= track.strings.value(); ++s) {
        std::string_view name = track.tuning.at(s);
        if (!block.verbatim.empty()) {
            const std::string_view row =
                tabtext::narrowed(block.verbatim[static_cast<std::size_t>(s)], buffer);
            const std::string_view head = row.substr(0, std::min(row.size(), kHeadLength));
            if (instrument::isNoteName(head))
                name = head;
        }
        pitches[static_cast<std::size_t>(s)] = openPitch(s, track.strings, name);
    }
}

} // namespace

Score timeline(const tabtext::Reading& reading, int tempo)
{
    return timeline(reading.track, reading.layout, reading.skipped, tempo);
}

Score timeline(const model::Track& track, const tabtext::Layout& layout,
               std::span<const Skip> skipped, int tempo)
{
    Score score;
    score.tempo = clampTempo(tempo);
    score.strings = track.strings.value();
    score.skipped.assign(skipped.begin(), skipped.end());
    std::array<int, instrument::kMaxStrings + 1> pitches{};
    std::int64_t time = 0;
    score.columns.reserve(track.beats.size());
    score.blocks.reserve(layout.blocks.size());
    for (std::size_t b = 0; b < layout.blocks.size(); ++b) {
        const tabtext::Block& block = layout.blocks[b];
        blockPitches(block, track, pitches);
        Block out;
        out.line = block.line;
        out.firstColumn = score.columns.size();
        out.start = time;
        for (std::size_t at = block.firstBeat; at < block.firstBeat + block.beatCount; ++at) {
            const model::Beat& beat = track.beats[at];
            const std::int64_t length = beat.ticks();
            const bool sounds = std::ranges::all_of(beat.notes, [&](const model::Note& note) {
                return pitches[static_cast<std::size_t>(note.string)] >= 0;
            });
            if (beat.unread || !sounds) {
                // Text that cannot be read keeps its time, so what follows stays on its beat.
                if (!sounds)
                    score.skipped.push_back({block.line, layout.places[at].character});
                time += length;
                continue;
            }
            Column column;
            column.block = static_cast<int>(b);
            column.line = block.line;
            column.offset = layout.places[at].character;
            column.start = time;
            column.length = length;
            column.symbol = tabtext::symbolOf(beat.value);
            column.dotted = beat.dotted;
            column.triplet = beat.triplet;
            column.rest = beat.rest();
            column.notes.reserve(beat.notes.size());
            for (const model::Note& note : beat.notes)
                column.notes.push_back({note.string, note.fret,
                                        pitches[static_cast<std::size_t>(note.string)] + note.fret,
                                        note.technique, note.flags});
            std::ranges::sort(column.notes, {}, &Note::string);
            time += length;
            score.columns.push_back(std::move(column));
        }
        out.columnCount = score.columns.size() - out.firstColumn;
        out.length = time - out.start;
        score.blocks.push_back(out);
    }
    score.length = time;
    return score;
}

int clampTempo(int bpm)
{
    return std::clamp(bpm, kMinTempo, kMaxTempo);
}

std::vector<int> openPitches(instrument::StringCount strings, const instrument::Tuning& tuning)
{
    std::vector<int> pitches;
    for (int s = 1; s <= strings.value(); ++s)
        pitches.push_back(instrument::openPitch(s, strings, tuning.at(s)));
    return pitches;
}

Score readScore(std::span<const std::string_view> lines, instrument::StringCount strings,
                const instrument::Tuning& tuning, int tempo)
{
    const tabtext::SpanLines text(lines);
    return timeline(tabtext::readTab(text, {strings, tuning}, tabtext::Mode::Tolerant), tempo);
}

std::string skippedText(const Score& score)
{
    const std::vector<Skip>& skipped = score.skipped;
    if (skipped.empty())
        return {};
    const std::size_t n = skipped.size();
    std::string text =
        std::to_string(n) + (n == 1 ? " column" : " columns") + " could not be read, line";
    const int first = skipped.front().line + 1;
    const int last = skipped.back().line + 1;
    if (first == last)
        return text + ' ' + std::to_string(first);
    return text + "s " + std::to_string(first) + " to " + std::to_string(last);
}

double Score::secondsAt(std::int64_t tick) const
{
    return static_cast<double>(tick) * 60.0 /
           (static_cast<double>(kTicksPerBeat) * clampTempo(tempo));
}

int Score::columnAt(std::int64_t tick) const
{
    const auto after =
        std::upper_bound(columns.begin(), columns.end(), tick,
                         [](std::int64_t t, const Column& c) { return t < c.start; });
    if (after == columns.begin())
        return -1;
    const auto column = std::prev(after);
    if (tick >= column->start + column->length)
        return -1;
    return static_cast<int>(column - columns.begin());
}

int Score::blockOfLine(int line) const
{
    const auto after = std::upper_bound(blocks.begin(), blocks.end(), line,
                                        [](int l, const Block& b) { return l < b.line; });
    if (after == blocks.begin())
        return -1;
    const auto block = std::prev(after);
    if (line >= block->line + tabtext::blockLineCount(strings))
        return -1;
    return static_cast<int>(block - blocks.begin());
}

} // namespace quorlin::score
