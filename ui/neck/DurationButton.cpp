#include "ui/neck/DurationButton.h"

#include "ui/neck/DurationDrag.h"

#include <QApplication>
#include <QDrag>
#include <QMouseEvent>

namespace quorlin::ui {

DurationButton::DurationButton(QWidget* parent) : QPushButton(parent) {}

void DurationButton::mousePressEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton)
        m_pressedAt = event->position().toPoint();
    QPushButton::mousePressEvent(event);
}

void DurationButton::mouseMoveEvent(QMouseEvent* event)
{
    const bool dragging = (event->buttons() & Qt::LeftButton) &&
                          (event->position().toPoint() - m_pressedAt).manhattanLength() >=
                              QApplication::startDragDistance();
    if (!dragging || text().size() != 1) {
        QPushButton::mouseMoveEvent(event);
        return;
    }
    setDown(false);
    auto* drag = new QDrag(this);
    drag->setMimeData(durationMimeData(text().at(0).toLatin1()));
    drag->exec(Qt::CopyAction);
}

} // namespace quorlin::ui
