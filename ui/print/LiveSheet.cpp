#include "ui/print/LiveSheet.h"

#include "document/Document.h"
#include "sheet/SheetLayout.h"
#include "ui/print/SheetSource.h"
#include "ui/print/SheetView.h"

#include <QElapsedTimer>
#include <QEvent>
#include <QLabel>

#include <algorithm>

namespace quorlin::ui {

namespace {

// A frame at 60 Hz, and the pause in the typing a longer layout waits for.
constexpr qint64 kFrameMs = 16;
constexpr int kPauseMs = 250;

} // namespace

LiveSheet::LiveSheet(const document::Document& document, SheetSource& source, SheetView& view,
                     QLabel& skipped) :
    m_document(document),
    m_source(source), m_view(view), m_skipped(skipped)
{
    // After the rest of the turn's events: a paste or an undo of many steps lays out once.
    m_soon.setSingleShot(true);
    connect(&m_soon, &QTimer::timeout, this, &LiveSheet::layOut);
    connect(&document, &document::Document::changed, this, &LiveSheet::changed);
    connect(&source, &SheetSource::setupChanged, this, [this] {
        m_stale = true;
        layOutSoon();
    });
    connect(&document, &document::Document::tabCursorMoved, this, [this] {
        // A layout on its way marks the cursor with the columns it reads.
        if (!m_stale)
            showCursor(true);
    });
    m_skipped.hide();
    m_view.installEventFilter(this);
}

void LiveSheet::changed()
{
    m_stale = true;
    m_edited = true;
    layOutSoon();
}

void LiveSheet::layOutSoon()
{
    if (!m_view.isVisible())
        return;
    // A tab so long that its layout takes more than a frame waits for a pause in the typing,
    // so the keys are not held up by a layout after each of them.
    m_soon.start(m_lastLayoutMs > kFrameMs ? kPauseMs : 0);
}

bool LiveSheet::eventFilter(QObject* watched, QEvent* event)
{
    // Nothing is laid out while the view is out of sight; it catches up when it shows.
    if (watched == &m_view && event->type() == QEvent::Show && m_stale)
        m_soon.start(0);
    return QObject::eventFilter(watched, event);
}

void LiveSheet::flush()
{
    if (m_soon.isActive()) {
        m_soon.stop();
        layOut();
    }
}

void LiveSheet::layOut()
{
    if (!m_stale || !m_view.isVisible())
        return;
    m_stale = false;
    ++m_layouts;
    QElapsedTimer took;
    took.start();
    score::Score score = m_source.score();
    m_starts.resize(score.columns.size());
    std::transform(score.columns.begin(), score.columns.end(), m_starts.begin(),
                   [](const score::Column& c) { return std::pair(c.line, c.offset); });
    const sheet::SheetInput input = m_source.input(score);
    // The first time, the view's empty sheet is none the layout made: it lays out all.
    sheet::Sheet sheet = m_view.takeSheet();
    m_layout.relayout(sheet, score, input, sheet::firstChangedColumn(m_score, score));
    m_view.setSheet(std::move(sheet));
    m_lastLayoutMs = took.elapsed();
    m_score = std::move(score);
    const QString skipped = QString::fromStdString(score::skippedText(m_score));
    m_skipped.setText(skipped);
    m_skipped.setVisible(!skipped.isEmpty());
    showCursor(std::exchange(m_edited, false));
    showPlaying(m_playing.first, m_playing.second);
}

std::optional<int> LiveSheet::scoreColumn(int line, int offset) const
{
    const std::pair key(line, offset);
    const auto found = std::lower_bound(m_starts.begin(), m_starts.end(), key);
    if (found == m_starts.end() || *found != key)
        return std::nullopt;
    return static_cast<int>(found - m_starts.begin());
}

std::optional<int> LiveSheet::scoreColumnOfTab(int tabColumn) const
{
    const std::vector<engine::Column>& columns = m_document.columns();
    if (tabColumn < 0 || static_cast<std::size_t>(tabColumn) >= columns.size())
        return std::nullopt;
    const engine::Column& column = columns[static_cast<std::size_t>(tabColumn)];
    return scoreColumn(column.firstLine, column.character);
}

void LiveSheet::showCursor(bool scroll)
{
    const std::optional<int> tabCursor = m_document.tabCursor();
    const std::optional<int> cursor = tabCursor ? scoreColumnOfTab(*tabCursor) : std::nullopt;
    m_view.setCursor(cursor);
    std::optional<std::pair<int, int>> selected;
    if (const auto range = m_document.selection()) {
        const auto first = scoreColumnOfTab(range->first);
        const auto last = scoreColumnOfTab(range->second - 1);
        if (first && last)
            selected = std::pair(*first, *last);
    }
    m_view.setSelection(selected);
    // Without a tab cursor the notes are being appended: the end is where the writing is.
    if (scroll && (cursor || (!tabCursor && !m_starts.empty())))
        m_view.showColumn(cursor ? *cursor : static_cast<int>(m_starts.size()) - 1);
}

void LiveSheet::showPlaying(int line, int offset)
{
    m_playing = {line, offset};
    const std::optional<int> column = line < 0 ? std::nullopt : scoreColumn(line, offset);
    m_view.setPlaying(column);
    if (column)
        m_view.showColumn(*column);
}

} // namespace quorlin::ui
