#include "score/Retune.h"

#include "instrument/NeckLabels.h"
#include "instrument/NoteCycle.h"
#include "score/Fingering.h"
#include "tabtext/Marks.h"
#include "tabtext/TabCodec.h"
#include "tabtext/TabFormat.h"
#include "tabtext/TextWidth.h"

#include <algorithm>
#include <array>
#include <cstdlib>
#include <stdexcept>

namespace quorlin::score {

namespace {

using tabtext::characterCount;
using tabtext::kCellWidth;
using tabtext::narrowed;
constexpr int kNone = -1;
constexpr std::size_t kMax = instrument::kMaxStrings;

// Copies a line while writing ASCII text over some of its characters, which stay where the
// reader counts them even when the line holds letters of several bytes.
class Splicer {
public:
    explicit Splicer(std::string_view line) : m_line(line)
    {
        // Continuation bytes before the first character belong to no character: they go with
        // the head that replaces it.
        while (tabtext::splitsCharacter(m_line, m_byte))
            ++m_byte;
    }

    // `text` replaces as many characters from character `at` on; edits come left to right.
    void put(std::size_t at, std::string_view text)
    {
        while (m_char < at && m_byte < m_line.size()) {
            const std::size_t from = m_byte;
            m_out.append(m_line.substr(from, step()));
        }
        m_out += text;
        for (std::size_t i = 0; i < text.size() && m_byte < m_line.size(); ++i)
            step();
    }
    std::string finish()
    {
        m_out.append(m_line.substr(m_byte));
        return std::move(m_out);
    }

private:
    // Moves past one character and says how many bytes it took.
    std::size_t step()
    {
        const std::size_t from = m_byte;
        m_byte = tabtext::nextCharacter(m_line, m_byte);
        ++m_char;
        return m_byte - from;
    }

    std::string_view m_line;
    std::string m_out;
    std::size_t m_byte = 0;
    std::size_t m_char = 0;
};

// What a choice of strings for one column is worth, compared in this order: notes placed,
// notes kept on the string of the note they follow, notes left at their own place, less the
// way from where the chooser plays them, less the frets (the lower fret wins what is left).
using Worth = std::array<int, 5>;

Worth add(Worth a, const Worth& b)
{
    for (std::size_t i = 0; i < a.size(); ++i)
        a[i] += b[i];
    return a;
}

struct Choice {
    int string = 0;
    int fret = 0;
    Worth worth{};
};

struct Job {
    const Note* note = nullptr;
    int id = 0;
    int home = 0;        // 0: none
    int follows = kNone; // the note whose string this one shares
    bool tie = false;
    bool tilde = false;
    std::array<Choice, kMax> choices{};
    std::size_t choiceCount = 0;
};

// From the first character to the one past the last.
using Regions = std::vector<std::pair<std::size_t, std::size_t>>;

class Retuner {
public:
    Retuner(std::span<const std::string_view> lines, const Setup& from, const Setup& to,
            Retuned& out) :
        m_lines(lines),
        m_fromSetup(from), m_from(from.strings.value()), m_to(to.strings.value()), m_out(out),
        m_reading(tabtext::readTab(tabtext::SpanLines(lines), {from.strings, from.tuning},
                                   tabtext::Mode::Tolerant)),
        m_score(timeline(m_reading, kDefaultTempo)), m_toSetup{to.strings, to.tuning}
    {
        for (int t = 1; t <= m_to; ++t) {
            const std::string& name = to.tuning.at(t);
            if (!instrument::isNoteName(name))
                throw std::invalid_argument("String " + std::to_string(t) + " is tuned to \"" +
                                            name + "\", which is no note");
            m_heads[static_cast<std::size_t>(t)] = name;
            m_open[static_cast<std::size_t>(t)] = openPitch(t, to.strings, name);
        }
        m_oldLast.fill(kNone);
        m_newLast.fill(kNone);
        m_retuned.strings = to.strings;
        m_retuned.tuning = to.tuning;
    }

