#include "ui/neck/FretMarker.h"

#include <QPainter>

namespace quorlin::ui {

FretMarker::FretMarker(QWidget* parent) : QWidget(parent)
{
    setAttribute(Qt::WA_TransparentForMouseEvents);
}

void FretMarker::paintEvent(QPaintEvent* /*event*/)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(Qt::black, 1));
    painter.setBrush(Qt::white);
    // A 1-px pen is centred on the path: inset by half a pixel so the outline lands on
    // whole pixels and stays inside the widget instead of being clipped on two sides.
    painter.drawEllipse(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5));
}

} // namespace quorlin::ui
