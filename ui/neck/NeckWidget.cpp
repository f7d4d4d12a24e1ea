#include "ui/neck/NeckWidget.h"

#include "ui/neck/DurationDrag.h"

#include <QDropEvent>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <qdrawutil.h>

#include <algorithm>

namespace quorlin::ui {

NeckWidget::NeckWidget(QWidget* parent) : QTableWidget(parent)
{
    QTableWidget::setColumnCount(instrument::kNeckColumns);
    for (QHeaderView* header : {horizontalHeader(), verticalHeader()}) {
        header->setMinimumSectionSize(1);
        header->setSectionResizeMode(QHeaderView::Fixed);
        header->hide();
    }
    horizontalHeader()->setDefaultSectionSize(kColumnPitch);
    verticalHeader()->setDefaultSectionSize(kRowPitch);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setWordWrap(false);
    // "24" is wider than a cell's text area once the margins are taken off; show it whole.
    setTextElideMode(Qt::ElideNone);
    setAcceptDrops(true);
    viewport()->setAcceptDrops(true);
    // Tab leaves the neck; an input method would swallow the digits that set a fret.
    setTabKeyNavigation(false);
    setAttribute(Qt::WA_InputMethodEnabled, false);
    markHeaderCells();
}

void NeckWidget::setRowCount(int rows)
{
    const bool hadStrings = rowCount() > 1;
    QTableWidget::setRowCount(rows);
    markHeaderCells();
    setCursorCell(m_cursor.x(), m_cursor.y());
    if (!hadStrings && rows > 1)
        setCurrentCell(m_cursor.y(), m_cursor.x(), QItemSelectionModel::NoUpdate);
}

void NeckWidget::setCursorCell(int column, int row)
{
    m_firstDigit = -1;
    const QPoint to(std::clamp(column, 0, instrument::kFrets),
                    std::clamp(row, 1, std::max(1, rowCount() - 1)));
    if (to == m_cursor)
        return;
    // Only the two cells: the whole neck takes the style far longer to paint than a note
    // takes to write.
    viewport()->update(cellRect(m_cursor));
    m_cursor = to;
    // The table's current cell follows without selecting, for whoever reads it.
    setCurrentCell(to.y(), to.x(), QItemSelectionModel::NoUpdate);
    viewport()->update(cellRect(to));
    emit cursorMoved(to.x(), to.y());
}

QTableWidgetItem* NeckWidget::cellAt(int column, int row)
{
    // The table owns only items on its cells; one placed elsewhere would be lost.
    if (column < 0 || column >= columnCount() || row < 0 || row >= rowCount())
        return nullptr;
    QTableWidgetItem* cell = item(row, column);
    if (cell == nullptr) {
        cell = new QTableWidgetItem;
        cell->setTextAlignment(Qt::AlignCenter);
        setItem(row, column, cell);
    }
    return cell;
}

void NeckWidget::setCell(int column, int row, const QString& text)
{
    if (cellText(column, row) == text)
        return;
    if (QTableWidgetItem* cell = cellAt(column, row))
        cell->setText(text);
}

void NeckWidget::showStaff(const engine::NeckView& view)
{
    const bool relabelled = view.labelsVersion != m_shown.labelsVersion;
    const QPoint was(m_shown.markCol, m_shown.markRow);
    const QPoint mark(view.markCol, view.markRow);
    if (!relabelled && mark == was)
        return;
    m_shown.markCol = view.markCol;
    m_shown.markRow = view.markRow;
    const auto show = [&](int column, int row) {
        setCell(column, row, QString::fromStdString(view.cell(column, row)));
    };
    if (relabelled) {
        m_shown.labels = view.labels;
        m_shown.labelsVersion = view.labelsVersion;
        if (view.rows() != rowCount())
            setRowCount(view.rows());
        else
            finishFret(); // a new set-up ends the fret being typed, rows or not
        for (int r = 1; r < view.rows(); ++r)
            show(0, r);
        for (int c = 1; c < columnCount(); ++c)
            show(c, 0);
    }
    show(was.x(), was.y());
    show(mark.x(), mark.y());
}

QString NeckWidget::cellText(int column, int row) const
{
    const QTableWidgetItem* cell = item(row, column);
    return cell != nullptr ? cell->text() : QString();
}

void NeckWidget::markHeaderCells()
{
    // Header cells look like buttons and can never become the current cell.
    const QBrush face = palette().button();
    const auto asHeader = [&](int row, int column) {
        QTableWidgetItem* cell = cellAt(column, row);
        if (cell == nullptr)
            return;
        cell->setFlags(Qt::ItemIsEnabled);
        cell->setBackground(face);
    };
    for (int c = 0; c < columnCount(); ++c)
        asHeader(0, c);
    for (int r = 1; r < rowCount(); ++r)
        asHeader(r, 0);
}

bool NeckWidget::DragOverIt(QPoint point)
{
    // The fret-number row with its grid line ends at pixel 16, the name column at 20.
    if (point.y() <= kRowPitch - 1)
        return false;
    if (point.x() <= kColumnPitch - 1)
        return true;
    const int column = columnAt(point.x());
    const int row = rowAt(point.y());
    // Past the last string or fret the cursor keeps its own string or fret, but only once it
    // stands on a fret: from the open string it waits for the pointer to reach one.
    const bool onFret = m_cursor.x() > 0;
    const int toColumn = column > 0 && column < columnCount() ? column : m_cursor.x();
    const int toRow = row > 0 && row < rowCount() ? row : onFret ? m_cursor.y() : 0;
    if (toColumn > 0 && toRow > 0)
        setCursorCell(toColumn, toRow);
    return true;
}

void NeckWidget::dragEnterEvent(QDragEnterEvent* event)
{
    // Entering over the number row still lets the drag go on to the strings below it.
    if (!durationOf(event->mimeData())) {
        event->ignore();
        return;
    }
    event->acceptProposedAction();
    DragOverIt(event->position().toPoint());
}

void NeckWidget::dragMoveEvent(QDragMoveEvent* event)
{
    if (durationOf(event->mimeData()) && DragOverIt(event->position().toPoint()))
        event->acceptProposedAction();
    else
        event->ignore();
}

void NeckWidget::dropEvent(QDropEvent* event)
{
    if (const std::optional<char> symbol = takeDuration(event))
        emit durationDropped(event->position().toPoint(), *symbol);
}

std::optional<QPoint> NeckWidget::stringCellAt(QPoint point) const
{
    const int column = columnAt(point.x());
    const int row = rowAt(point.y());
    if (column < 0 || row < 1)
        return std::nullopt;
    return QPoint(column, row);
}

// The table's own handlers would select and move its current cell; the cursor is moved here.
void NeckWidget::mousePressEvent(QMouseEvent* event)
{
    const QPoint point = event->position().toPoint();
    if (event->button() == Qt::LeftButton) {
        if (const std::optional<QPoint> cell = stringCellAt(point))
            setCursorCell(cell->x(), cell->y());
    }
    event->accept();
    emit pressed(event->button(), point);
}

void NeckWidget::mouseMoveEvent(QMouseEvent* event)
{
    if (!(event->buttons() & Qt::LeftButton)) {
        QTableWidget::mouseMoveEvent(event);
        return;
    }
    if (const std::optional<QPoint> cell = stringCellAt(event->position().toPoint()))
        setCursorCell(cell->x(), cell->y());
}

void NeckWidget::mouseDoubleClickEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton)
        return;
    if (const std::optional<QPoint> cell = stringCellAt(event->position().toPoint())) {
        setCursorCell(cell->x(), cell->y());
        emit noteRequested(cell->x(), cell->y());
    }
}

