#include "ui/print/SheetView.h"

#include "ui/sheet/SheetPainter.h"

#include <QPainter>
#include <QScrollBar>
#include <QWheelEvent>

#include <algorithm>
#include <cmath>

namespace quorlin::ui {

namespace {

// Pixels around and between the pages, and the depth of their shadow.
constexpr double kGap = 12;
constexpr double kShadow = 3;
constexpr double kLeastScale = 0.2;
constexpr double kMostScale = 8;
constexpr double kZoomStep = 1.25;
// Fitting the width never goes below this: the fret numbers (8 points) are 10 pixels high.
// A narrower view scrolls sideways to the column being written.
constexpr double kReadableScale = 1.25;
// Points: a column's bar is about as wide as two digits; it reaches over the fret numbers of
// the top string and down to the stems' ends.
constexpr float kBarHalf = 4.5f;
constexpr float kAboveStaff = 6;
constexpr float kBelowStems = 2;

const QColor kDesk(0x8c, 0x8c, 0x8c);
const QColor kShadowColour(0x55, 0x55, 0x55);
const QColor kCursorColour(30, 110, 230, 120);
const QColor kPlayingColour(235, 120, 0, 110);
const QColor kSelectionColour(100, 160, 255, 60);

} // namespace

SheetView::SheetView(QWidget* parent) : QAbstractScrollArea(parent)
{
    setObjectName(QStringLiteral("SheetView"));
    // Always there, so that fitting the width never makes it come and go.
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    // The neck keeps the keys while the user scrolls the pages: writing goes on.
    setFocusPolicy(Qt::NoFocus);
    verticalScrollBar()->setSingleStep(24);
    horizontalScrollBar()->setSingleStep(24);
}

void SheetView::zoomStep(int steps)
{
    zoom(std::pow(kZoomStep, steps), viewport()->rect().center());
}

void SheetView::setSheet(sheet::Sheet sheet)
{
    m_sheet = std::move(sheet);
    updateScrollBars();
    viewport()->update();
}

void SheetView::setCursor(std::optional<int> column)
{
    if (std::exchange(m_cursor, column) != column)
        viewport()->update();
}

void SheetView::setSelection(std::optional<std::pair<int, int>> columns)
{
    if (std::exchange(m_selection, columns) != columns)
        viewport()->update();
}

void SheetView::setPlaying(std::optional<int> column)
{
    if (std::exchange(m_playing, column) != column)
        viewport()->update();
}

double SheetView::fittingScale() const
{
    return m_sheet.size.width <= 0 ? 0 : (viewport()->width() - 2 * kGap) / m_sheet.size.width;
}

double SheetView::scale() const
{
    if (!m_fit || m_sheet.size.width <= 0)
        return m_scale;
    return std::max(kReadableScale, fittingScale());
}

double SheetView::pageStep() const
{
    return m_sheet.size.height * scale() + kGap;
}

QPointF SheetView::pageOrigin(int page) const
{
    const double width = m_sheet.size.width * scale();
    return {std::max(kGap, (viewport()->width() - width) / 2) - horizontalScrollBar()->value(),
            kGap + page * pageStep() - verticalScrollBar()->value()};
}

void SheetView::updateScrollBars()
{
    // The same place of the same page stays at the top whatever the scale.
    QScrollBar* down = verticalScrollBar();
    const double step = pageStep();
    const double pagesAbove = m_shownStep > 0 ? down->value() / m_shownStep : 0;
    m_shownStep = step;
    const double height = kGap + static_cast<double>(m_sheet.pages.size()) * step;
    down->setPageStep(viewport()->height());
    down->setRange(0, std::max(0, static_cast<int>(std::ceil(height)) - viewport()->height()));
    down->setValue(static_cast<int>(std::lround(pagesAbove * step)));
    // Fitting, the page is as wide as the view: no rounding may make it scroll by a pixel.
    const double width =
        m_fit && fittingScale() >= kReadableScale ? 0 : m_sheet.size.width * scale() + 2 * kGap;
    horizontalScrollBar()->setPageStep(viewport()->width());
    horizontalScrollBar()->setRange(
        0, std::max(0, static_cast<int>(std::ceil(width)) - viewport()->width()));
}

void SheetView::zoom(double factor, QPoint anchor)
{
    const double before = scale();
    const double after = std::clamp(before * factor, kLeastScale, kMostScale);
    // The point under the anchor stays under it.
    const QPointF onPage = (QPointF(anchor) - pageOrigin(0)) / before;
    m_fit = false;
    m_scale = after;
    updateScrollBars();
    const QPointF moved = pageOrigin(0) + onPage * after - QPointF(anchor);
    horizontalScrollBar()->setValue(horizontalScrollBar()->value() + qRound(moved.x()));
    verticalScrollBar()->setValue(verticalScrollBar()->value() + qRound(moved.y()));
    viewport()->update();
}

void SheetView::fitWidth()
{
    m_fit = true;
    updateScrollBars();
    viewport()->update();
}

void SheetView::resizeEvent(QResizeEvent* event)
{
    QAbstractScrollArea::resizeEvent(event);
    updateScrollBars();
}

void SheetView::wheelEvent(QWheelEvent* event)
{
    if (!(event->modifiers() & Qt::ControlModifier)) {
        QAbstractScrollArea::wheelEvent(event);
        return;
    }
    const double notches = event->angleDelta().y() / 120.0;
    if (notches != 0)
        zoom(std::pow(kZoomStep, notches), event->position().toPoint());
    event->accept();
}

QRectF SheetView::systemBand(const sheet::SystemPlace& system, float left, float right) const
{
    const float top = system.staff.y - kAboveStaff;
    return {left, top, right - left, system.stemsBottom + kBelowStems - top};
}

SheetView::Marked SheetView::columnMark(std::optional<int> column) const
{
    if (!column || *column < 0 || static_cast<std::size_t>(*column) >= m_sheet.columns.size())
        return {};
    const sheet::ColumnPlace& place = m_sheet.columns[static_cast<std::size_t>(*column)];
    if (place.page < 0 || place.system < 0)
        return {};
    return {place.page, systemBand(m_sheet.systems[static_cast<std::size_t>(place.system)],
                                   place.x - kBarHalf, place.x + kBarHalf)};
}

void SheetView::paintSelection(QPainter& painter, int page) const
{
    if (!m_selection)
        return;
    const auto placeOf = [this](int column) -> const sheet::ColumnPlace* {
        if (column < 0 || static_cast<std::size_t>(column) >= m_sheet.columns.size())
            return nullptr;
        const sheet::ColumnPlace& place = m_sheet.columns[static_cast<std::size_t>(column)];
        return place.system < 0 ? nullptr : &place;
    };
    const sheet::ColumnPlace* first = placeOf(m_selection->first);
    const sheet::ColumnPlace* last = placeOf(m_selection->second);
    if (first == nullptr || last == nullptr || first->page > page || last->page < page)
        return;
    // The systems are in page order: those of this page inside the selection, each banded
    // from its first selected column to its last.
    const auto& systems = m_sheet.systems;
    auto on = std::lower_bound(systems.begin(), systems.end(), page,
                               [](const sheet::SystemPlace& s, int p) { return s.page < p; });
    for (; on != systems.end() && on->page == page; ++on) {
        const int index = static_cast<int>(on - systems.begin());
        if (index < first->system || index > last->system)
            continue;
        const float left = index == first->system ? first->x - kBarHalf : on->staff.x;
        const float right = index == last->system ? last->x + kBarHalf : on->staff.right();
        painter.fillRect(systemBand(*on, left, right), kSelectionColour);
    }
}

void SheetView::paintEvent(QPaintEvent* event)
{
    QPainter painter(viewport());
    painter.fillRect(event->rect(), kDesk);
    if (m_sheet.pages.empty())
        return;
    const double s = scale();
    const QSizeF size(m_sheet.size.width * s, m_sheet.size.height * s);
    const double step = pageStep();
    const double top = verticalScrollBar()->value();
    const int count = static_cast<int>(m_sheet.pages.size());
    const int first = std::clamp(static_cast<int>((top - kGap) / step), 0, count - 1);
    const int last =
        std::clamp(static_cast<int>((top + viewport()->height()) / step), 0, count - 1);
    const Marked cursor = cursorMark();
    const Marked playing = playingMark();
    for (int page = first; page <= last; ++page) {
        const QRectF paper(pageOrigin(page), size);
        if (!paper.intersects(event->rect()))
            continue;
        painter.fillRect(paper.translated(kShadow, kShadow), kShadowColour);
        painter.fillRect(paper, Qt::white);
        painter.save();
        painter.setClipRect(paper);
        painter.translate(paper.topLeft());
        painter.scale(s, s);
        paintSelection(painter, page);
        paintSheetPage(painter, m_sheet.pages[static_cast<std::size_t>(page)]);
        // Over the notes, see-through: the fret numbers stay readable under the bars.
        if (cursor.page == page)
            painter.fillRect(cursor.rect, kCursorColour);
        if (playing.page == page)
            painter.fillRect(playing.rect, kPlayingColour);
        painter.restore();
    }
}

QRectF SheetView::shownRect(const Marked& mark) const
{
    if (mark.page < 0)
        return {};
    const double s = scale();
    return {pageOrigin(mark.page) + mark.rect.topLeft() * s, mark.rect.size() * s};
}

void SheetView::showColumn(int column)
{
    const Marked mark = columnMark(column);
    if (mark.page < 0)
        return;
    // Where the mark is in the whole scrolled content.
    const QRectF wanted =
        shownRect(mark).translated(horizontalScrollBar()->value(), verticalScrollBar()->value());
    const auto bring = [](QScrollBar* bar, double low, double high, int room) {
        const int margin = static_cast<int>(kGap);
        if (low < bar->value())
            bar->setValue(static_cast<int>(low) - margin);
        else if (high > bar->value() + room)
            bar->setValue(std::min(static_cast<int>(low) - margin,
                                   static_cast<int>(std::ceil(high)) - room + margin));
    };
    bring(verticalScrollBar(), wanted.top(), wanted.bottom(), viewport()->height());
    bring(horizontalScrollBar(), wanted.left(), wanted.right(), viewport()->width());
}

} // namespace quorlin::ui
