#pragma once

// Tabs opened from outside the Load dialog: File > Open Recent, and files dropped from a
// file manager onto the window. Duration drags and text drags stay with the neck and the
// text area; only one local file is taken.

#include "platform/RecentFiles.h"

#include <QObject>

#include <functional>

class QMenu;
class QMimeData;
class QWidget;

namespace quorlin::ui {

class Prompter;

class DropAndRecent : public QObject {
    Q_OBJECT

public:
    using Open = std::function<void(const QString& path)>;

    // Files dropped on `window` or on the text area's `viewport` are opened with `open`.
    DropAndRecent(QMenu& recentMenu, QWidget& window, QWidget& viewport, Prompter& prompter,
                  Open open);

    platform::RecentFiles& recent() { return m_recent; }
    // A local file dragged from outside, or nothing.
    static QString droppedFile(const QMimeData* data);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void fillMenu();

    QMenu& m_menu;
    Prompter& m_prompter;
    Open m_open;
    platform::RecentFiles m_recent;
};

} // namespace quorlin::ui
