#include "platform/AutosaveTimer.h"

#include "platform/RecoveryFolder.h"

namespace quorlin::platform {

namespace {

constexpr int kQuietMs = 1000;
constexpr int kDeadlineMs = 2000;
constexpr int kSpacingMs = 1000;

// Coarse timers may fire early by a few percent, which would break the one-second spacing.
void setUp(QTimer& timer, int ms)
{
    timer.setSingleShot(true);
    timer.setTimerType(Qt::PreciseTimer);
    timer.setInterval(ms);
}

} // namespace

AutosaveTimer::AutosaveTimer(RecoveryFolder& store, Provider provider, QObject* parent) :
    QObject(parent), m_store(store), m_provider(std::move(provider))
{
    setUp(m_quiet, kQuietMs);
    setUp(m_deadline, kDeadlineMs);
    setUp(m_spacing, kSpacingMs);
    connect(&m_quiet, &QTimer::timeout, this, &AutosaveTimer::due);
    connect(&m_deadline, &QTimer::timeout, this, &AutosaveTimer::due);
    connect(&m_spacing, &QTimer::timeout, this, &AutosaveTimer::due);
}

void AutosaveTimer::changed()
{
    m_pending = true;
    m_quiet.start();
    if (!m_deadline.isActive())
        m_deadline.start();
}

void AutosaveTimer::due()
{
    if (!m_pending)
        return;
    const qint64 since = m_sinceWrite.isValid() ? m_sinceWrite.elapsed() : kSpacingMs;
    if (since < kSpacingMs) {
        m_spacing.start(static_cast<int>(kSpacingMs - since));
        return;
    }
    writeNow();
}

void AutosaveTimer::writeNow()
{
    m_quiet.stop();
    m_deadline.stop();
    m_spacing.stop();
    m_pending = false;
    m_sinceWrite.start();
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
    m_quiet.stop();
    m_deadline.stop();
    m_spacing.stop();
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
