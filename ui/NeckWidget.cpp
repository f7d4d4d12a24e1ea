#include "ui/NeckWidget.h"

#include "ui/DurationDrag.h"

#include <QDropEvent>
#include <QHeaderView>
#include <QMouseEvent>

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
    markHeaderCells();
}

void NeckWidget::setRowCount(int rows)
{
    QTableWidget::setRowCount(rows);
    markHeaderCells();
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

void NeckWidget::setCell(int column, int row, const std::string& text)
{
    if (QTableWidgetItem* cell = cellAt(column, row))
        cell->setText(QString::fromStdString(text));
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
    const int toColumn = column > 0 && column < columnCount() ? column : currentColumn();
    const int toRow = row > 0 && row < rowCount() ? row : currentRow();
    if (toColumn > 0 && toRow > 0 && (toColumn != currentColumn() || toRow != currentRow()))
        setCurrentCell(toRow, toColumn);
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

void NeckWidget::mousePressEvent(QMouseEvent* event)
{
    QTableWidget::mousePressEvent(event);
    emit pressed(event->button(), event->position().toPoint());
}

} // namespace quorlin::ui
