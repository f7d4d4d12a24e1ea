#include "ui/shell/GiveWayLayout.h"

#include <QStyle>
#include <QWidget>

#include <algorithm>
#include <numeric>

namespace quorlin::ui {

GiveWayLayout::GiveWayLayout(QWidget* parent) : QLayout(parent)
{
    setContentsMargins(0, 0, 0, 0);
}

GiveWayLayout::~GiveWayLayout()
{
    while (QLayoutItem* item = takeAt(0))
        delete item;
}

void GiveWayLayout::addWidget(QWidget* widget, int rank)
{
    addChildWidget(widget);
    m_entries.append({new QWidgetItem(widget), rank});
    invalidate();
}

void GiveWayLayout::addItem(QLayoutItem* item)
{
    // Added without a rank, an item gives way after all that came before it.
    const int last = m_entries.isEmpty() ? 0 : m_entries.constLast().rank;
    m_entries.append({item, last + 1});
    invalidate();
}

int GiveWayLayout::count() const
{
    return static_cast<int>(m_entries.size());
}

QLayoutItem* GiveWayLayout::itemAt(int index) const
{
    return index >= 0 && index < count() ? m_entries[index].item : nullptr;
}

QLayoutItem* GiveWayLayout::takeAt(int index)
{
    if (index < 0 || index >= count())
        return nullptr;
    QLayoutItem* item = m_entries.takeAt(index).item;
    invalidate();
    return item;
}

int GiveWayLayout::gap() const
{
    if (spacing() >= 0)
        return spacing();
    const QWidget* owner = parentWidget();
    return owner != nullptr ? owner->style()->pixelMetric(QStyle::PM_LayoutHorizontalSpacing) : 0;
}

QSize GiveWayLayout::total(QSize (QLayoutItem::*measure)() const) const
{
    QSize sum(0, 0);
    int shown = 0;
    for (const Entry& entry : m_entries) {
        if (entry.item->isEmpty())
            continue;
        const QSize size = (entry.item->*measure)();
        sum.rwidth() += size.width();
        sum.rheight() = std::max(sum.height(), size.height());
        ++shown;
    }
    sum.rwidth() += std::max(0, shown - 1) * gap();
    const QMargins margins = contentsMargins();
    return sum.grownBy(margins);
}

QSize GiveWayLayout::sizeHint() const
{
    return total(&QLayoutItem::sizeHint);
}

QSize GiveWayLayout::minimumSize() const
{
    return total(&QLayoutItem::minimumSize);
}

void GiveWayLayout::setGeometry(const QRect& rect)
{
    QLayout::setGeometry(rect);
    const QRect area = contentsRect();
    QList<int> widths;
    int wanted = 0;
    for (const Entry& entry : m_entries) {
        widths.append(entry.item->isEmpty() ? 0 : entry.item->sizeHint().width());
        wanted += widths.constLast();
    }
    const int gaps =
        sizeHint().width() - contentsMargins().left() - contentsMargins().right() - wanted;
    int lacking = wanted + gaps - area.width();
    QList<int> order(count());
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin(), order.end(),
                     [this](int a, int b) { return m_entries[a].rank < m_entries[b].rank; });
    for (const int i : order) {
        if (lacking <= 0)
            break;
        const int least = m_entries[i].item->minimumSize().width();
        const int given = std::min(lacking, std::max(0, widths[i] - least));
        widths[i] -= given;
        lacking -= given;
    }
    int x = area.left();
    for (int i = 0; i < count(); ++i) {
        if (m_entries[i].item->isEmpty())
            continue;
        m_entries[i].item->setGeometry(QRect(x, area.top(), widths[i], area.height()));
        x += widths[i] + gap();
    }
}

} // namespace quorlin::ui
