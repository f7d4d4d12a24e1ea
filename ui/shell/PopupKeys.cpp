#include "ui/shell/PopupKeys.h"

#include <QApplication>
#include <QEvent>

namespace quorlin::ui {

PopupKeys::PopupKeys(QObject* parent) : QObject(parent)
{
    qApp->installEventFilter(this);
}

PopupKeys::~PopupKeys()
{
    qApp->removeEventFilter(this);
}

bool PopupKeys::eventFilter(QObject* /*watched*/, QEvent* event)
{
    // Accepting the override keeps every shortcut out; the key then goes, as a plain key
    // press, to the pop-up, which has the keyboard.
    if (event->type() == QEvent::ShortcutOverride && QApplication::activePopupWidget() != nullptr) {
        event->accept();
        return true;
    }
    return false;
}

} // namespace quorlin::ui
