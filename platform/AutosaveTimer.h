#pragma once

// Keeps the recovery copy a short time behind the tab: a write once editing pauses for a
// second, and every two seconds while it does not, but never two writes within a second, so
// that typing stays smooth on a slow disk.

#include "files/RecoveryFile.h"

#include <QObject>
#include <QString>

#include <array>
#include <functional>
#include <memory>

namespace quorlin::platform {

class RecoveryFolder;

class AutosaveTimer : public QObject {
    Q_OBJECT

public:
    using Provider = std::function<files::Recovered()>;

    // Milliseconds as the timer counts them: the steady clock, or one a test moves by hand.
    class Clock {
    public:
        virtual ~Clock() = default;
        virtual qint64 now() const = 0;
        // `wake` runs once the clock reads `at` or later; a new call replaces the one before.
        virtual void wakeAt(qint64 at, std::function<void()> wake) = 0;
        virtual void stop() = 0;
    };

    // The provider is asked for the window's content only when a write is due.
    AutosaveTimer(RecoveryFolder& store, Provider provider, QObject* parent = nullptr);
    AutosaveTimer(RecoveryFolder& store, Provider provider, std::unique_ptr<Clock> clock,
                  QObject* parent = nullptr);
    ~AutosaveTimer() override;

    // After every change to the tab, its state or its song header.
    void changed();
    // The tab is in its file, or "Clear tab" left it empty: nothing to recover any more. True
    // when no copy remains.
    bool saved();
    bool cleared();
    bool pending() const { return m_pending; }

signals:
    // Once, at the first write that fails after one that did not; editing goes on, and the
    // next change tries again.
    void failed(const QString& problem);

private:
    // The pause after the last change, the longest wait since the first, and the wait that
    // keeps a second between writes: each a time on the clock, or kNever.
    enum Alarm { Quiet, Deadline, Spacing, AlarmCount };
    static constexpr qint64 kNever = -1;

    void due();
    void writeNow();
    bool forget();
    // The alarm that goes off first; AlarmCount when none is set.
    int next() const;
    void wake();
    void rearm();

    RecoveryFolder& m_store;
    Provider m_provider;
    std::unique_ptr<Clock> m_clock;
    std::array<qint64, AlarmCount> m_alarms{kNever, kNever, kNever};
    qint64 m_lastWrite = kNever;
    bool m_pending = false;
    bool m_failing = false;
};

} // namespace quorlin::platform
