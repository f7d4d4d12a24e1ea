#pragma once

// Room beside the window's designed area for a dock: the window grows by the dock's width
// when it docks, and gives the room back when it floats or hides, so the area keeps its size
// and its place in the window.

#include <QObject>
#include <QTimer>

class QDockWidget;
class QMainWindow;

namespace quorlin::ui {

class DockRoom : public QObject {
    Q_OBJECT

public:
    // `width`: the dock's width the first time it docks.
    DockRoom(QMainWindow& window, QDockWidget& dock, int width);

    void setShown(bool shown);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    bool docked() const;
    // Maximised or full screen.
    bool filling() const;
    void makeRoom(int extra);
    void open();
    void settleSoon();
    // The window's width made to give the central widget its kept width again.
    void settle();

    QMainWindow& m_window;
    QDockWidget& m_dock;
    // As the user last left it.
    int m_width;
    // The central widget's width, as the user last sized it.
    int m_keep = -1;
    bool m_docked = false;
    bool m_settling = false;
    // Running while the window grows to make room, before the dock opens.
    QTimer m_growWait;
};

} // namespace quorlin::ui
