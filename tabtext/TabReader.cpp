#include "tabtext/TabCodec.h"

#include "instrument/NoteCycle.h"
#include "tabtext/Marks.h"
#include "tabtext/TabFormat.h"
#include "tabtext/TextWidth.h"

#include <algorithm>
#include <array>
#include <string>

namespace quorlin::tabtext {

namespace {

using model::Beat;
using model::Note;
using model::Technique;

constexpr std::size_t kMaxRows = blockLineCount(instrument::kMaxStrings);

// The strict reader's verdict on a text no writer makes, at a line counted from 0.
struct Unreadable {
    int line;
    const char* what;
};

[[noreturn]] void unreadable(int line, const char* what)
{
    throw Unreadable{line, what};
}

// One block's lines as the text holds them, and with one byte per character so that
// character p is index p on each: a letter of several bytes typed by hand must not shift the
// columns after it.
class Rows {
public:
    Rows(const LineSource& lines, int start, int count) : m_count(count)
    {
        for (int k = 0; k < count; ++k) {
            const auto at = static_cast<std::size_t>(k);
            m_raw[at] = lines.view(start + k, m_copy[at]);
            m_narrow[at] = narrowed(m_raw[at], m_buffer[at]);
        }
    }
    Rows(const Rows&) = delete;
    Rows& operator=(const Rows&) = delete;

