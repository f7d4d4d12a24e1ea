#include "ui/neck/RestPanel.h"

#include "ui/neck/DurationDrag.h"

#include <QDropEvent>

namespace quorlin::ui {

RestPanel::RestPanel(QWidget* parent) : QLabel(parent)
{
    setAcceptDrops(true);
}

void RestPanel::DragInRest(QDragMoveEvent* event)
{
    // Anywhere on the panel, but only our durations.
    if (durationOf(event->mimeData()))
        event->acceptProposedAction();
    else
        event->ignore();
}

void RestPanel::dragEnterEvent(QDragEnterEvent* event)
{
    DragInRest(event);
}

void RestPanel::dragMoveEvent(QDragMoveEvent* event)
{
    DragInRest(event);
}

void RestPanel::dropEvent(QDropEvent* event)
{
    if (const std::optional<char> symbol = takeDuration(event))
        emit durationDropped(*symbol);
}

} // namespace quorlin::ui
