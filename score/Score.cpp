#include "score/Score.h"

#include "engine/TextWidth.h"
#include "instrument/NeckLabels.h"
#include "instrument/NoteCycle.h"

#include <algorithm>
#include <array>
#include <utility>

namespace quorlin::score {

namespace {

using engine::kCellWidth;
using engine::kHeadLength;
// Rhythm line, six strings at most, articulation line.
constexpr std::size_t kMaxRows = engine::blockLineCount(instrument::kMaxStrings);

// The character at p, or `past` beyond the end: an editor may strip trailing blanks.
char at(std::string_view line, std::size_t p, char past)
{
    return p < line.size() ? line[p] : past;
}

// By mark, for the reader's inner loop.
constexpr std::array<Technique, 256> kTechniqueOfMark = [] {
    std::array<Technique, 256> techniques{};
    techniques.fill(Technique::Plain);
    for (const auto& [technique, mark] : kTieMarks)
        techniques[static_cast<unsigned char>(mark)] = technique;
    return techniques;
}();

Technique techniqueOf(char mark)
{
    return kTechniqueOfMark[static_cast<unsigned char>(mark)];
}

class Reader {
public:
    Reader(Score& score, instrument::StringCount strings, const instrument::Tuning& tuning) :
        m_score(score), m_count(strings), m_strings(strings.value()), m_tuning(tuning)
    {
    }

    void readBlock(std::span<const std::string_view> lines, int line)
    {
        const auto first = static_cast<std::size_t>(line);
        for (int k = 0; k < engine::blockLineCount(m_strings); ++k) {
            const std::string_view text = lines[first + static_cast<std::size_t>(k)];
            // The engine lines columns up by characters: a letter of several bytes typed by
            // hand must not shift those after it.
            m_rows[k] = engine::narrowed(text, m_narrowed[k]);
        }
        for (int s = 1; s <= m_strings; ++s) {
            const std::string_view row = m_rows[s];
            const std::string_view head = row.substr(0, std::min(row.size(), kHeadLength));
            // The line's own name wins: the tab may have been written for another tuning.
            m_pitches[s] =
                openPitch(s, m_count, instrument::isNoteName(head) ? head : m_tuning.at(s));
        }

        Block block;
        block.line = line;
        block.firstColumn = m_score.columns.size();
        block.start = m_time;
        m_line = line;
        m_blockFirst = block.firstColumn;

        const std::string_view rhythm = m_rows[0];
        std::size_t p = kHeadLength;
        while (p < rhythm.size()) {
            if (engine::rhythmCellAt(rhythm, p)) {
                readColumn(static_cast<int>(m_score.blocks.size()), p);
                p += kCellWidth;
                continue;
            }
            // No cell here: blanks are fill, or lead into a cell just after them; anything
            // else up to the next cell stands where a column was.
            const std::size_t end = std::min(p + kCellWidth, rhythm.size());
            std::size_t next = p + 1;
            while (next < end && !engine::rhythmCellAt(rhythm, next))
                ++next;
            const bool blank = std::all_of(rhythm.begin() + static_cast<std::ptrdiff_t>(p),
                                           rhythm.begin() + static_cast<std::ptrdiff_t>(next),
                                           [](char c) { return c == ' '; });
            // Over plain fill nothing could have sounded, so a stray mark there is no column.
            // A damaged one takes no time: its duration is what cannot be read.
            if (!blank && !fillUnder(p, next))
                m_score.skipped.push_back({m_line, static_cast<int>(p)});
            p = next;
        }

        block.columnCount = m_score.columns.size() - block.firstColumn;
        block.length = m_time - block.start;
        m_score.blocks.push_back(block);
    }

    std::int64_t time() const { return m_time; }

private:
    bool fillUnder(std::size_t from, std::size_t to) const
    {
        for (std::size_t p = from; p < to; ++p) {
            for (int s = 1; s <= m_strings; ++s) {
                if (at(m_rows[s], p, engine::kFill) != engine::kFill)
                    return false;
            }
            if (at(m_rows[m_strings + 1], p, ' ') != ' ')
                return false;
        }
        return true;
    }