    std::string_view rhythm() const { return m_narrow[0]; }
    std::string_view string(int k) const { return m_narrow[static_cast<std::size_t>(k)]; }
    std::string_view articulation() const
    {
        return m_narrow[static_cast<std::size_t>(m_count - 1)];
    }
    std::string_view raw(int k) const { return m_raw[static_cast<std::size_t>(k)]; }
    std::vector<std::string> rawLines() const { return {m_raw.begin(), m_raw.begin() + m_count}; }

private:
    int m_count;
    std::array<std::string, kMaxRows> m_copy;
    std::array<std::string_view, kMaxRows> m_raw;
    std::array<std::string, kMaxRows> m_buffer;
    std::array<std::string_view, kMaxRows> m_narrow;
};

char at(std::string_view line, std::size_t p, char past)
{
    return p < line.size() ? line[p] : past;
}

void setDuration(Beat& beat, std::string_view rhythm, std::size_t p)
{
    const Duration duration = durationAt(rhythm, p);
    beat.value = valueOf(duration.symbol);
    beat.dotted = duration.dotted;
}

} // namespace

std::size_t cellsEnd(std::string_view rhythm)
{
    std::size_t end = kHeadLength;
    for (std::size_t p = kHeadLength; p < rhythm.size();) {
        if (rhythmCellAt(rhythm, p)) {
            p += kCellWidth;
            end = p;
        } else {
            ++p;
        }
    }
    return end;
}

namespace {

// --- Blocks as the engine writes them ------------------------------------------------------

struct Cells {
    std::array<StringCell, instrument::kMaxStrings> strings{};
    char articulation = ' ';
    std::size_t at = 0;
    int fillBefore = 0;
};

bool holdsTripletMark(const Cells& cells, int strings)
{
    for (int k = 0; k < strings; ++k) {
        const StringCell& cell = cells.strings[static_cast<std::size_t>(k)];
        if (cell.kind == StringCell::Kind::Note && cell.mark == kTripletMark)
            return true;
    }
    return false;
}

bool isFill(const Rows& rows, int strings, std::size_t p)
{
    const auto holds = [&](std::string_view line, char fill) {
        return p >= line.size() || line[p] == fill;
    };
    for (int k = 1; k <= strings; ++k) {
        if (!holds(rows.string(k), kFill))
            return false;
    }
    return holds(rows.rhythm(), ' ') && holds(rows.articulation(), ' ');
}

// The beat of one column: the note carrying its mark first, then the others by string.
Beat strictBeat(const Cells& cells, std::string_view rhythm, int strings, int line)
{
    Beat beat;
    setDuration(beat, rhythm, cells.at);
    int lead = 0;
    for (int k = 1; k <= strings; ++k) {
        const StringCell& cell = cells.strings[static_cast<std::size_t>(k - 1)];
        if (cell.kind != StringCell::Kind::Note)
            continue;
        if (cell.mark != kPlainMark) {
            if (lead != 0)
                unreadable(line, "two marked notes in one column");
            lead = k;
        }
        beat.notes.push_back({k, cell.fret});
    }
    if (cells.articulation == kRestMark) {
        if (!beat.notes.empty())
            unreadable(line, "a rest with notes");
        return beat;
    }
    if (beat.notes.empty())
        unreadable(line, "a column with neither note nor rest");
    if (lead != 0) {
        const auto first = std::ranges::find(beat.notes, lead, &Note::string);
        std::rotate(beat.notes.begin(), first, first + 1);
    }
    const char mark = cells.strings[static_cast<std::size_t>(beat.notes.front().string - 1)].mark;
    beat.setTechnique(techniqueOfArticulation(cells.articulation, techniqueOfMark(mark)));
    return beat;
}

// Reads a block the way the engine writes it into `reading`, throwing Unreadable on the first
// thing no writer makes. `start` is its rhythm line.
void readStrictBlock(const Rows& rows, int start, std::size_t index, int strings, Reading& reading)
{
    const std::string_view rhythm = rows.rhythm();
    // Every block of a tab is read: its cells go into the same room each time.
    thread_local std::vector<Cells> cells;
    cells.clear();
    int fill = 0;
    for (std::size_t p = kHeadLength; p < rhythm.size();) {
        if (!rhythmCellAt(rhythm, p)) {
            // Fill is blank above and below and dashes on the strings. "Repeat last" after a
            // short fill copies part of a column and fill, which would read as other columns
            // and lose a note.
            if (!isFill(rows, strings, p))
                unreadable(start, "a column cut short");
            ++fill;
            ++p;
            continue;
        }
        Cells column;
        column.at = p;
        column.fillBefore = fill;
        for (int k = 1; k <= strings; ++k) {
            const std::string_view line = rows.string(k);
            if (p + kCellWidth > line.size())
                unreadable(start + k, "a string line shorter than its rhythm line");
            const StringCell cell = readStringCell(line.substr(p, kCellWidth));
            if (cell.kind == StringCell::Kind::Bad)
                unreadable(start + k, "a cell no writer makes");
            column.strings[static_cast<std::size_t>(k - 1)] = cell;
        }
        const std::string_view articulation = rows.articulation();
        column.articulation = p + kCellWidth <= articulation.size() ? articulation[p + 2] : ' ';
        cells.push_back(column);
        fill = 0;
        p += kCellWidth;
    }

    Block block;
    block.line = start;
    block.firstBeat = reading.track.beats.size();
    block.beatCount = cells.size();
    block.fillAfter = fill;
    block.restHead = rows.articulation().starts_with(kRestArticulationPrefix);
    std::vector<Beat>& beats = reading.track.beats;
    for (std::size_t c = 0; c < cells.size(); ++c) {
        Beat beat = strictBeat(cells[c], rhythm, strings, start);
        beat.newLineBefore = cells[c].fillBefore > 0;
        block.fillBefore.push_back(cells[c].fillBefore);
        beats.push_back(std::move(beat));
        reading.layout.places.push_back(
            {index, static_cast<int>(c), static_cast<int>(cells[c].at)});
    }

    // A triplet is a plain note followed by two that carry the triplet mark, in one block.
    const std::size_t first = block.firstBeat;
    for (std::size_t c = 0; c < cells.size(); ++c) {
        if (!holdsTripletMark(cells[c], strings))
            continue;
        if (c < 1 || holdsTripletMark(cells[c - 1], strings) || c + 1 >= cells.size() ||
            !holdsTripletMark(cells[c + 1], strings))
            unreadable(start, "a triplet cut short");
        // "Repeat last" of three columns may copy the end of one triplet after a note: the
        // marks then stand on columns that are no one triplet.
        const Beat& opening = beats[first + c - 1];
        const Cells& lead = cells[c - 1];
        for (std::size_t part = 0; part < kTripletColumns; ++part) {
            Beat& beat = beats[first + c - 1 + part];
            if ((part > 0 && beat.newLineBefore) || (part < 2 && beat.chord()) || beat.rest() ||
                beat.value != opening.value || beat.dotted != opening.dotted ||
                beat.notes.front().string != opening.notes.front().string ||
                beat.notes.front().fret != opening.notes.front().fret ||
                lead.strings[static_cast<std::size_t>(opening.notes.front().string - 1)].mark !=
                    kPlainMark ||
                lead.articulation != ' ')
                unreadable(start, "a triplet broken up");
        }
        for (std::size_t part = 0; part < kTripletColumns; ++part) {
            Beat& beat = beats[first + c - 1 + part];
            beat.triplet = true;
            beat.tripletPart = static_cast<std::int8_t>(part);
            for (Note& note : beat.notes)
                note.technique = Technique::Plain;
        }
        c += 1;
    }
    reading.layout.blocks.push_back(std::move(block));
}

// Whether the block's lines are the set-up's: its string lines open with the names.
void requireHeads(const Rows& rows, int start, const Setup& setup)
{
    for (int k = 1; k <= setup.strings.value(); ++k) {
        if (!rows.raw(k).starts_with(setup.tuning.at(k)))
            unreadable(start + k, "not a string line of this tuning");
    }
}

// The lines the block's beats write, or else its own kept with it.
void keepUnlessWritten(const Rows& rows, const model::Track& track, Block& block,
                       const Setup& setup, int lines)
{
    // Every block of a tab is checked: the lines are written into the same room each time.
    thread_local std::vector<std::string> written;
    writeBlockInto(track, block, setup, written);
    for (int k = 0; k < lines; ++k) {
        if (written[static_cast<std::size_t>(k)] != rows.raw(k)) {
            block.verbatim = rows.rawLines();
            return;
        }
    }
}

// Room for the beats of `blocks` blocks as full as the one at line `start`: a tab of many
// thousand blocks otherwise moves its beats again and again as they come in. Never more than a
// few a line, so a long first line over lines of prose asks for little.
void reserve(const LineSource& text, int start, int blocks, Reading& reading)
{
    std::string buffer;
    const std::string_view first = text.view(start, buffer);
    if (blocks <= 0 || !first.starts_with(kRhythmPrefix))
        return;
    const std::size_t each = characterCount(first) / kCellWidth;
    const std::size_t beats = std::min(static_cast<std::size_t>(blocks) * each,
                                       static_cast<std::size_t>(text.count()) * 4);
    reading.track.beats.reserve(beats);
    reading.layout.places.reserve(beats);
    reading.layout.blocks.reserve(static_cast<std::size_t>(blocks));
}

void truncate(Reading& reading, std::size_t blocks)
{
    Layout& layout = reading.layout;
    layout.blocks.resize(std::min(blocks, layout.blocks.size()));
    const std::size_t beats =
        layout.blocks.empty() ? 0 : layout.blocks.back().firstBeat + layout.blocks.back().beatCount;
    reading.track.beats.resize(std::min(beats, reading.track.beats.size()));
    layout.places.resize(reading.track.beats.size());
}

void readStrict(const LineSource& text, const Setup& setup, int from, Reading& reading)
{
    const int strings = setup.strings.value();
    const int lines = blockLineCount(strings);
    const int count = text.count();
    if (count % lines != 0)
        unreadable(count - 1, "lines that are no whole block");
    from = std::clamp(from - from % lines, 0, count);
    reserve(text, from, (count - from) / lines, reading);

    std::size_t previousEnd = 0;
    std::size_t previousLength = 0;
    // The last block before that holds a column tells whether "New line" came next.
    for (int start = from - lines; start >= 0; start -= lines) {
        const Rows before(text, start, lines);
        requireHeads(before, start, setup);
        previousEnd = cellsEnd(before.rhythm());
        previousLength = before.rhythm().size();
        if (previousEnd > kHeadLength)
            break;
        previousEnd = previousLength = 0;
    }
    for (int start = from; start < count; start += lines) {
        const Rows rows(text, start, lines);
        requireHeads(rows, start, setup);
        const auto index = static_cast<std::size_t>(start / lines);
        readStrictBlock(rows, start, index, strings, reading);
        Block& block = reading.layout.blocks.back();
        keepUnlessWritten(rows, reading.track, block, setup, lines);
        // "<-" may leave a block with no column, which no list writes: it holds no music, so
        // the block before it still tells whether "New line" came before the next column.
        if (block.beatCount == 0)
            continue;
        // Fill that ends a block is "New line" only when the next column would have fit
        // before it; otherwise the engine filled the block itself on its way to a new one.
        // A rest goes after the fill of "New line" in the same block, so one opening a block
        // (a copy that passed the width) came after no "New line".
        if (previousLength != 0 && previousEnd < previousLength) {
            Beat& beat = reading.track.beats[block.firstBeat];
            beat.newLineBefore =
                !beat.rest() &&
                static_cast<long long>(previousEnd) + cellsWidth(beat) <= setup.width;
        }
        previousEnd = cellsEnd(rows.rhythm());
        previousLength = rows.rhythm().size();
    }
}

// --- Whatever the lines hold ---------------------------------------------------------------

class TolerantBlock {
public:
    TolerantBlock(const Rows& rows, int start, std::size_t index, const Setup& setup,
                  Reading& reading) :
        m_rows(rows),
        m_start(start), m_index(index), m_strings(setup.strings.value()), m_reading(reading),
        m_first(reading.track.beats.size())
    {
        for (int s = 1; s <= m_strings; ++s) {
            const std::string_view row = rows.string(s);
            const std::string_view head = row.substr(0, std::min(row.size(), kHeadLength));
            // The line's own name wins: the tab may have been written for another tuning.
            m_pitches[static_cast<std::size_t>(s)] = instrument::openPitch(
                s, setup.strings, instrument::isNoteName(head) ? head : setup.tuning.at(s));
        }
    }

