#include "platform/AutosaveTimer.h"

#include "platform/RecoveryFolder.h"

#include <QElapsedTimer>
#include <QTimer>

#include <algorithm>

namespace quorlin::platform {

namespace {

constexpr int kQuietMs = 1000;
constexpr int kDeadlineMs = 2000;
constexpr int kSpacingMs = 1000;

class SteadyClock final : public AutosaveTimer::Clock {
public:
    SteadyClock()
    {
        m_since.start();
        m_timer.setSingleShot(true);
        // Coarse timers may fire early by a few percent, which would break the one-second
        // spacing.
        m_timer.setTimerType(Qt::PreciseTimer);
        QObject::connect(&m_timer, &QTimer::timeout, &m_timer, [this] { m_wake(); });
    }
    qint64 now() const override { return m_since.elapsed(); }
    void wakeAt(qint64 at, std::function<void()> wake) override
    {
        m_wake = std::move(wake);
        m_timer.start(static_cast<int>(std::max<qint64>(0, at - now())));
    }
    void stop() override { m_timer.stop(); }

private:
    QElapsedTimer m_since;
    QTimer m_timer;
    std::function<void()> m_wake;
};

} // namespace

AutosaveTimer::AutosaveTimer(RecoveryFolder& store, Provider provider, QObject* parent) :
    AutosaveTimer(store, std::move(provider), std::make_unique<SteadyClock>(), parent)
{
}

AutosaveTimer::AutosaveTimer(RecoveryFolder& store, Provider provider, std::unique_ptr<Clock> clock,
                             QObject* parent) :
    QObject(parent),
    m_store(store), m_provider(std::move(provider)), m_clock(std::move(clock))
{
}

AutosaveTimer::~AutosaveTimer() = default;

void AutosaveTimer::changed()
{
    m_pending = true;
    const qint64 now = m_clock->now();
    m_alarms[Quiet] = now + kQuietMs;
    if (m_alarms[Deadline] == kNever)
        m_alarms[Deadline] = now + kDeadlineMs;
    rearm();
}

int AutosaveTimer::next() const
{
    int first = AlarmCount;
    for (int alarm = 0; alarm < AlarmCount; ++alarm) {
        if (m_alarms[alarm] != kNever && (first == AlarmCount || m_alarms[alarm] < m_alarms[first]))
            first = alarm;
    }
    return first;
}

// Each alarm that has come goes off in turn, as three timers of their own would.
void AutosaveTimer::wake()
{
    for (int alarm = next(); alarm != AlarmCount && m_alarms[alarm] <= m_clock->now();
         alarm = next()) {
        m_alarms[alarm] = kNever;
        due();
    }
    rearm();
}

void AutosaveTimer::rearm()
{
    const int first = next();
    if (first == AlarmCount)
        m_clock->stop();
    else
        m_clock->wakeAt(m_alarms[first], [this] { wake(); });
}

void AutosaveTimer::due()
{
    if (!m_pending)
        return;
    const qint64 since = m_lastWrite == kNever ? kSpacingMs : m_clock->now() - m_lastWrite;
    if (since < kSpacingMs) {
        m_alarms[Spacing] = m_clock->now() + (kSpacingMs - since);
        return;
    }
    writeNow();
}

void AutosaveTimer::writeNow()
{
    m_alarms.fill(kNever);
    m_pending = false;
    m_lastWrite = m_clock->now();
    QString problem;
    if (m_store.write(m_provider(), problem)) {
        m_failing = false;
    } else if (!m_failing) {
        m_failing = true;
        emit failed(problem);
    }
}

bool AutosaveTimer::forget()
{
    m_alarms.fill(kNever);
    rearm();
    m_pending = false;
    QString problem;
    if (m_store.remove(problem))
        return true;
    // A copy left behind is only offered after a crash, but the user should know of it.
    if (!m_failing) {
        m_failing = true;
        emit failed(problem);
    }
    return false;
}

bool AutosaveTimer::saved()
{
    return forget();
}

bool AutosaveTimer::cleared()
{
    return forget();
}

} // namespace quorlin::platform