    void readColumn(int blockIndex, std::size_t p)
    {
        const auto [symbol, dotted] = engine::durationAt(m_rows[0], p);
        const std::int64_t written = engine::writtenTicks(symbol, dotted);

        // A column with a readable duration but unreadable cells keeps its time, so what
        // follows stays on the beat it was written on.
        const auto skip = [&] {
            m_score.skipped.push_back({m_line, static_cast<int>(p)});
            m_time += written;
        };

        const std::string_view articulation = m_rows[m_strings + 1];
        const char mark = at(articulation, p + kCellWidth - 1, ' ');
        if (at(articulation, p, ' ') != ' ' || at(articulation, p + 1, ' ') != ' ' ||
            !engine::isArticulationMark(mark))
            return skip();

        std::array<Note, instrument::kMaxStrings> notes;
        std::size_t count = 0;
        bool tilde = false;
        for (int s = 1; s <= m_strings; ++s) {
            const std::string_view row = m_rows[s];
            if (row.size() < p + kCellWidth)
                return skip();
            const engine::StringCell cell = engine::readStringCell(row.substr(p, kCellWidth));
            if (cell.kind == engine::StringCell::Kind::Bad)
                return skip();
            if (cell.kind == engine::StringCell::Kind::Empty)
                continue;
            // A string whose name is no note has no pitch to sound.
            if (m_pitches[s] < 0)
                return skip();
            tilde = tilde || cell.mark == engine::kTripletMark;
            Technique technique = techniqueOf(cell.mark);
            if (mark == engine::kSlapMark)
                technique = Technique::Slap;
            else if (mark == engine::kPopMark)
                technique = Technique::Pop;
            notes[count++] = Note{s, cell.fret, m_pitches[s] + cell.fret, technique};
        }
        if (mark == engine::kRestMark && count != 0)
            return skip();

        // The column before a triplet's first "~" is the triplet's first note.
        if (tilde && m_score.columns.size() > m_blockFirst) {
            Column& before = m_score.columns.back();
            if (!before.triplet && !before.rest &&
                static_cast<std::size_t>(before.offset) + kCellWidth == p) {
                const std::int64_t shorter = engine::tripletTicks(before.length);
                m_time -= before.length - shorter;
                before.length = shorter;
                before.triplet = true;
            }
        }

        Column column;
        column.block = blockIndex;
        column.line = m_line;
        column.offset = static_cast<int>(p);
        column.width = static_cast<int>(kCellWidth);
        column.start = m_time;
        column.length = tilde ? engine::tripletTicks(written) : written;
        column.symbol = symbol;
        column.dotted = dotted;
        column.triplet = tilde;
        // A column with nothing on its strings is silence, whether or not it says so.
        column.rest = count == 0;
        column.notes.assign(notes.begin(), notes.begin() + static_cast<std::ptrdiff_t>(count));
        m_time += column.length;
        m_score.columns.push_back(std::move(column));
    }

    Score& m_score;
    instrument::StringCount m_count;
    int m_strings;
    const instrument::Tuning& m_tuning;
    std::array<std::string_view, kMaxRows> m_rows;
    std::array<std::string, kMaxRows> m_narrowed;
    std::array<int, instrument::kMaxStrings + 1> m_pitches{};
    std::int64_t m_time = 0;
    int m_line = 0;
    std::size_t m_blockFirst = 0;
};

} // namespace

int clampTempo(int bpm)
{
    return std::clamp(bpm, kMinTempo, kMaxTempo);
}

int openPitch(int string, instrument::StringCount strings, std::string_view name)
{
    // The usual tuning of each place: G D A E B, and a high C above them on six strings.
    static constexpr std::array<int, 6> kFourOrFive = {43, 38, 33, 28, 23, 23};
    static constexpr std::array<int, 6> kSix = {48, 43, 38, 33, 28, 23};
    if (string < 1 || string > strings.value() || name.size() != 2)
        return -1;
    int index = -1;
    for (int i = 0; i < 12; ++i) {
        if (instrument::kNoteCycle.substr(static_cast<std::size_t>(2 * i), 2) == name)
            index = i;
    }
    if (index < 0)
        return -1;
    const int place = (strings.value() == instrument::kMaxStrings
                           ? kSix
                           : kFourOrFive)[static_cast<std::size_t>(string - 1)];
    // The cycle starts at A, MIDI's pitch classes at C: A is 9.
    const int pitchClass = (index + 9) % 12;
    const int up = (pitchClass - place % 12 + 12) % 12;
    return up < 6 ? place + up : place + up - 12;
}

std::vector<int> openPitches(instrument::StringCount strings, const instrument::Tuning& tuning)
{
    std::vector<int> pitches;
    for (int s = 1; s <= strings.value(); ++s)
        pitches.push_back(openPitch(s, strings, tuning.at(s)));
    return pitches;
}

Score readScore(std::span<const std::string_view> lines, instrument::StringCount strings,
                const instrument::Tuning& tuning, int tempo)
{
    Score score;
    score.tempo = clampTempo(tempo);
    score.strings = strings.value();
    Reader reader(score, strings, tuning);
    const auto blockLines = static_cast<std::size_t>(engine::blockLineCount(strings.value()));
    std::size_t i = 0;
    while (i < lines.size()) {
        // Lines between blocks (blank lines, notes typed by hand) are no music.
        if (!lines[i].starts_with(engine::kRhythmPrefix) || lines.size() - i < blockLines) {
            ++i;
            continue;
        }
        reader.readBlock(lines, static_cast<int>(i));
        i += blockLines;
    }
    score.length = reader.time();
    return score;
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
    if (line >= block->line + engine::blockLineCount(strings))
        return -1;
    return static_cast<int>(block - blocks.begin());
}

} // namespace quorlin::score