    void read()
    {
        const std::string_view rhythm = m_rows.rhythm();
        std::size_t p = kHeadLength;
        while (p < rhythm.size()) {
            if (rhythmCellAt(rhythm, p)) {
                readColumn(p);
                p += kCellWidth;
                continue;
            }
            // No cell here: blanks are fill, or lead into a cell just after them; anything
            // else up to the next cell stands where a column was.
            const std::size_t end = std::min(p + kCellWidth, rhythm.size());
            std::size_t next = p + 1;
            while (next < end && !rhythmCellAt(rhythm, next))
                ++next;
            const bool blank = std::all_of(rhythm.begin() + static_cast<std::ptrdiff_t>(p),
                                           rhythm.begin() + static_cast<std::ptrdiff_t>(next),
                                           [](char c) { return c == ' '; });
            // Over plain fill nothing could have sounded, so a stray mark there is no column.
            if (!blank && !fillUnder(p, next))
                m_reading.skipped.push_back({m_start, static_cast<int>(p)});
            p = next;
        }
        Block block;
        block.line = m_start;
        block.firstBeat = m_first;
        block.beatCount = m_reading.track.beats.size() - m_first;
        block.fillBefore.assign(block.beatCount, 0);
        block.restHead = m_rows.articulation().starts_with(kRestArticulationPrefix);
        if (m_marksUnsaid)
            block.marks = std::move(m_marks);
        block.verbatim = m_rows.rawLines();
        m_reading.layout.blocks.push_back(std::move(block));
    }

private:
    bool fillUnder(std::size_t from, std::size_t to) const
    {
        for (std::size_t p = from; p < to; ++p) {
            for (int s = 1; s <= m_strings; ++s) {
                if (at(m_rows.string(s), p, kFill) != kFill)
                    return false;
            }
            if (at(m_rows.articulation(), p, ' ') != ' ')
                return false;
        }
        return true;
    }

