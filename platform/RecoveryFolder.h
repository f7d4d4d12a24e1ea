#pragma once

// The recovery copies on disk. Each running window owns one copy, <id>.qrec, and holds the lock
// <id>.lock for as long as it lives; a copy whose lock no live process holds was left by a run
// that did not end cleanly, and only such an orphan is ever offered. While this store offers an
// orphan it holds that orphan's lock, so that a second window started meanwhile does not offer
// the same copy too. Every failure comes back as a problem in words for the user; nothing throws.
// An offer reads only a copy's first bytes and its end line; only a restore reads it whole.

#include "files/RecoveryFile.h"

#include <QDateTime>
#include <QString>

#include <map>
#include <memory>
#include <optional>
#include <vector>

namespace quorlin::platform {

class RecoveryLock;

struct Orphan {
    enum class State {
        Sound,
        // Its bytes show it is no whole copy: set aside, never offered again.
        Damaged,
        // It cannot be opened or read (permissions, not a file): left where it is.
        Unreadable,
    };

    QString path;
    QDateTime modified;
    qint64 size = 0;
    // The file the tab came from, if any.
    QString source;
    // The start of the tab's first line.
    QString firstWords;
    State state = State::Sound;
    // Why the copy is damaged or unreadable.
    QString problem;

    // What a list shows: the file the tab came from, else its first words.
    QString title() const;
};

class RecoveryFolder {
public:
    // "recovery" in the application's data folder.
    static QString defaultFolder();

    RecoveryFolder();
    explicit RecoveryFolder(const QString& folder);
    ~RecoveryFolder();
    RecoveryFolder(const RecoveryFolder&) = delete;
    RecoveryFolder& operator=(const RecoveryFolder&) = delete;

    const QString& folder() const { return m_folder; }
    // This window's own copy.
    QString copyPath() const;
    // Why this store can keep no copy at all; empty when it can.
    const QString& problem() const { return m_problem; }

    // The copies left by runs that are over, oldest first; nullopt when the folder cannot be read.
    std::optional<std::vector<Orphan>> orphans(QString& problem);
    // Reads an offered orphan whole and makes it this window's own copy, so that it is never
    // without a copy on disk; if that write fails the orphan stays where it is for the next
    // start. Damage or a failed read found only now is told in `found`.
    std::optional<files::Recovered> take(const Orphan& orphan, QString& problem,
                                         Orphan::State* found = nullptr);
    bool discard(const Orphan& orphan, QString& problem);
    // Renames a damaged copy to <name>.damaged: never offered again, yet not destroyed.
    bool setAside(const Orphan& orphan, QString& problem);

    // Replaces this window's copy whole.
    bool write(const files::Recovered& recovered, QString& problem);
    // True when no copy of this window remains.
    bool remove(QString& problem);

private:
    QString lockPath(const QString& id) const;
    // Deletes the locks of ended runs that guard no copy any more.
    void sweepLocks();
    // Only an orphan this store offered may be taken, discarded or set aside.
    bool claimed(const Orphan& orphan, QString& problem) const;
    void release(const Orphan& orphan);

    QString m_folder;
    QString m_id;
    QString m_problem;
    std::unique_ptr<RecoveryLock> m_lock;
    // The locks of the orphans on offer, by copy path; none for a copy whose lock file could
    // not be opened, which guards nothing.
    std::map<QString, std::unique_ptr<RecoveryLock>> m_offered;
};

} // namespace quorlin::platform
