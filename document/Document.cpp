#include "document/Document.h"

#include "files/RecoveryFile.h"
#include "files/SongToTab.h"
#include "files/TabFile.h"

#include <QFileInfo>
#include <QTextDocument>

#include <algorithm>
#include <limits>
#include <stdexcept>

namespace quorlin::document {

namespace {

// Every change outside the staff and the text that undo puts back is one of these two.
class HeaderChange final : public engine::OuterChange {
public:
    HeaderChange(std::function<void(const files::SongHeader&)> put, files::SongHeader before,
                 files::SongHeader after) :
        m_put(std::move(put)),
        m_before(std::move(before)), m_after(std::move(after))
    {
    }
    void undo() override { m_put(m_before); }
    void redo() override { m_put(m_after); }

private:
    std::function<void(const files::SongHeader&)> m_put;
    files::SongHeader m_before, m_after;
};

// The file name goes back with the tab on undo, so that Save never writes a tab into
// another tab's file.
class PathChange final : public engine::OuterChange {
public:
    PathChange(QString& path, QString before, QString after) :
        m_path(path), m_before(std::move(before)), m_after(std::move(after))
    {
    }
    void undo() override { m_path = m_before; }
    void redo() override { m_path = m_after; }

private:
    QString& m_path;
    QString m_before, m_after;
};

} // namespace

Document::Document(QTextDocument& text, QObject* parent) :
    QObject(parent), m_qtText(text), m_text(std::make_unique<QtTabText>(text)),
    m_staff(std::make_unique<engine::Staff>(*m_text)),
    m_history(std::make_unique<engine::History>(*m_staff, *m_text))
{
    // Typing and pasting change the tab behind the engine: the history takes them in once
    // the change is complete.
    m_text->setForeignChangeHandler([this] {
        if (m_followPending)
            return;
        m_followPending = true;
        QMetaObject::invokeMethod(this, &Document::followHandEdits, Qt::QueuedConnection);
    });
    // The text's revision may come back to an old number on undo; this count never does.
    connect(&m_qtText, &QTextDocument::contentsChange, this, [this](int position, int, int) {
        ++m_textChanges;
        const int line = m_qtText.findBlock(position).blockNumber();
        m_changedFrom = std::min(m_changedFrom, line);
        m_songChangedFrom = std::min(m_songChangedFrom, line);
    });
    // Connected first, so every other listener of a change already sees the cursor kept or
    // given up: it stays on its column number while the text still has one.
    connect(this, &Document::changed, this, [this] {
        if (!m_tabCursor)
            return;
        const int count = static_cast<int>(columns().size());
        if (*m_tabCursor >= count) {
            setTabCursor(std::nullopt);
        } else if (m_selectionStart && *m_selectionStart >= count) {
            m_selectionStart = count - 1;
            emit tabCursorMoved();
        }
    });
}

Document::~Document() = default;

template <typename Action>
void Document::act(const char* label, Action&& action, engine::StepOptions options)
{
    m_history->record(label, std::forward<Action>(action), std::move(options));
    emit changed();
}

void Document::readSong() const
{
    const engine::EditingState& s = m_staff->state();
    model::Song& song = m_song.song;
    song.tempo = s.tempo;
    song.time = s.time;
    song.width = s.tabWidth;
    if (song.tracks.empty())
        song.tracks.emplace_back();
    // The width only lays out what comes next: the text reads the same at any.
    const tabtext::Setup setup{s.stringCount, s.tuning};
    model::Track& track = song.tracks.front();
    const bool sameSetup = track.strings == setup.strings && track.tuning == setup.tuning;
    if (m_song.revision == m_textChanges && sameSetup)
        return;
    tabtext::Reading reading{std::move(track), std::move(m_song.layout),
                             std::move(m_song.skipped), {}};
    if (sameSetup && m_song.revision != ~std::uint64_t{0}) {
        tabtext::rereadTolerant(*m_text, setup, m_songChangedFrom, reading);
    } else {
        // The whole text in one piece: line by line would look each one up again.
        const QtTabText::Snapshot snapshot = m_text->snapshot();
        reading = tabtext::readTab(tabtext::SpanLines(snapshot.lines()), setup,
                                   tabtext::Mode::Tolerant);
    }
    track = std::move(reading.track);
    m_song.layout = std::move(reading.layout);
    m_song.skipped = std::move(reading.skipped);
    m_song.revision = m_textChanges;
    m_songChangedFrom = std::numeric_limits<int>::max();
}

const model::Song& Document::song() const
{
    readSong();
    return m_song.song;
}

const tabtext::Layout& Document::layout() const
{
    readSong();
    return m_song.layout;
}

const score::Score& Document::score() const
{
    readSong();
    const int tempo = m_song.song.tempo;
    if (m_song.scoreRevision != m_song.revision || m_song.scoreTempo != tempo) {
        m_song.score =
            score::timeline(m_song.song.tracks.front(), m_song.layout, m_song.skipped, tempo);
        m_song.scoreRevision = m_song.revision;
        m_song.scoreTempo = tempo;
    }
    return m_song.score;
}

void Document::follow()
{
    m_staff->follow();
}

void Document::followHandEdits()
{
    m_followPending = false;
    // The columns as they were before the hands changed the text, while the list still
    // holds them: the tab cursor goes on standing on its note.
    std::optional<std::pair<int, std::size_t>> standing;
    if (m_tabCursor && m_columns.readable && m_columns.revision != m_textChanges &&
        *m_tabCursor < static_cast<int>(m_columns.columns.size()))
        standing = {m_columns.columns[static_cast<std::size_t>(*m_tabCursor)].firstLine,
                    m_columns.columns.size()};
    const int changedFrom = m_changedFrom;
    const bool wasFree = m_staff->state().setupUnlocked;
    m_history->settleText();
    if (wasFree && !m_staff->state().setupUnlocked)
        emit setupLockedByHand();
    // A change in the blocks before the cursor's moves its column's number by the columns
    // it added or took away; a change in its own block or after leaves the number.
    if (standing && standing->first > changedFrom) {
        const auto count = static_cast<long long>(columns().size());
        const long long moved = *m_tabCursor + count - static_cast<long long>(standing->second);
        m_tabCursor =
            moved >= 0 && moved < count ? std::optional(static_cast<int>(moved)) : std::nullopt;
        m_selectionStart.reset();
        emit tabCursorMoved();
    }
    emit changed();
}

void Document::restoreSetup(instrument::StringCount strings, const instrument::Tuning& tuning)
{
    m_staff->restoreSetup(strings, tuning);
}

void Document::newLine()
{
    act("New line", [this] { m_staff->JumpLine(); });
}

engine::DropOutcome Document::placeNote(const engine::Drop& drop)
{
    const char* label = drop.entry == engine::Entry::Chord     ? "chord note"
                        : drop.entry == engine::Entry::Triplet ? "triplet"
                                                               : "note";
    engine::DropOutcome outcome{};
    const std::size_t before = m_history->position();
    m_history->record(label, [this, &drop, &outcome] { outcome = m_staff->Dropped(drop); });
    // A refusal may still leave something (the marker, a filled block): its step says so.
    const bool slide = outcome == engine::DropOutcome::SlideRefused;
    if ((slide || outcome == engine::DropOutcome::ChordRefused) && m_history->position() != before)
        m_history->relabelLast(slide ? "refused slide" : "refused chord");
    emit changed();
    return outcome;
}

void Document::setRest(char symbol, bool dotted)
{
    act("rest", [this, symbol, dotted] { m_staff->setRest(symbol, dotted); });
}

void Document::repeatLast(bool triplet)
{
    act("Repeat last", [this, triplet] { m_staff->RepeatLast(triplet); });
}

void Document::deleteLast()
{
    act("Delete last", [this] { m_staff->GoBack(); });
}

void Document::setTabWidth(int width)
{
    // Typed digit by digit, a width is one step.
    engine::StepOptions merge;
    merge.mergeRepeats = true;
    act(
        "tab width", [this, width] { m_staff->setTabWidth(width); }, std::move(merge));
}

void Document::setStringCount(int count)
{
    act("string count", [this, count] { m_staff->setStringCount(count); });
}

void Document::setTempo(int bpm)
{
    engine::StepOptions merge;
    merge.mergeRepeats = true;
    act(
        "tempo", [this, bpm] { m_staff->setTempo(bpm); }, std::move(merge));
}

void Document::setTimeSignature(model::TimeSignature time)
{
    if (time == m_staff->state().time)
        return;
    act("time signature", [this, time] { m_staff->setTimeSignature(time); });
}

void Document::retuneString(int row, const std::string& name)
{
    act("tuning", [this, row, &name] { m_staff->retune(row, name); });
}

void Document::clear()
{
    // Another tab: the next note is appended to it.
    setTabCursor(std::nullopt);
    engine::StepOptions options;
    options.outer = pathChange(QString());
    act(
        "Clear tab", [this] { m_staff->Clear(); }, std::move(options));
    m_path.clear();
    emit changed();
}

void Document::load(const files::LoadedTab& tab, const QString& path, bool joinPrevious)
{
    setTabCursor(std::nullopt);
    engine::StepOptions options;
    options.joinPrevious = joinPrevious;
    if (tab.header)
        options.outer = headerChange(*tab.header);
    options.outer = engine::bothChanges(std::move(options.outer), pathChange(path));
    act(
        "load",
        [this, &tab] {
            m_staff->adoptLoaded(tab.lines, tab.state);
            if (tab.header)
                putHeader(*tab.header);
        },
        std::move(options));
    emit setupReplaced();
    markSaved(path);
}

NewTab songNewTab(const files::SongTab& made, const engine::EditingState& now, const char* label,
                  QString report)
{
    NewTab tab;
    tab.lines = made.tab.lines;
    tab.setup = {now.tabWidth, made.tempo, made.tab.strings, made.tab.tuning,
                 made.tab.time.value_or(now.time)};
    tab.label = label;
    tab.report = std::move(report);
    tab.newDocument = true;
    tab.header = made.header;
    return tab;
}

void Document::replace(const NewTab& tab)
{
    setTabCursor(std::nullopt);
    engine::StepOptions options;
    if (tab.header)
        options.outer = headerChange(*tab.header);
    if (tab.newDocument)
        options.outer = engine::bothChanges(std::move(options.outer), pathChange(QString()));
    act(
        tab.label,
        [this, &tab] {
            if (tab.header)
                putHeader(*tab.header);
            // Nothing to rewrite: the set-up of an empty tab simply changes.
            if (tab.lines.empty()) {
                m_staff->restoreSetup(tab.setup.stringCount, tab.setup.tuning);
                return;
            }
            m_staff->Clear();
            m_staff->adoptLoaded(tab.lines, tab.setup);
        },
        std::move(options));
    if (tab.newDocument)
        m_path.clear();
    emit setupReplaced();
    emit changed();
}

void Document::restore(const files::Recovered& copy)
{
    setTabCursor(std::nullopt);
    engine::StepOptions options;
    options.outer = headerChange(copy.header);
    act(
        "restore",
        [this, &copy] {
            files::restoreRecovered(copy, *m_text, *m_staff);
            putHeader(copy.header);
        },
        std::move(options));
    m_path = QString::fromStdString(copy.sourcePath);
    emit setupReplaced();
    emit changed();
}

void Document::setHeader(const files::SongHeader& header)
{
    const files::SongHeader before = this->header();
    if (header == before)
        return;
    engine::StepOptions options;
    options.outer = headerChange(header);
    putHeader(header);
    act(
        "song header", [] {}, std::move(options));
}

bool Document::moveInHistory(bool forward)
{
    if (!(forward ? m_history->redo() : m_history->undo()))
        return false;
    emit setupReplaced();
    emit changed();
    emit tabCursorMoved();
    return true;
}

files::SongHeader Document::header() const
{
    files::SongHeader header = m_header;
    if (m_comments)
        header.comments = m_comments();
    return header;
}

void Document::bindComments(std::function<std::vector<std::string>()> source)
{
    m_comments = std::move(source);
}

void Document::putHeader(const files::SongHeader& header)
{
    // A header from outside (a file, undo) takes the comment lines with it.
    m_comments = nullptr;
    m_header = header;
    emit headerChanged();
}

std::unique_ptr<engine::OuterChange> Document::headerChange(const files::SongHeader& after)
{
    return std::make_unique<HeaderChange>(
        [this](const files::SongHeader& header) { putHeader(header); }, header(), after);
}

std::unique_ptr<engine::OuterChange> Document::pathChange(const QString& after)
{
    if (m_path == after)
        return nullptr;
    return std::make_unique<PathChange>(m_path, m_path, after);
}

void Document::markSaved(const QString& path)
{
    // Typing not yet taken in by the history is part of what was saved.
    m_history->settleText();
    m_history->markClean();
    m_text->markSaved();
    m_path = path;
    emit saved();
    emit changed();
}

bool Document::isModified()
{
    m_history->settleText();
    return !m_history->isClean() && m_text->count() > 0;
}

QString Document::title()
{
    const QString name =
        m_path.isEmpty() ? QStringLiteral("new tab") : QFileInfo(m_path).fileName();
    return isModified() ? name + QStringLiteral(", unsaved") : name;
}

files::Recovered Document::recoveryCopy()
{
    files::Recovered copy;
    m_staff->follow();
    const QtTabText::Snapshot text = m_text->snapshot();
    copy.lines.assign(text.lines().begin(), text.lines().end());
    copy.snapshot = m_staff->snapshot();
    copy.header = header();
    copy.sourcePath = m_path.toStdString();
    return copy;
}

Document::Version Document::version() const
{
    return {m_textChanges, m_history->position(), m_staff->snapshot()};
}

const std::vector<engine::Column>& Document::columns() const
{
    const engine::EditingState& s = m_staff->state();
    const std::uint64_t revision = m_textChanges;
    if (m_columns.revision == revision && m_columns.strings == s.stringCount.value() &&
        m_columns.width == s.tabWidth)
        return m_columns.columns;
    // Only the blocks from the first change on are read again, while the set-up stands.
    const bool sameSetup =
        m_columns.strings == s.stringCount.value() && m_columns.width == s.tabWidth;
    const int from = sameSetup && m_columns.readable ? m_changedFrom : 0;
    m_columns.revision = revision;
    m_columns.strings = s.stringCount.value();
    m_columns.width = s.tabWidth;
    m_changedFrom = std::numeric_limits<int>::max();
    try {
        engine::readColumnsFrom(*m_text, s, from, m_columns.columns);
        m_columns.readable = true;
        m_columns.problem.clear();
    } catch (const std::exception& e) {
        // Hand-typed text has no columns to stand on; the cursor goes back to appending.
        m_columns.columns.clear();
        m_columns.readable = false;
        m_columns.problem = e.what();
    }
    return m_columns.columns;
}

const std::string& Document::columnsProblem() const
{
    columns();
    return m_columns.problem;
}

void Document::setTabCursor(std::optional<int> column, bool extend)
{
    // Leaving the columns reads none of them.
    if (column && (*column < 0 || *column >= static_cast<int>(columns().size())))
        column.reset();
    std::optional<int> start;
    if (extend && column)
        start = m_selectionStart ? m_selectionStart : m_tabCursor.value_or(*column);
    if (column == m_tabCursor && start == m_selectionStart)
        return;
    m_tabCursor = column;
    m_selectionStart = start;
    emit tabCursorMoved();
}

std::optional<std::pair<int, int>> Document::selection() const
{
    if (!m_selectionStart || !m_tabCursor)
        return std::nullopt;
    const auto [first, last] = engine::wholeTriplets(
        columns(), static_cast<std::size_t>(std::min(*m_selectionStart, *m_tabCursor)),
        static_cast<std::size_t>(std::max(*m_selectionStart, *m_tabCursor)) + 1);
    return std::pair{static_cast<int>(first), static_cast<int>(last)};
}

} // namespace quorlin::document