// Focus arriving would otherwise pick a cell of the table's own choosing.
QModelIndex NeckWidget::moveCursor(CursorAction, Qt::KeyboardModifiers)
{
    return currentIndex();
}

int NeckWidget::digitOf(const QKeyEvent& event)
{
    if (event.modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier))
        return -1;
    const int key = event.key();
    if (key >= Qt::Key_0 && key <= Qt::Key_9)
        return key - Qt::Key_0;
#if defined(Q_OS_UNIX) && !defined(Q_OS_DARWIN) && !defined(Q_OS_ANDROID)
    // Where the digit row needs Shift (AZERTY) its keys still say where they are: X keycodes
    // 10 to 19 are the row's 1 to 9 and then 0.
    const quint32 code = event.nativeScanCode();
    if (code >= 10 && code <= 19)
        return static_cast<int>(code - 9) % 10;
#endif
    return -1;
}

void NeckWidget::keyPressEvent(QKeyEvent* event)
{
    if (const int digit = digitOf(*event); digit >= 0) {
        typeDigit(digit, event->timestamp());
        return;
    }
    finishFret();
    if (event->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier)) {
        QWidget::keyPressEvent(event);
        return;
    }
    const int key = event->key();
    const int column = m_cursor.x();
    const int row = m_cursor.y();
    switch (key) {
    case Qt::Key_Up:
        setCursorCell(column, row - 1);
        break;
    case Qt::Key_Down:
        setCursorCell(column, row + 1);
        break;
    case Qt::Key_Left:
        setCursorCell(column - 1, row);
        break;
    case Qt::Key_Right:
        setCursorCell(column + 1, row);
        break;
    case Qt::Key_Home:
        setCursorCell(0, row);
        break;
    case Qt::Key_End:
    case Qt::Key_PageUp:
    case Qt::Key_PageDown:
        break; // the table would jump its own current cell
    default:
        // Not the table's: its letters search the cells and its Enter and Space act on them.
        QWidget::keyPressEvent(event);
        return;
    }
    event->accept();
}

