#pragma once

// Undo and redo keys belong to the window's history wherever the focus is in it. The text
// area and the spin boxes' fields would otherwise take them for their own small undo, and
// the text area's menu would offer that undo too.

#include <QAction>
#include <QObject>
#include <QPointer>

class QPlainTextEdit;
class QWidget;

namespace quorlin::ui {

class UndoKeys : public QObject {
    Q_OBJECT

public:
    UndoKeys(QWidget& window, QAction& undo, QAction& redo);
    ~UndoKeys() override;

    // The area's own menu, with the window's undo and redo in place of the area's.
    void replaceMenuOf(QPlainTextEdit& area);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QWidget& m_window;
    // The window's children, which it may delete before this one.
    QPointer<QAction> m_undo;
    QPointer<QAction> m_redo;
};

} // namespace quorlin::ui