    void run()
    {
        chooseAway();
        findBeats();
        m_retuned.beats.resize(m_score.columns.size());
        m_marks.resize(m_score.columns.size());
        for (std::size_t c = 0; c < m_score.columns.size(); ++c)
            placeColumn(c);
        std::size_t next = 0;
        for (const Block& block : m_score.blocks) {
            for (; next < static_cast<std::size_t>(block.line); ++next)
                m_out.lines.emplace_back(m_lines[next]);
            writeBlock(block);
            next += static_cast<std::size_t>(tabtext::blockLineCount(m_from));
        }
        for (; next < m_lines.size(); ++next)
            m_out.lines.emplace_back(m_lines[next]);
    }

private:
    // A note's own string: the one tuned to the note its old string was (the nearest such;
    // of two as near, the upper, as every other tie here goes), else the one at the same place. Six
    // strings add a high string above the others, so every place moves down one.
    int home(const Note& note) const
    {
        const int place = note.string + (m_to == 6 ? 1 : 0) - (m_from == 6 ? 1 : 0);
        int same = 0;
        for (int t = 1; t <= m_to; ++t) {
            if (m_open[static_cast<std::size_t>(t)] == note.pitch - note.fret &&
                (same == 0 || std::abs(t - place) < std::abs(same - place)))
                same = t;
        }
        if (same != 0)
            return same;
        return place >= 1 && place <= m_to ? place : 0;
    }

    void chooseAway();
    void findBeats();
    // Whether the cell `note` of column `index` was read from carries the triplet's mark.
    bool carriesTripletMark(std::size_t index, const Note& note) const;
    void placeColumn(std::size_t index);
    void listChoices(Job& job) const;
    void search(std::size_t i, unsigned used, const Worth& sum);
    void writeBlock(const Block& block);
    Regions unreadRegions(const Block& block, std::span<const Skip> skips) const;
    std::string rewrittenLine(const Block& block, int string, std::string_view base,
                              const Regions& blanks) const;

    std::span<const std::string_view> m_lines;
    const Setup& m_fromSetup;
    int m_from;
    int m_to;
    Retuned& m_out;
    tabtext::Reading m_reading;
    Score m_score;
    tabtext::Setup m_toSetup;
    std::array<std::string, kMax + 1> m_heads;
    std::array<int, kMax + 1> m_open{};
    // The last note on each string, by the note's number in reading order.
    std::array<int, kMax + 1> m_oldLast{};
    std::array<int, kMax + 1> m_newLast{};
    int m_nextId = 0;
    // By note id, where the chooser puts it, the notes that can stay home kept there.
    std::vector<Place> m_chosen;
    std::vector<std::size_t> m_beatOf; // by column, the reading's beat
    // By column, its notes where they now stand and the marks of their cells; the codec's
    // writer makes the cells.
    model::Track m_retuned;
    std::vector<tabtext::CellMarks> m_marks;
    std::vector<std::string> m_written; // one block's lines, cells only
    std::size_t m_nextSkip = 0;

