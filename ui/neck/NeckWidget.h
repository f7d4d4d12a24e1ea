#pragma once

#include "engine/Staff.h"

#include <QTableWidget>

#include <optional>

namespace quorlin::ui {

// The picture of the neck: row 0 holds the fret numbers, column 0 the string names, both
// drawn as fixed header cells; every other cell is a fret of a string.
//
// It is also the keyboard's note cursor: a cell on a string row, where column 0 stands for the
// open string. The arrows, digits, clicks and drags move it; the table's own navigation and
// selection are never used, so the cursor is the only cell that looks chosen.
class NeckWidget : public QTableWidget {
    Q_OBJECT

public:
    // A cell is 20 x 16 pixels plus its 1-pixel grid line; the drag bounds rely on that.
    static constexpr int kColumnPitch = 21;
    static constexpr int kRowPitch = 17;

    explicit NeckWidget(QWidget* parent = nullptr);

    void setRowCount(int rows);
    // Shows the engine's labels and "X". Only cells that differ from what was shown are
    // written: a note moves the "X" and repaints its two cells, not the neck.
    void showStaff(const engine::NeckView& view);
    QString cellText(int column, int row) const;

    // x is the column (0 for the open string), y the string's row.
    // The fret being typed is complete: the next digit starts a new one. Keys the window
    // takes as shortcuts (Return writing the note) never reach the neck, so it says so.
    void finishFret() { m_firstDigit = -1; }
    QPoint cursorCell() const { return m_cursor; }
    void setCursorCell(int column, int row);

    // The cells whose notes sound now, lit while playback runs; empty clears them.
    void setSounding(const QList<QPoint>& cells);
    const QList<QPoint>& sounding() const { return m_sounding; }

    // Whether a drag may drop at this point of the viewport; the cursor follows the pointer
    // over fret cells so it shows where the note will land.
    bool DragOverIt(QPoint point);

signals:
    // Points are in the viewport's coordinates, where the cells are.
    void durationDropped(QPoint point, char symbol);
    void pressed(Qt::MouseButton button, QPoint point);
    void cursorMoved(int column, int row);
    // A double-click on a string asks for a note in that cell.
    void noteRequested(int column, int row);

protected:
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    QModelIndex moveCursor(CursorAction action, Qt::KeyboardModifiers modifiers) override;

private:
    QTableWidgetItem* cellAt(int column, int row);
    void setCell(int column, int row, const QString& text);
    // A cell with the frame around it.
    QRect cellRect(QPoint cell) const;
    void markHeaderCells();
    // The cell of a string under a viewport point, if there is one.
    std::optional<QPoint> stringCellAt(QPoint point) const;
    void typeDigit(int digit, quint64 time);
    // The digit a key sets the fret to, or -1.
    static int digitOf(const QKeyEvent& event);

    engine::NeckView m_shown;
    QPoint m_cursor{0, 1};
    QList<QPoint> m_sounding;
    int m_firstDigit = -1; // the digit that may still take a second one, or -1
    quint64 m_firstDigitTime = 0;
};

} // namespace quorlin::ui