    void push(Beat beat, std::size_t p, const CellMarks& marks = kPlainMarks)
    {
        m_marks.push_back(marks);
        m_reading.layout.places.push_back({m_index,
                                           static_cast<int>(m_reading.track.beats.size() - m_first),
                                           static_cast<int>(p)});
        m_reading.track.beats.push_back(std::move(beat));
    }

    void readColumn(std::size_t p)
    {
        Beat beat;
        setDuration(beat, m_rows.rhythm(), p);
        // A column with a readable duration but unreadable cells keeps its time, so what
        // follows stays on the beat it was written on.
        const auto skip = [&] {
            m_reading.skipped.push_back({m_start, static_cast<int>(p)});
            beat.notes.clear();
            beat.unread = true;
            push(std::move(beat), p);
        };

        const std::string_view articulation = m_rows.articulation();
        const char mark = at(articulation, p + kCellWidth - 1, ' ');
        if (at(articulation, p, ' ') != ' ' || at(articulation, p + 1, ' ') != ' ' ||
            !isArticulationMark(mark))
            return skip();

        CellMarks marks = kPlainMarks;
        bool tilde = false;
        for (int s = 1; s <= m_strings; ++s) {
            const std::string_view row = m_rows.string(s);
            if (row.size() < p + kCellWidth)
                return skip();
            const StringCell cell = readStringCell(row.substr(p, kCellWidth));
            if (cell.kind == StringCell::Kind::Bad)
                return skip();
            if (cell.kind == StringCell::Kind::Empty)
                continue;
            // A string whose name is no note has no pitch to sound.
            if (m_pitches[static_cast<std::size_t>(s)] < 0)
                return skip();
            tilde = tilde || cell.mark == kTripletMark;
            const Note note{s, cell.fret,
                            techniqueOfArticulation(mark, techniqueOfMark(cell.mark))};
            marks[static_cast<std::size_t>(s - 1)] = cell.mark;
            m_marksUnsaid = m_marksUnsaid || cell.mark != cellMark(note.technique, false);
            beat.notes.push_back(note);
        }
        if (mark == kRestMark && !beat.notes.empty())
            return skip();

        // The column before a triplet's first "~" is the triplet's first note.
        std::vector<Beat>& beats = m_reading.track.beats;
        if (tilde && beats.size() > m_first) {
            Beat& before = beats.back();
            if (!before.unread && !before.triplet && !before.rest() &&
                static_cast<std::size_t>(m_reading.layout.places.back().character) + kCellWidth ==
                    p)
                before.triplet = true;
        }
        beat.triplet = tilde;
        push(std::move(beat), p, marks);
    }