    // The search over one column's notes.
    std::array<Job, kMax> m_jobs;
    std::size_t m_jobCount = 0;
    std::array<Worth, kMax + 1> m_bound{};
    std::array<int, kMax> m_picks{};
    std::array<int, kMax> m_bestPicks{};
    Worth m_best{};
};

// The notes that cannot stay home go where the chooser puts them over the whole tab, around the
// ones that stay.
void Retuner::chooseAway()
{
    std::vector<ToPlace> notes;
    for (std::size_t c = 0; c < m_score.columns.size(); ++c) {
        unsigned kept = 0;
        for (const Note& note : m_score.columns[c].notes) {
            const int t = home(note);
            const int fret = t == 0 ? kNone : note.pitch - m_open[static_cast<std::size_t>(t)];
            const bool stays = fret >= 0 && fret <= instrument::kFrets && (kept & 1u << t) == 0;
            if (stays)
                kept |= 1u << t;
            notes.push_back({note.pitch, static_cast<int>(c), stays ? t : 0});
        }
    }
    const std::vector<int> open(m_open.begin() + 1, m_open.begin() + 1 + m_to);
    m_chosen = chooseFingering(notes, open, instrument::kFrets);
}

// Every column is a beat of the reading that sounds; the beats that do not keep their place.
void Retuner::findBeats()
{
    m_beatOf.resize(m_score.columns.size());
    const tabtext::Layout& layout = m_reading.layout;
    for (std::size_t c = 0; c < m_score.columns.size(); ++c) {
        const Column& column = m_score.columns[c];
        const tabtext::Block& block = layout.blocks[static_cast<std::size_t>(column.block)];
        std::size_t at = c > 0 && m_score.columns[c - 1].block == column.block ? m_beatOf[c - 1] + 1
                                                                               : block.firstBeat;
        while (layout.places[at].character != column.offset)
            ++at;
        m_beatOf[c] = at;
    }
}

bool Retuner::carriesTripletMark(std::size_t index, const Note& note) const
{
    const std::size_t at = m_beatOf[index];
    const tabtext::Block& block = m_reading.layout.blocks[m_reading.layout.places[at].block];
    const model::Beat& beat = m_reading.track.beats[at];
    const auto read = std::ranges::find(beat.notes, note.string, &model::Note::string);
    return tabtext::cellMarkOf(block, at - block.firstBeat, beat, *read) == tabtext::kTripletMark;
}

void Retuner::listChoices(Job& job) const
{
    job.choiceCount = 0;
    const Place& chosen = m_chosen[static_cast<std::size_t>(job.id)];
    for (int t = 1; t <= m_to; ++t) {
        const int fret = job.note->pitch - m_open[static_cast<std::size_t>(t)];
        if (fret < 0 || fret > instrument::kFrets)
            continue;
        // Away from the chooser's place, the nearer its fret the better.
        const int travel =
            chosen.string == 0 || chosen.string == t ? 0 : 1 + std::abs(fret - chosen.fret);
        const bool followed =
            job.follows != kNone && m_newLast[static_cast<std::size_t>(t)] == job.follows;
        job.choices[job.choiceCount++] = {
            t, fret, Worth{1, followed ? 1 : 0, t == job.home ? 1 : 0, -travel, -fret}};
    }
}

void Retuner::search(std::size_t i, unsigned used, const Worth& sum)
{
    // Strictly better only: among equals the first found, top strings first, wins.
    if (!(add(sum, m_bound[i]) > m_best))
        return;
    if (i == m_jobCount) {
        m_best = sum;
        m_bestPicks = m_picks;
        return;
    }
    const Job& job = m_jobs[i];
    for (std::size_t k = 0; k < job.choiceCount; ++k) {
        const unsigned bit = 1u << job.choices[k].string;
        if ((used & bit) != 0)
            continue;
        m_picks[i] = static_cast<int>(k);
        search(i + 1, used | bit, add(sum, job.choices[k].worth));
    }
    m_picks[i] = kNone;
    search(i + 1, used, sum);
}

void Retuner::placeColumn(std::size_t index)
{
    const Column& column = m_score.columns[index];
    const Block& block = m_score.blocks[static_cast<std::size_t>(column.block)];
    const int blockNumber = column.block + 1;
    const int columnNumber = static_cast<int>(index - block.firstColumn) + 1;
    // A triplet's next note is the same note again: it stays where the one before it went.
    const Column* before = nullptr;
    if (column.triplet && index > block.firstColumn) {
        const Column& c = m_score.columns[index - 1];
        if (c.triplet && c.offset + static_cast<int>(kCellWidth) == column.offset)
            before = &c;
    }
    const int firstBefore = before ? m_nextId - static_cast<int>(before->notes.size()) : 0;

    m_jobCount = column.notes.size();
    bool hadTilde = false;
    for (std::size_t n = 0; n < m_jobCount; ++n) {
        const Note& note = column.notes[n];
        Job& job = m_jobs[n];
        job = Job{};
        job.note = &note;
        job.id = m_nextId + static_cast<int>(n);
        job.home = home(note);
        job.tilde = carriesTripletMark(index, note);
        hadTilde = hadTilde || job.tilde;
        job.tie = isTie(note.technique);
        if (job.tie) {
            job.follows = m_oldLast[static_cast<std::size_t>(note.string)];
        } else if (before) {
            for (std::size_t k = 0; k < before->notes.size(); ++k) {
                const Note& b = before->notes[k];
                if (b.string == note.string && b.fret == note.fret)
                    job.follows = firstBefore + static_cast<int>(k);
            }
        }
        listChoices(job);
    }

    m_bound[m_jobCount] = Worth{};
    for (std::size_t n = m_jobCount; n-- > 0;) {
        Worth most{}; // leaving the note out is worth nothing
        for (std::size_t k = 0; k < m_jobs[n].choiceCount; ++k) {
            for (std::size_t w = 0; w < most.size(); ++w)
                most[w] = std::max(most[w], m_jobs[n].choices[k].worth[w]);
        }
        m_bound[n] = add(m_bound[n + 1], most);
    }
    m_best = Worth{-1};
    search(0, 0, Worth{});

    model::Beat& beat = m_retuned.beats[index];
    beat.value = tabtext::valueOf(column.symbol);
    beat.dotted = column.dotted;
    unsigned tildes = 0;
    std::array<std::size_t, kMax> jobOf{}; // by note of the beat
    std::size_t carrier = kMax;            // a note that can carry the triplet's mark
    const auto plain = [&](std::size_t k) { return !isTie(beat.notes[k].technique); };
    for (std::size_t n = 0; n < m_jobCount; ++n) {
        const Job& job = m_jobs[n];
        const Note& note = *job.note;
        if (m_bestPicks[n] == kNone) {
            m_out.unplaced.push_back({blockNumber, columnNumber, note.pitch});
            continue;
        }
        const Choice& choice = job.choices[static_cast<std::size_t>(m_bestPicks[n])];
        // The slide marks are the reader's, not the engine's fret rule: with the pitches kept
        // the two agree wherever the tab did, and a hand-typed mark the frets contradict still
        // reads as it did.
        Technique technique = note.technique;
        if (job.tie && job.follows != kNone && choice.worth[1] == 0) {
            m_out.lostTies.push_back({blockNumber, columnNumber, note.pitch, note.technique});
            technique = Technique::Plain;
        }
        if (job.tilde)
            tildes |= 1u << choice.string;
        jobOf[beat.notes.size()] = n;
        beat.notes.push_back({choice.string, choice.fret, technique});
        if (carrier == kMax || (!plain(carrier) && plain(beat.notes.size() - 1)))
            carrier = beat.notes.size() - 1;
        m_newLast[static_cast<std::size_t>(choice.string)] = job.id;
    }
    // The triplet's mark went with a note that fits nowhere. Another note carries it, a plain
    // one if there is one: a tie would be written plain, and given up, rather than the rhythm.
    if (hadTilde && tildes == 0 && carrier != kMax) {
        model::Note& note = beat.notes[carrier];
        if (isTie(note.technique)) {
            const Note& was = *m_jobs[jobOf[carrier]].note;
            m_out.lostTies.push_back({blockNumber, columnNumber, was.pitch, was.technique});
            note.technique = Technique::Plain;
        }
        tildes |= 1u << note.string;
    }
    tabtext::CellMarks& marks = m_marks[index];
    marks.fill(tabtext::kPlainMark);
    for (const model::Note& placed : beat.notes)
        marks[static_cast<std::size_t>(placed.string - 1)] =
            tabtext::cellMark(placed.technique, (tildes >> placed.string & 1u) != 0);

    for (std::size_t n = 0; n < m_jobCount; ++n)
        m_oldLast[static_cast<std::size_t>(column.notes[n].string)] = m_jobs[n].id;
    m_nextId += static_cast<int>(m_jobCount);
}

void Retuner::writeBlock(const Block& block)
{
    const auto first = static_cast<std::size_t>(block.line);
    const std::size_t skipsFrom = m_nextSkip;
    while (m_nextSkip < m_score.skipped.size() && m_score.skipped[m_nextSkip].line == block.line)
        ++m_nextSkip;
    const std::span<const Skip> skips(m_score.skipped.data() + skipsFrom, m_nextSkip - skipsFrom);

    // The block's cells as the codec writes its retuned beats, with no fill between them.
    tabtext::Block cells;
    cells.firstBeat = block.firstColumn;
    cells.beatCount = block.columnCount;
    const auto marks = m_marks.begin() + static_cast<std::ptrdiff_t>(block.firstColumn);
    cells.marks.assign(marks, marks + static_cast<std::ptrdiff_t>(block.columnCount));
    tabtext::writeBlockInto(m_retuned, cells, m_toSetup, m_written);

    const int line = static_cast<int>(m_out.lines.size());
    m_out.lines.emplace_back(m_lines[first]);
    for (const Skip& skip : skips)
        m_out.unread.push_back({line, skip.offset});
    const Regions unread = unreadRegions(block, skips);
    if (m_from == m_to) {
        // The same strings: what the reader could not read stays as it was, but on a string
        // whose name was no note, where a note could not sound before and now could.
        for (int t = 1; t <= m_to; ++t) {
            const std::string_view old = m_lines[first + static_cast<std::size_t>(t)];
            std::string buffer;
            const std::string_view head = narrowed(old, buffer).substr(0, tabtext::kHeadLength);
            const bool silent =
                openPitch(t, m_fromSetup.strings,
                          instrument::isNoteName(head) ? head : m_fromSetup.tuning.at(t)) < 0;
            m_out.lines.push_back(rewrittenLine(block, t, old, silent ? unread : Regions()));
        }
    } else {
        // New strings: dashes as long as the longest old string line, as "New line" fills, and
        // blanks where a column could not be read, so that it still cannot be.
        std::size_t length = tabtext::kHeadLength;
        for (int s = 1; s <= m_from; ++s)
            length = std::max(length, characterCount(m_lines[first + static_cast<std::size_t>(s)]));
        for (const auto& [at, end] : unread)
            length = std::max(length, end);
        std::string blank(length, tabtext::kFill);
        for (const auto& [at, end] : unread)
            blank.replace(at, end - at, end - at, ' ');
        for (int t = 1; t <= m_to; ++t)
            m_out.lines.push_back(rewrittenLine(block, t, blank, Regions()));
    }
    m_out.lines.emplace_back(m_lines[first + static_cast<std::size_t>(m_from) + 1]);
}

// What the reader skipped ends at the next column, skip or three characters on.
Regions Retuner::unreadRegions(const Block& block, std::span<const Skip> skips) const
{
    const std::size_t rhythm = characterCount(m_lines[static_cast<std::size_t>(block.line)]);
    const auto columns = std::span(m_score.columns).subspan(block.firstColumn, block.columnCount);
    Regions regions;
    for (std::size_t k = 0; k < skips.size(); ++k) {
        const auto at = static_cast<std::size_t>(skips[k].offset);
        std::size_t end = std::min(at + kCellWidth, std::max(rhythm, at + 1));
        if (k + 1 < skips.size())
            end = std::min(end, static_cast<std::size_t>(skips[k + 1].offset));
        const auto after = std::ranges::partition_point(
            columns, [at](const Column& c) { return static_cast<std::size_t>(c.offset) <= at; });
        if (after != columns.end())
            end = std::min(end, static_cast<std::size_t>(after->offset));
        regions.emplace_back(at, end);
    }
    return regions;
}

// The head and the cells of the read columns written over `base`, and blanks over `blanks` as
// far as the line reaches.
std::string Retuner::rewrittenLine(const Block& block, int string, std::string_view base,
                                   const Regions& blanks) const
{
    Splicer out(base);
    out.put(0, m_heads[static_cast<std::size_t>(string)]);
    const std::size_t length = blanks.empty() ? 0 : characterCount(base);
    auto blank = blanks.begin();
    for (std::size_t c = block.firstColumn; c <= block.firstColumn + block.columnCount; ++c) {
        const bool last = c == block.firstColumn + block.columnCount;
        const auto at =
            last ? std::size_t(-1) : static_cast<std::size_t>(m_score.columns[c].offset);
        for (; blank != blanks.end() && blank->first < at; ++blank) {
            if (blank->first < length)
                out.put(blank->first,
                        std::string(std::min(blank->second, length) - blank->first, ' '));
        }
        if (last)
            break;
        const std::string_view cells = m_written[static_cast<std::size_t>(string)];
        out.put(at, cells.substr(tabtext::kHeadLength + (c - block.firstColumn) * kCellWidth,
                                 kCellWidth));
    }
    return out.finish();
}

} // namespace

Retuned retune(std::span<const std::string_view> lines, const Setup& from, const Setup& to)
{
    Retuned out;
    Retuner(lines, from, to, out).run();
    return out;
}

std::string pitchName(int pitch)
{
    const int octave = (pitch >= 0 ? pitch / 12 : (pitch - 11) / 12) - 1;
    const int pitchClass = pitch - (octave + 1) * 12;
    return instrument::noteAt("C ", pitchClass) + std::to_string(octave);
}

} // namespace quorlin::score
