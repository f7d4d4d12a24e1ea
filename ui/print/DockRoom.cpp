#include "ui/print/DockRoom.h"

#include <QDockWidget>
#include <QEvent>
#include <QLayout>
#include <QMainWindow>
#include <QScreen>
#include <QStyle>
#include <QTimer>

namespace quorlin::ui {

namespace {

// How long a window manager may take to grow the window before the dock opens anyway.
constexpr int kGrowWaitMs = 300;

} // namespace

DockRoom::DockRoom(QMainWindow& window, QDockWidget& dock, int width) :
    m_window(window), m_dock(dock), m_width(width)
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
    makeRoom(m_width + separator);
}

void DockRoom::makeRoom(int extra)
{
    // The window grows first, so that the dock then takes its room from what the central
    // widget was given. A window manager may grow it later: the dock opens when it has.
    const int before = m_window.width();
    m_growWait.start();
    m_window.resize(before + extra, m_window.height());
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
    m_window.resizeDocks({&m_dock}, {m_width}, Qt::Horizontal);
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
    const int grow = m_keep - m_window.centralWidget()->width();
    // Put back from floating, the dock comes as narrow as Qt makes it: it gets the width it
    // had, and the window the room for it.
    if (redocked && m_dock.width() < m_width) {
        makeRoom(grow + m_width - m_dock.width());
        return;
    }
    if (grow == 0)
        return;
    m_window.resize(m_window.width() + grow, m_window.height());
    // A window grown past the screen's edge moves back into it, as far as its left edge allows.
    if (const QScreen* screen = m_window.screen(); grow > 0 && screen != nullptr) {
        const QRect free = screen->availableGeometry();
        const QRect frame = m_window.frameGeometry();
        if (frame.right() > free.right())
            m_window.move(std::max(free.left(), frame.left() - (frame.right() - free.right())),
                          m_window.y());
    }
}

} // namespace quorlin::ui