void NeckWidget::typeDigit(int digit, quint64 time)
{
    // A second digit within a second makes a two-digit fret when the neck has one.
    const int joined = m_firstDigit * 10 + digit;
    const bool joins =
        m_firstDigit >= 0 && time - m_firstDigitTime <= 1000 && joined <= instrument::kFrets;
    setCursorCell(joins ? joined : digit, m_cursor.y());
    m_firstDigit = joins ? -1 : digit;
    m_firstDigitTime = time;
}

QRect NeckWidget::cellRect(QPoint cell) const
{
    return visualRect(model()->index(cell.y(), cell.x())).adjusted(-2, -2, 2, 2);
}

void NeckWidget::setSounding(const QList<QPoint>& cells)
{
    if (cells == m_sounding)
        return;
    for (const QPoint cell : std::as_const(m_sounding))
        viewport()->update(cellRect(cell));
    m_sounding.clear();
    for (const QPoint cell : cells) {
        if (cell.y() >= 1 && cell.y() < rowCount() && cell.x() >= 0 && cell.x() < columnCount())
            m_sounding << cell;
    }
    for (const QPoint cell : std::as_const(m_sounding))
        viewport()->update(cellRect(cell));
}

void NeckWidget::paintEvent(QPaintEvent* event)
{
    QTableWidget::paintEvent(event);
    QPainter painter(viewport());
    if (!m_sounding.isEmpty()) {
        // A dot like a fingertip on the string, in the link colour so it differs from the "X".
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(Qt::NoPen);
        painter.setBrush(palette().color(QPalette::Active, QPalette::Link));
        for (const QPoint cell : m_sounding) {
            const QRect rect = visualRect(model()->index(cell.y(), cell.x()));
            const int size = std::min(rect.width(), rect.height()) - 4;
            painter.drawEllipse(
                QRect(0, 0, size, size).translated(rect.center() - QPoint(size / 2, size / 2)));
        }
    }
    if (m_cursor.y() >= rowCount())
        return;
    // A frame rather than a fill: it shows on the header column too and leaves an "X" readable.
    const QRect cell = visualRect(model()->index(m_cursor.y(), m_cursor.x()));
    // The active colour even without focus: some styles grey the inactive one out of sight.
    qDrawPlainRect(&painter, cell, palette().color(QPalette::Active, QPalette::Highlight), 2);
}

} // namespace quorlin::ui
