#include "engine/Staff.h"

#include "tabtext/Marks.h"
#include "tabtext/TextWidth.h"

#include <algorithm>
#include <atomic>
#include <stdexcept>
#include <vector>

namespace quorlin::engine {

std::string NeckView::cell(int column, int row) const
{
    if (row == markRow && column == markCol && row != 0)
        return "X";
    if (row == 0 && column >= 1 && column <= instrument::kFrets)
        return labels.frets[static_cast<std::size_t>(column - 1)];
    if (column == 0 && row >= 1 && row < rows())
        return labels.strings[static_cast<std::size_t>(row - 1)];
    return {};
}

Staff::Staff(TabText& text) : m_text(text)
{
    LabelNeck();
}

long long Staff::rhythmLength() const
{
    return static_cast<long long>(characterCount(m_text.line(m_state.blockStart)));
}

bool Staff::overflows(int columnWidth) const
{
    return rhythmLength() + columnWidth > m_state.tabWidth;
}

void Staff::openBlockFor(int columnWidth)
{
    if (!blockToWriteOn()) {
        openNewBlock();
    } else if (overflows(columnWidth)) {
        fillBlock(m_state.blockStart);
        openNewBlock();
    }
}

void Staff::appendBlock(std::string_view articulationPrefix)
{
    // The block is built for the present strings; they must not change under it, whichever
    // writer opened it.
    m_state.setupUnlocked = false;
    m_text.append(std::string(kRhythmPrefix));
    for (int k = 1; k <= stringCount(); ++k)
        m_text.append(m_state.tuning.at(k));
    m_text.append(std::string(articulationPrefix));
}

void Staff::extendLine(int index, std::string_view tail)
{
    // A line the user deleted by hand reads empty and cannot be replaced: it stays gone.
    m_text.extend(index, tail);
}

void Staff::cutLine(int index, std::size_t count)
{
    std::string line = m_text.line(index);
    // The head names the line; it is never cut. Nor is a character typed by hand.
    if (line.size() < kHeadLength + count || splitsCharacter(line, line.size() - count))
        return;
    line.resize(line.size() - count);
    m_text.replace(index, line);
}

Staff::Following::Following(Staff& staff) : m_staff(staff)
{
    m_staff.followText();
}

Staff::Following::~Following()
{
    m_staff.m_revision = m_staff.m_text.revision();
    m_staff.m_known = true;
}

void Staff::followText()
{
    if (!m_known || m_text.revision() != m_revision)
        takePositionFromText();
}

void Staff::takePositionFromText()
{
    const int count = m_text.count();
    m_state.blockStart = std::max(0, count - blockLines());
    // Only a block found below may have lost its blanks: padding lines that are no block
    // would write into them.
    m_strippedBlanks = false;
    m_needsBlock = count > 0 && (count < blockLines() || !holdsBlock());
    const LastNote last =
        count == 0 || m_needsBlock ? LastNote{} : lastNoteOfBlock(m_state.blockStart);
    m_state.lastString = last.string;
    m_state.lastFret = last.fret;
    m_state.chordAvailable = last.string != 0;
    // The lines there were written for the present strings, or the next block will be; a
    // text emptied by hand holds nothing the strings could break.
    m_state.setupUnlocked = count == 0;
}

bool Staff::holdsBlock()
{
    // Columns line up by characters: a character typed by hand may take several bytes.
    const int start = m_state.blockStart;
    const std::size_t length = characterCount(m_text.line(start + 1));
    for (int k = 1; k <= stringCount(); ++k) {
        const std::string line = m_text.line(start + k);
        if (characterCount(line) != length || !line.starts_with(m_state.tuning.at(k)))
            return false;
    }
    // The rhythm and articulation lines may have lost their trailing blanks to an editor.
    const std::string rhythm = m_text.line(start);
    const std::string articulation = m_text.line(articulationLine());
    const auto opens = [](std::string line, std::string_view head) {
        line.resize(std::max(line.size(), kHeadLength), ' ');
        return line.starts_with(head);
    };
    if (characterCount(rhythm) > length || characterCount(articulation) > length ||
        !opens(rhythm, kRhythmPrefix) ||
        !(opens(articulation, kArticulationPrefix) || opens(articulation, kRestArticulationPrefix)))
        return false;
    m_strippedBlanks = characterCount(rhythm) < length || characterCount(articulation) < length;
    return true;
}

void Staff::follow()
{
    Following following(*this);
}

bool Staff::blockToWriteOn()
{
    if (m_strippedBlanks) {
        m_strippedBlanks = false;
        const std::size_t length = characterCount(m_text.line(m_state.blockStart + 1));
        for (const int index : {m_state.blockStart, articulationLine()}) {
            const std::size_t size = characterCount(m_text.line(index));
            if (size < length)
                extendLine(index, std::string(length - size, ' '));
        }
    }
    return m_text.count() != 0 && !m_needsBlock;
}

namespace {

// The lines of one block of the text, read alone.
class BlockLines final : public tabtext::LineSource {
public:
    BlockLines(const TabText& text, int start, int count) :
        m_text(text), m_start(start), m_count(count)
    {
    }
    int count() const override { return m_count; }
    std::string line(int index) const override
    {
        return index >= 0 && index < m_count ? m_text.line(m_start + index) : std::string();
    }
    std::string_view view(int index, std::string& buffer) const override
    {
        if (index < 0 || index >= m_count)
            return {};
        return m_text.view(m_start + index, buffer);
    }

private:
    const TabText& m_text;
    int m_start;
    int m_count;
};

} // namespace

LastNote Staff::lastNoteOfBlock(int start) const
{
    // Only this block is read: the position is taken from the text after every change the
    // engine did not make, in a tab of any length. Read as the engine writes it, the names of
    // its strings need not sound; a block edited by hand is read for whatever it holds.
    const BlockLines block(m_text, start, blockLines());
    const tabtext::Setup setup{m_state.stringCount, m_state.tuning, m_state.tabWidth};
    tabtext::Reading reading = tabtext::readTab(block, setup, tabtext::Mode::Strict);
    if (!reading.problem.empty())
        reading = tabtext::readTab(block, setup, tabtext::Mode::Tolerant);
    return lastNoteOf(reading);
}

LastNote Staff::lastNoteFrom(int start) const
{
    for (; start >= 0; start -= blockLines()) {
        // Earlier lines count only while they still read as blocks of these strings.
        for (int k = 1; k <= stringCount(); ++k) {
            if (!m_text.line(start + k).starts_with(m_state.tuning.at(k)))
                return {};
        }
        if (const LastNote last = lastNoteOfBlock(start); last.string != 0)
            return last;
    }
    return {};
}

void Staff::openFirstBlock(std::string_view articulationPrefix)
{
    appendBlock(articulationPrefix);
    m_state.blockStart = 0;
}

void Staff::openNewBlock()
{
    // The new block starts where the text ends, even when lines above it were deleted by
    // hand; without damage that is BlockStart + StringCount + 2.
    const int start = m_text.count();
    appendBlock(kArticulationPrefix);
    m_state.blockStart = start;
    m_needsBlock = false;
}

void Staff::FirstBlock(std::string_view articulationPrefix)
{
    Following following(*this);
    openFirstBlock(articulationPrefix);
}

void Staff::NewBlock()
{
    Following following(*this);
    openNewBlock();
}

void Staff::JumpLine()
{
    Following following(*this);
    // An empty tab has no block to fill, and lines that are no block are not ours to fill.
    if (blockToWriteOn())
        fillBlock(m_state.blockStart);
}

void Staff::fillBlock(int start)
{
    const auto length = static_cast<long long>(characterCount(m_text.line(start)));
    if (m_state.tabWidth < length)
        return;
    const auto fill = static_cast<std::size_t>(m_state.tabWidth - length + 1);
    const std::string blanks(fill, ' ');
    const std::string dashes(fill, kFill);
    extendLine(start, blanks);
    for (int k = 1; k <= stringCount(); ++k)
        extendLine(start + k, dashes);
    extendLine(start + stringCount() + 1, blanks);
}

void Staff::Clear()
{
    Following following(*this);
    m_text.eraseAll();
    m_needsBlock = m_strippedBlanks = false;
    m_state.lastFret = 0;
    m_state.lastString = 0;
    m_state.tabWidth = kDefaultTabWidth;
    m_state.tempo = kDefaultTempo;
    m_state.time = {};
    m_state.blockStart = 0;
    m_state.setupUnlocked = true;
    m_state.chordAvailable = false;
}

void Staff::setTabWidth(int width)
{
    m_state.tabWidth = std::min(width, kMaxTabWidth);
}

void Staff::setTempo(int bpm)
{
    m_state.tempo = std::clamp(bpm, kMinTempo, kMaxTempo);
}

void Staff::setTimeSignature(TimeSignature time)
{
    m_state.time = isValid(time) ? time : TimeSignature();
}

void Staff::setStringCount(int count)
{
    const instrument::StringCount next(count);
    m_state.tuning.followStringCount(stringCount(), next.value());
    m_state.stringCount = next;
    LabelNeck();
}

void Staff::restoreSetup(instrument::StringCount count, const instrument::Tuning& tuning)
{
    m_state.stringCount = count;
    m_state.tuning = tuning;
    LabelNeck();
}

void Staff::retune(int string, std::string_view name)
{
    if (string < 1 || string > stringCount())
        throw std::out_of_range("String " + std::to_string(string) + " is not on the neck");
    // The name is the head of the string's lines: as many characters as the head has, a
    // letter of several bytes kept whole.
    std::size_t end = 0;
    for (std::size_t c = 0; c < kHeadLength && end < name.size(); ++c)
        end = nextCharacter(name, end);
    std::string head(name.substr(0, end));
    head.append(kHeadLength - characterCount(head), ' ');
    m_state.tuning.set(string, std::move(head));
    LabelNeck();
}

void Staff::takeLabels()
{
    static std::atomic<std::uint64_t> versions{0};
    instrument::NeckLabels labels = instrument::LabelNeck(m_state.stringCount, m_state.tuning);
    if (labels == m_neck.labels && m_neck.labelsVersion != 0)
        return;
    m_neck.labels = std::move(labels);
    m_neck.labelsVersion = ++versions;
}

void Staff::LabelNeck()
{
    takeLabels();
    if (m_neck.markCol == 0 || m_neck.markRow > stringCount())
        m_neck.markCol = m_neck.markRow = 0;
}

void Staff::adoptLoaded(const std::vector<std::string>& lines, const LoadedState& loaded)
{
    Following following(*this);
    m_text.appendLines(lines);
    setTabWidth(loaded.tabWidth);
    setTempo(loaded.tempo);
    setTimeSignature(loaded.time);
    restoreSetup(loaded.stringCount, loaded.tuning);
    takePositionFromText();
    m_state.setupUnlocked = false;
}

void Staff::restore(const Snapshot& snapshot)
{
    const EditingState was = m_state;
    m_state = snapshot.state;
    m_needsBlock = snapshot.needsBlock;
    m_strippedBlanks = snapshot.strippedBlanks;
    m_revision = m_text.revision();
    m_known = true;

    if (was.stringCount != m_state.stringCount || was.tuning != m_state.tuning)
        takeLabels();
    // The "X" of that moment, also where labels had covered it since.
    const bool onNeck = m_state.markRow >= 1 && m_state.markRow <= stringCount();
    m_neck.markCol = onNeck ? m_state.markCol : 0;
    m_neck.markRow = onNeck ? m_state.markRow : 0;
}

bool Staff::restoreChecked(const Snapshot& snapshot)
{
    restore(snapshot);
    takePositionFromText();
    const EditingState& claimed = snapshot.state;
    const bool fits = m_state.blockStart == claimed.blockStart &&
                      m_needsBlock == snapshot.needsBlock &&
                      m_strippedBlanks == snapshot.strippedBlanks &&
                      (m_state.setupUnlocked || !claimed.setupUnlocked);
    if (fits)
        m_state = claimed;
    return fits;
}

void Staff::moveMarker(int column, int row)
{
    m_state.markCol = m_neck.markCol = column;
    m_state.markRow = m_neck.markRow = row;
}

DropOutcome Staff::Dropped(const Drop& drop)
{
    Following following(*this);
    if (drop.row < 1 || drop.row > stringCount() || drop.column < 0 ||
        drop.column > instrument::kFrets)
        return DropOutcome::Ignored;
    requireDurationSymbol(drop.symbol);

    // Even a drop that is refused below fixes the set-up and moves the marker.
    m_state.setupUnlocked = false;
    moveMarker(drop.column, drop.row);
    if (m_text.count() == 0)
        openFirstBlock(kArticulationPrefix);

    if (drop.entry == Entry::Chord)
        return chordNote(drop);
    m_state.chordAvailable = true;
    if (drop.entry == Entry::Triplet) {
        writeTriplet(drop.row, drop.column, drop.symbol, drop.dotted);
        return DropOutcome::Written;
    }
    return singleNote(drop);
}

DropOutcome Staff::singleNote(const Drop& drop)
{
    openBlockFor(static_cast<int>(kCellWidth));

    char mark = kPlainMark;
    switch (drop.technique) {
    case Technique::HammerOn:
        mark = kHammerOnMark;
        break;
    case Technique::PullOff:
        mark = kPullOffMark;
        break;
    case Technique::SlideUp:
    case Technique::SlideDown:
        if (drop.row != m_state.lastString)
            return DropOutcome::SlideRefused;
        mark = drop.column < m_state.lastFret ? kSlideDownMark : kSlideUpMark;
        break;
    default:
        break;
    }

    for (int k = 1; k <= stringCount(); ++k)
        extendLine(m_state.blockStart + k,
                   k == drop.row ? noteCell(mark, drop.column) : std::string(kEmptyCell));
    extendLine(m_state.blockStart, rhythmCell(drop.symbol, drop.dotted));
    extendLine(articulationLine(), articulationCell(false, drop.technique));

    m_state.lastString = drop.row;
    m_state.lastFret = drop.column;
    return DropOutcome::Written;
}

DropOutcome Staff::chordNote(const Drop& drop)
{
    // The column's duration letter: the rhythm line's last character, or the one before a
    // dot. A block without a column ends in a blank, so a chord never starts a block.
    if (!blockToWriteOn())
        return DropOutcome::ChordRefused;
    const char letter = lastDurationLetter(m_text.line(m_state.blockStart));
    // A rest's column has no note to sound with.
    const bool rest = m_text.line(articulationLine()).ends_with(kRestMark);
    if (letter != drop.symbol || drop.row == m_state.lastString || rest)
        return DropOutcome::ChordRefused;

    // The note takes the whole cell of the last column on its string, also when another
    // chord note stood there: a string sounds one note at a time.
    const int index = m_state.blockStart + drop.row;
    std::string line = m_text.line(index);
    // A column cut short (by "<-" after a copy of the fill) has no whole cell to take.
    if (line.size() < kHeadLength + kCellWidth || splitsCharacter(line, line.size() - kCellWidth))
        return DropOutcome::ChordRefused;
    line.replace(line.size() - kCellWidth, kCellWidth, noteCell(kPlainMark, drop.column));
    m_text.replace(index, line);
    m_state.lastString = drop.row;
    m_state.lastFret = drop.column;
    return DropOutcome::Written;
}

void Staff::WriteTriplet(int string, int fret, char symbol, bool dotted)
{
    Following following(*this);
    writeTriplet(string, fret, symbol, dotted);
}

void Staff::writeTriplet(int string, int fret, char symbol, bool dotted)
{
    if (string < 1 || string > stringCount() || fret < 0 || fret > instrument::kFrets)
        throw std::out_of_range("No fret " + std::to_string(fret) + " on string " +
                                std::to_string(string));
    requireDurationSymbol(symbol);
    constexpr std::size_t width = kCellWidth * kTripletColumns;
    openBlockFor(static_cast<int>(width));

    std::string rhythm, target;
    for (std::size_t note = 0; note < kTripletColumns; ++note) {
        rhythm += rhythmCell(symbol, dotted);
        target += noteCell(note == 0 ? kPlainMark : kTripletMark, fret);
    }
    extendLine(m_state.blockStart, rhythm);
    const std::string empty(width, kFill);
    for (int k = 1; k <= stringCount(); ++k)
        extendLine(m_state.blockStart + k, k == string ? target : empty);
    extendLine(articulationLine(), std::string(width, ' '));

    m_state.lastString = string;
    m_state.lastFret = fret;
}

void Staff::setRest(char symbol, bool dotted)
{
    Following following(*this);
    requireDurationSymbol(symbol);
    if (m_text.count() == 0)
        openFirstBlock(kRestArticulationPrefix);
    else if (!blockToWriteOn())
        openNewBlock();
    // The block was built for the present strings; they must not change under it.
    m_state.setupUnlocked = false;

    for (int k = 1; k <= stringCount(); ++k)
        extendLine(m_state.blockStart + k, kEmptyCell);
    extendLine(m_state.blockStart, rhythmCell(symbol, dotted));
    extendLine(articulationLine(), kRestCell);
}

void Staff::RepeatLast(bool triplet)
{
    Following following(*this);
    if (!blockToWriteOn())
        return;
    const std::size_t width = triplet ? kCellWidth * kTripletColumns : kCellWidth;
    const int from = m_state.blockStart;
    std::vector<std::string> pieces;
    for (int k = 0; k < blockLines(); ++k) {
        const std::string line = m_text.line(from + k);
        // Fewer columns than the copy needs: copying would duplicate the heads. A line
        // shortened or deleted by hand would also carry its damage into a new block.
        if (line.size() < kHeadLength + width)
            return;
        // So would text typed over the columns: what the engine writes is plain ASCII.
        std::string piece = line.substr(line.size() - width);
        if (!isAscii(piece))
            return;
        pieces.push_back(std::move(piece));
    }

    if (overflows(static_cast<int>(width))) {
        openNewBlock();
        const int to = m_state.blockStart;
        for (int k = 0; k < blockLines(); ++k)
            extendLine(to + k, pieces[static_cast<std::size_t>(k)]);
        // The block left behind is filled only now, so the copy took its notes, not fill.
        fillBlock(from);
        return;
    }
    for (int k = 0; k < blockLines(); ++k)
        extendLine(from + k, pieces[static_cast<std::size_t>(k)]);
}

int Staff::LastNoteLine() const
{
    int result = 1;
    for (int i = 1; i <= stringCount(); ++i) {
        const std::string line = m_text.line(m_state.blockStart + i);
        if (!line.empty() && line.back() != kFill)
            result = i;
    }
    return m_state.blockStart + result;
}

void Staff::GoBack()
{
    Following following(*this);
    if (!blockToWriteOn())
        return;
    const std::string rhythm = m_text.line(m_state.blockStart);
    if (rhythm.size() <= kHeadLength)
        return;

    // Every rhythm cell ends in its letter or dot, so trailing blanks are the fill of
    // "New line". It goes back alone, leaving the block as it was before "New line".
    const std::size_t columnsEnd = std::max(kHeadLength, rhythm.find_last_not_of(' ') + 1);
    if (const std::size_t fill = rhythm.size() - columnsEnd; fill > 0) {
        for (int k = 0; k < blockLines(); ++k)
            cutLine(m_state.blockStart + k, fill);
        return;
    }

    const std::string last = m_text.line(LastNoteLine());
    const bool endsTriplet =
        last.size() >= kCellWidth && last[last.size() - kCellWidth] == kTripletMark;
    const std::size_t columns = endsTriplet ? kTripletColumns : 1;
    for (std::size_t c = 0; c < columns; ++c) {
        for (int k = 0; k < blockLines(); ++k)
            cutLine(m_state.blockStart + k, kCellWidth);
    }
    // A slide or a chord is judged against the note that is now last, not the removed one.
    const LastNote now = lastNoteFrom(m_state.blockStart);
    m_state.lastString = now.string;
    m_state.lastFret = now.fret;
}

} // namespace quorlin::engine