    const Rows& m_rows;
    int m_start;
    std::size_t m_index;
    int m_strings;
    Reading& m_reading;
    std::size_t m_first;
    std::array<int, instrument::kMaxStrings + 1> m_pitches{};
    static constexpr CellMarks kPlainMarks = [] {
        CellMarks marks{};
        marks.fill(kPlainMark);
        return marks;
    }();
    // By beat of the block, kept only where the notes do not say them.
    std::vector<CellMarks> m_marks;
    bool m_marksUnsaid = false;
};

// A block as the engine writes it, in the set-up's names that all sound: read strictly. False,
// with nothing taken, for any other.
bool readWritten(const Rows& rows, int start, const Setup& setup, Reading& reading)
{
    const int strings = setup.strings.value();
    for (int s = 1; s <= strings; ++s) {
        if (!rows.raw(s).starts_with(setup.tuning.at(s)) ||
            instrument::openPitch(s, setup.strings, setup.tuning.at(s)) < 0)
            return false;
    }
    const std::size_t blocks = reading.layout.blocks.size();
    try {
        readStrictBlock(rows, start, blocks, strings, reading);
    } catch (const Unreadable&) {
        truncate(reading, blocks);
        return false;
    }
    Block& block = reading.layout.blocks.back();
    keepUnlessWritten(rows, reading.track, block, setup, blockLineCount(strings));
    if (block.verbatim.empty())
        return true;
    truncate(reading, blocks);
    return false;
}

void readTolerant(const LineSource& text, const Setup& setup, int from, Reading& reading)
{
    const int lines = blockLineCount(setup.strings.value());
    const int count = text.count();
    if (from == 0)
        reserve(text, 0, count / lines, reading);
    std::string buffer;
    int i = from;
    while (i < count) {
        const std::string_view line = text.view(i, buffer);
        // Lines between blocks (blank lines, notes typed by hand) are no music.
        if (!line.starts_with(kRhythmPrefix) || count - i < lines) {
            reading.layout.free.push_back({reading.layout.blocks.size(), std::string(line)});
            ++i;
            continue;
        }
        const Rows rows(text, i, lines);
        if (!readWritten(rows, i, setup, reading))
            TolerantBlock(rows, i, reading.layout.blocks.size(), setup, reading).read();
        i += lines;
    }
}

} // namespace

Reading readTab(const LineSource& lines, const Setup& setup, Mode mode)
{
    Reading reading;
    reading.track.strings = setup.strings;
    reading.track.tuning = setup.tuning;
    if (mode == Mode::Tolerant) {
        readTolerant(lines, setup, 0, reading);
        return reading;
    }
    reading = readTabFrom(lines, setup, 0);
    dropSilentNewLines(std::span(reading.track.beats), setup.width);
    return reading;
}

void rereadTolerant(const LineSource& lines, const Setup& setup, int changedFrom, Reading& reading)
{
    const int blockLines = blockLineCount(setup.strings.value());
    Layout& layout = reading.layout;
    // Whether a line opens a block depends on the block's lines from it, so the verdicts on
    // the lines just before the change may change too; the scan goes on from a line it stopped
    // at, the start of a block or a free line.
    int start = std::max(0, std::min(changedFrom, lines.count()) - (blockLines - 1));
    auto kept = std::ranges::upper_bound(layout.blocks, start, {}, &Block::line);
    if (kept != layout.blocks.begin() && std::prev(kept)->line + blockLines > start) {
        --kept;
        start = kept->line;
    }
    const auto blocks = static_cast<std::size_t>(kept - layout.blocks.begin());
    // Every line between the last block kept and `start` was a free line.
    const int freeBefore =
        blocks == 0 ? start : start - (layout.blocks[blocks - 1].line + blockLines);
    const auto freeKept =
        std::ranges::find_if(layout.free,
                             [&](const FreeLine& line) { return line.beforeBlock >= blocks; }) -
        layout.free.begin();
    layout.free.resize(
        std::min(layout.free.size(), static_cast<std::size_t>(freeKept + freeBefore)));
    std::erase_if(reading.skipped, [&](const Skip& skip) { return skip.line >= start; });
    truncate(reading, blocks);
    readTolerant(lines, setup, start, reading);
}

Reading readTabFrom(const LineSource& lines, const Setup& setup, int from)
{
    Reading reading;
    reading.track.strings = setup.strings;
    reading.track.tuning = setup.tuning;
    try {
        readStrict(lines, setup, from, reading);
    } catch (const Unreadable& unread) {
        reading.problem = "Line " + std::to_string(unread.line + 1) + ": " + unread.what;
    }
    return reading;
}

} // namespace quorlin::tabtext
