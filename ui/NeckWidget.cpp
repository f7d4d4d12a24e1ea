#include "ui/NeckWidget.h"

#include <QHeaderView>

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
    markHeaderCells();
}

void NeckWidget::setRowCount(int rows)
{
    QTableWidget::setRowCount(rows);
    markHeaderCells();
}

QTableWidgetItem* NeckWidget::cellAt(int column, int row)
{
    QTableWidgetItem* cell = item(row, column);
    if (cell == nullptr) {
        cell = new QTableWidgetItem;
        setItem(row, column, cell);
    }
    return cell;
}

void NeckWidget::setCell(int column, int row, const std::string& text)
{
    if (column < 0 || column >= columnCount() || row < 0 || row >= rowCount())
        return;
    cellAt(column, row)->setText(QString::fromStdString(text));
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
        cell->setFlags(Qt::ItemIsEnabled);
        cell->setBackground(face);
        cell->setTextAlignment(Qt::AlignCenter);
    };
    for (int c = 0; c < columnCount(); ++c)
        asHeader(0, c);
    for (int r = 1; r < rowCount(); ++r)
        asHeader(r, 0);
}

} // namespace quorlin::ui
