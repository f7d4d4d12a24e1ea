#include "ui/shell/UndoKeys.h"

#include <QAction>
#include <QApplication>
#include <QKeyEvent>
#include <QMenu>
#include <QPlainTextEdit>

namespace quorlin::ui {

namespace {

bool matches(const QKeyEvent& key, const QAction& action)
{
    const QKeySequence pressed(key.keyCombination());
    for (const QKeySequence& sequence : action.shortcuts()) {
        if (pressed == sequence)
            return true;
    }
    return false;
}

} // namespace

UndoKeys::UndoKeys(QWidget& window, QAction& undo, QAction& redo) :
    QObject(&window), m_window(window), m_undo(&undo), m_redo(&redo)
{
    qApp->installEventFilter(this);
}

UndoKeys::~UndoKeys()
{
    qApp->removeEventFilter(this);
}

bool UndoKeys::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() != QEvent::ShortcutOverride && event->type() != QEvent::KeyPress)
        return false;
    // Every key of the program passes here; most have no modifier, as no undo key lacks one.
    if (static_cast<QKeyEvent*>(event)->modifiers() == Qt::NoModifier)
        return false;
    auto* widget = qobject_cast<QWidget*>(watched);
    if (widget == nullptr || widget->window() != &m_window || m_undo.isNull() || m_redo.isNull())
        return false;
    const auto& key = *static_cast<QKeyEvent*>(event);
    QAction* action = matches(key, *m_redo)   ? m_redo.data()
                      : matches(key, *m_undo) ? m_undo.data()
                                              : nullptr;
    if (action == nullptr)
        return false;
    // Claimed before any widget or shortcut can take it, then handled once, on the press.
    event->accept();
    if (event->type() == QEvent::KeyPress)
        action->trigger();
    return true;
}

void UndoKeys::replaceMenuOf(QPlainTextEdit& area)
{
    area.setContextMenuPolicy(Qt::CustomContextMenu);
    connect(&area, &QWidget::customContextMenuRequested, this, [this, &area](QPoint point) {
        QMenu* menu = area.createStandardContextMenu(point);
        const std::pair<const char*, QAction*> ours[] = {{"edit-undo", m_undo.data()},
                                                         {"edit-redo", m_redo.data()}};
        for (const auto& [name, action] : ours) {
            if (auto* own = menu->findChild<QAction*>(QLatin1String(name))) {
                menu->insertAction(own, action);
                menu->removeAction(own);
            }
        }
        menu->exec(area.viewport()->mapToGlobal(point));
        delete menu;
    });
}

} // namespace quorlin::ui
