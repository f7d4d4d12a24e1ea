#include "ui/print/SheetDock.h"

#include "ui/print/SheetView.h"

#include <QCloseEvent>
#include <QLabel>
#include <QVBoxLayout>

namespace quorlin::ui {

SheetDock::SheetDock(QWidget* parent) :
    QDockWidget(QStringLiteral("Sheet"), parent), m_view(new SheetView), m_skipped(new QLabel)
{
    setObjectName(QStringLiteral("SheetDock"));
    setAllowedAreas(Qt::RightDockWidgetArea);
    auto* inside = new QWidget(this);
    auto* column = new QVBoxLayout(inside);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(2);
    column->addWidget(m_view, 1);
    m_skipped->setObjectName(QStringLiteral("SheetSkipped"));
    m_skipped->setContentsMargins(4, 0, 4, 2);
    column->addWidget(m_skipped);
    setWidget(inside);
}

void SheetDock::closeEvent(QCloseEvent* event)
{
    QDockWidget::closeEvent(event);
    if (event->isAccepted())
        emit closed();
}

} // namespace quorlin::ui
