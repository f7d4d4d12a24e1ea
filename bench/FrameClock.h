#pragma once

// Times an edit from the key to the frame that shows it, the same way in the window and in
// the floor program.

#include "bench/Measure.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QPaintEvent>
#include <QPlainTextEdit>
#include <QTextCursor>
#include <QTimer>

#include <ctime>
#include <functional>
#include <vector>

namespace quorlin::bench {

// Nanoseconds from the start of an act.
struct Frame {
    double handled = -1; // the act returned
    double painted = -1; // the watched widget finished painting over the edit
    double shown = -1;   // the outermost event around that paint returned: the frame is done
    double cpu = -1;     // this thread's processor time until then, without being preempted
};

inline double threadCpuNs()
{
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) * 1e9 + static_cast<double>(now.tv_nsec);
}

// The application sees every event, so it knows when a paint ends, which no event filter
// does. A frame is done when the outermost event that held the watched paint returns, as the
// repaint of every widget and the flush of the window's buffer happen inside it.
template <class Base> class FrameClock : public Base {
public:
    FrameClock(int& argc, char** argv) : Base(argc, argv) {}

    // Runs `act`, then the event loop until `watched` has painted a region that meets
    // `edit` (asked when the paint ends) and the frame around it is done, or `timeoutMs`.
    Frame time(QWidget& watched, const std::function<void()>& act,
               const std::function<QRect()>& edit, int timeoutMs = 5000)
    {
        QEventLoop loop;
        QTimer::singleShot(timeoutMs, &loop, &QEventLoop::quit);
        m_frame = {};
        m_unclocked = 0;
        m_edit = edit;
        m_loop = &loop;
        m_watched = &watched;
        m_cpuStart = threadCpuNs();
        m_timer.start();
        act();
        m_frame.handled = static_cast<double>(m_timer.nsecsElapsed());
        if (m_frame.shown < 0)
            loop.exec();
        m_watched = nullptr;
        m_loop = nullptr;
        return m_frame;
    }

    bool notify(QObject* receiver, QEvent* event) override
    {
        if (m_watched == nullptr)
            return Base::notify(receiver, event);
        const bool paint = receiver == m_watched && event->type() == QEvent::Paint;
        const QRegion region = paint ? static_cast<QPaintEvent*>(event)->region() : QRegion();
        ++m_depth;
        const bool handled = Base::notify(receiver, event);
        --m_depth;
        const auto now = static_cast<double>(m_timer.nsecsElapsed()) - m_unclocked;
        if (paint && m_frame.painted < 0) {
            // Finding the edit on screen is the clock's work, not the frame's.
            const bool shows = region.intersects(m_edit());
            m_unclocked = static_cast<double>(m_timer.nsecsElapsed()) - now;
            if (shows)
                m_frame.painted = now;
        }
        if (m_depth == 0 && m_frame.painted >= 0 && m_frame.shown < 0) {
            m_frame.shown = now;
            m_frame.cpu = threadCpuNs() - m_cpuStart - m_unclocked;
            m_loop->quit();
        }
        return handled;
    }

private:
    QElapsedTimer m_timer;
    double m_cpuStart = 0;
    double m_unclocked = 0; // nanoseconds spent finding the edit, taken off both clocks
    Frame m_frame;
    std::function<QRect()> m_edit;
    QEventLoop* m_loop = nullptr;
    QWidget* m_watched = nullptr;
    int m_depth = 0;
};

// The band of the area's viewport holding the line where text position `at` is.
inline QRect lineInView(const QPlainTextEdit& area, int at)
{
    QTextCursor cursor(area.document());
    cursor.setPosition(at);
    const QRect caret = area.cursorRect(cursor);
    return {0, caret.top(), area.viewport()->width(), caret.height()};
}

// The first presses lay out and cache what every later one reuses; they are left out.
constexpr int kWarmUpPresses = 10;

// Median and 95th percentile of the frames after the warm-up, and the median of the acts.
inline void reportFrames(const QByteArray& name, const std::vector<Frame>& frames)
{
    std::vector<double> shown, cpu, handled;
    for (std::size_t i = kWarmUpPresses; i < frames.size(); ++i) {
        shown.push_back(frames[i].shown);
        cpu.push_back(frames[i].cpu);
        handled.push_back(frames[i].handled);
    }
    report(name, median(shown));
    report(name + "_p95", percentile(shown, 0.95));
    report(name + "_cpu", median(cpu));
    report(name + "_cpu_p95", percentile(cpu, 0.95));
    report(name + "_act", median(handled));
}

} // namespace quorlin::bench
