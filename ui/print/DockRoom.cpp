#include "ui/print/DockRoom.h"

#include <QDockWidget>
#include <QEvent>
#include <QLayout>
#include <QMainWindow>
#include <QScreen>
#include <QStyle>
#include <QTimer>

#include <algorithm>

namespace quorlin::ui {

namespace {

// How long a window manager may take to grow the window before the dock opens anyway.
constexpr int kGrowWaitMs = 300;
// Narrower, a docked sheet would show too little of a page at a size that reads.
constexpr int kLeastDocked = 360;

} // namespace

DockPlace placeDock(int width, int separator, int canGrow, int spare, int least)
{
    canGrow = std::max(0, canGrow);
    if (canGrow >= width + separator)
        return {false, width + separator, width};
    const int room = canGrow + std::max(0, spare) - separator;
    if (room >= least)
        return {false, canGrow, std::min(width, room)};
    return {true, 0, width};
}

DockRoom::DockRoom(QMainWindow& window, QDockWidget& dock, int width) :
    m_window(window), m_dock(dock), m_width(width), m_openWidth(width)
{
    m_docked = docked();
    m_dock.installEventFilter(this);
    m_window.installEventFilter(this);
    if (QWidget* area = m_window.centralWidget()) {
        area->installEventFilter(this);
        m_keep = area->width();
    }
    m_growWait.setSingleShot(true);
    m_growWait.setInterval(kGrowWaitMs);
    connect(&m_growWait, &QTimer::timeout, this, &DockRoom::open);
}

bool DockRoom::filling() const
{
    return m_window.windowState() & (Qt::WindowMaximized | Qt::WindowFullScreen);
}

bool DockRoom::docked() const
{
    return !m_dock.isHidden() && !m_dock.isFloating();
}

void DockRoom::setShown(bool shown)
{
    if (!shown) {
        m_growWait.stop();
        m_dock.hide();
        return;
    }
    if (!m_dock.isHidden() || m_growWait.isActive())
        return;
    if (m_dock.isFloating() || filling() || !m_window.isVisible()) {
        m_dock.show();
        return;
    }
    const int separator =
        m_window.style()->pixelMetric(QStyle::PM_DockWidgetSeparatorExtent, nullptr, &m_window);
    const QWidget* area = m_window.centralWidget();
    const int spare = area == nullptr ? 0 : area->width() - area->minimumWidth();
    const DockPlace place =
        placeDock(m_width, separator, widest() - m_window.width(), spare, kLeastDocked);
    if (place.floating) {
        floatOnScreen();
        return;
    }
    m_openWidth = place.width;
    // What the window cannot grow by, the area gives up while the dock is beside it.
    m_given = std::max(0, place.width + separator - place.grow);
    m_keep -= m_given;
    makeRoom(place.grow);
}

int DockRoom::widest() const
{
    const QScreen* screen = m_window.screen();
    if (screen == nullptr)
        return QWIDGETSIZE_MAX;
    return screen->availableGeometry().width() -
           (m_window.frameGeometry().width() - m_window.width());
}

void DockRoom::floatOnScreen()
{
    // Beside the window where the screen has room for it, else over the window's right side.
    const QScreen* screen = m_window.screen();
    const QRect free =
        screen != nullptr ? screen->availableGeometry() : QRect(0, 0, 1 << 14, 1 << 14);
    const QRect frame = m_window.frameGeometry();
    const int width = std::min(m_width, free.width());
    const int height = std::min(m_window.height(), free.height());
    const int x = std::clamp(frame.right() + 1, free.left(), free.right() + 1 - width);
    const int y = std::clamp(m_window.y(), free.top(), free.bottom() + 1 - height);
    m_dock.setFloating(true);
    m_dock.setGeometry(x, y, width, height);
    m_dock.show();
}

void DockRoom::makeRoom(int extra)
{
    // The window grows first, so that the dock then takes its room from what the central
    // widget was given. A window manager may grow it later: the dock opens when it has.
    const int before = m_window.width();
    const int after = std::min(before + extra, std::max(before, widest()));
    m_growWait.start();
    if (after == before) {
        open();
        return;
    }
    m_window.resize(after, m_window.height());
    if (m_window.width() != before)
        open();
}

void DockRoom::open()
{
    if (!m_growWait.isActive())
        return;
    m_growWait.stop();
    m_dock.show();
    // Applied now: the settling after it must see the dock at its width.
    m_window.resizeDocks({&m_dock}, {m_openWidth}, Qt::Horizontal);
    m_window.layout()->invalidate();
    m_window.layout()->activate();
    settleSoon();
}

void DockRoom::settleSoon()
{
    if (!std::exchange(m_settling, true))
        QTimer::singleShot(0, this, &DockRoom::settle);
}

bool DockRoom::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() != QEvent::Resize)
        return QObject::eventFilter(watched, event);
    if (watched == &m_window) {
        if (m_growWait.isActive())
            QTimer::singleShot(0, this, &DockRoom::open);
    } else if (watched == &m_dock) {
        if (docked() && m_docked && !m_settling)
            m_width = m_dock.width();
    } else if (watched == m_window.centralWidget()) {
        // A resize that comes with the dock docking or leaving is the dock's doing, made good
        // once the layout has settled; any other is the user's, and the width to keep.
        if (docked() != m_docked || m_settling || m_growWait.isActive())
            settleSoon();
        else
            m_keep = m_window.centralWidget()->width();
    }
    return QObject::eventFilter(watched, event);
}

void DockRoom::settle()
{
    m_settling = false;
    // A window filling the screen cannot grow: there the dock takes its room from the area.
    if (m_growWait.isActive() || filling())
        return;
    const bool redocked = docked() && !m_docked;
    m_docked = docked();
    // Gone from beside the area, the dock gives back what the area gave up for it.
    if (!m_docked)
        m_keep += std::exchange(m_given, 0);
    const int grow = m_keep - m_window.centralWidget()->width();
    // Put back from floating, the dock comes as narrow as Qt makes it: it gets the width it
    // had, and the window the room for it.
    if (redocked && m_dock.width() < m_width) {
        m_openWidth = m_width;
        makeRoom(grow + m_width - m_dock.width());
        return;
    }
    const int width = std::min(m_window.width() + grow, std::max(m_window.width(), widest()));
    if (width != m_window.width())
        m_window.resize(width, m_window.height());
    keepOnScreen();
}

void DockRoom::keepOnScreen()
{
    // A window grown past the screen's edge moves back into it, as far as its left edge allows.
    const QScreen* screen = m_window.screen();
    if (screen == nullptr)
        return;
    const QRect free = screen->availableGeometry();
    const QRect frame = m_window.frameGeometry();
    if (frame.right() > free.right())
        m_window.move(std::max(free.left(), frame.left() - (frame.right() - free.right())),
                      m_window.y());
}

} // namespace quorlin::ui
