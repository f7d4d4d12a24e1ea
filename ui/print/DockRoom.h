#pragma once

// Room beside the window's designed area for a dock: the window grows by the dock's width
// when it docks, and gives the room back when it floats or hides, so the area keeps its size
// and its place in the window. The window never grows past the screen: short of room, the
// dock takes what the area has beyond its designed size, and floats when that is too little.

#include <QObject>
#include <QTimer>

class QDockWidget;
class QMainWindow;

namespace quorlin::ui {

// Where a dock of `width` (and the separator beside it) goes, when the window may grow by
// `canGrow` and the area give up `spare`: beside the area with the window grown by `grow`, at
// `width` or less, but never less than `least`; else floating.
struct DockPlace {
    bool floating = false;
    int grow = 0;
    int width = 0;
    bool operator==(const DockPlace&) const = default;
};
DockPlace placeDock(int width, int separator, int canGrow, int spare, int least);

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
    // How wide the window may be on its screen.
    int widest() const;
    void floatOnScreen();
    void keepOnScreen();
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
    // What it opens at this time: less than m_width where the screen is short of room.
    int m_openWidth;
    // The central widget's width, as the user last sized it.
    int m_keep = -1;
    // What the area gave up of m_keep for the dock, for want of screen.
    int m_given = 0;
    bool m_docked = false;
    bool m_settling = false;
    // Running while the window grows to make room, before the dock opens.
    QTimer m_growWait;
};

} // namespace quorlin::ui
