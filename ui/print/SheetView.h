#pragma once

// The laid-out pages as they will print, white on grey, one under the other, with the tab
// cursor, the selection and the sounding column marked over them. Only the pages in sight
// are painted: a long tab has hundreds.

#include "sheet/SheetLayout.h"

#include <QAbstractScrollArea>

#include <optional>
#include <utility>

namespace quorlin::ui {

class SheetView : public QAbstractScrollArea {
    Q_OBJECT

public:
    explicit SheetView(QWidget* parent = nullptr);

    const sheet::Sheet& sheet() const { return m_sheet; }
    void setSheet(sheet::Sheet sheet);
    // The sheet shown, to be laid out again in place and set back: a long tab's is big.
    sheet::Sheet takeSheet() { return std::exchange(m_sheet, {}); }

    // Score columns (indices into the sheet's columns); none for no mark.
    void setCursor(std::optional<int> column);
    // The first and last selected column, both marked.
    void setSelection(std::optional<std::pair<int, int>> columns);
    void setPlaying(std::optional<int> column);
    // Scrolls the least that brings the column's system into sight.
    void showColumn(int column);

    // A mark as painted: its page and its rectangle in points on that page; page -1 for none.
    struct Marked {
        int page = -1;
        QRectF rect;
    };
    Marked cursorMark() const { return columnMark(m_cursor); }
    Marked playingMark() const { return columnMark(m_playing); }
    Marked columnMark(std::optional<int> column) const;
    // Where a mark shows in the viewport, in pixels.
    QRectF shownRect(const Marked& mark) const;

    // Pixels per point.
    double scale() const;
    void zoom(double factor, QPoint anchor);
    // By the zoom keys' steps about the view's centre: in for positive `steps`.
    void zoomStep(int steps);
    // The page's width in the view, but never smaller than a size that reads well.
    void fitWidth();

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;

private:
    // The band over a system between two x positions, in points.
    QRectF systemBand(const sheet::SystemPlace& system, float left, float right) const;
    void paintSelection(QPainter& painter, int page) const;
    // The page's top left corner in the viewport, in pixels.
    QPointF pageOrigin(int page) const;
    double pageStep() const;
    void updateScrollBars();
    // The scale at which the page is as wide as the view.
    double fittingScale() const;

    sheet::Sheet m_sheet;
    std::optional<int> m_cursor;
    std::optional<int> m_playing;
    std::optional<std::pair<int, int>> m_selection;
    // Fitting the page's width follows the view's width; a zoom of the user's stays.
    bool m_fit = true;
    double m_scale = 1;
    // The page step the scroll bars were last set for.
    double m_shownStep = 0;
};

} // namespace quorlin::ui
