#pragma once

#include "instrument/NeckLabels.h"

#include <QTableWidget>

namespace quorlin::ui {

// The picture of the neck: row 0 holds the fret numbers, column 0 the string names, both
// drawn as fixed header cells; every other cell is a fret of a string.
class NeckWidget : public QTableWidget, public instrument::NeckGrid {
    Q_OBJECT

public:
    // A cell is 20 x 16 pixels plus its 1-pixel grid line; the drag bounds rely on that.
    static constexpr int kColumnPitch = 21;
    static constexpr int kRowPitch = 17;

    explicit NeckWidget(QWidget* parent = nullptr);

    void setRowCount(int rows) override;
    void setCell(int column, int row, const std::string& text) override;
    QString cellText(int column, int row) const;

    // Whether a drag may drop at this point of the viewport; the current cell follows the
    // pointer over fret cells so it shows where the note will land.
    bool DragOverIt(QPoint point);

signals:
    // Points are in the viewport's coordinates, where the cells are.
    void durationDropped(QPoint point, char symbol);
    void pressed(Qt::MouseButton button, QPoint point);

protected:
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;

private:
    QTableWidgetItem* cellAt(int column, int row);
    void markHeaderCells();
};

} // namespace quorlin::ui
