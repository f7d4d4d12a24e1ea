#pragma once

// Keeps the recovery copy a short time behind the tab: a write once editing pauses for a
// second, and every two seconds while it does not, but never two writes within a second, so
// that typing stays smooth on a slow disk.

#include "files/RecoveryFile.h"

#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <QTimer>

#include <functional>

namespace quorlin::platform {

class RecoveryFolder;

class AutosaveTimer : public QObject {
    Q_OBJECT

public:
    using Provider = std::function<files::Recovered()>;

    // The provider is asked for the window's content only when a write is due.
    AutosaveTimer(RecoveryFolder& store, Provider provider, QObject* parent = nullptr);

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
    void due();
    void writeNow();
    bool forget();

    RecoveryFolder& m_store;
    Provider m_provider;
    QTimer m_quiet;
    QTimer m_deadline;
    // A write that came due within a second of the last one waits here.
    QTimer m_spacing;
    QElapsedTimer m_sinceWrite;
    bool m_pending = false;
    bool m_failing = false;
};

} // namespace quorlin::platform
