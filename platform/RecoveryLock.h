#pragma once

// A lock that lives exactly as long as the process holding it: an flock on the lock file, which
// the kernel lets go when the process ends, however it ends. Neither the process id (every run
// in a container may get the same one) nor what the file holds (a power cut may leave it empty
// or garbled) decides whether its owner lives.

#include <QString>

#include <memory>

namespace quorlin::platform {

class RecoveryLock {
public:
    enum class Outcome {
        Taken,
        // A live process holds it.
        Held,
        // No lock file, and `create` was not asked for.
        Missing,
        // The file cannot be opened or locked; the problem says why.
        Failed,
    };

    // Opens (or makes, with `create`) the lock file and locks it without waiting.
    static std::unique_ptr<RecoveryLock> take(const QString& path, bool create, Outcome& outcome,
                                              QString& problem);
    // Deletes the lock file, then lets go: nobody can take the lock of a file already gone.
    ~RecoveryLock();
    // Whether the lock file is still there under its name (a folder deleted under a run takes
    // it along).
    bool inPlace() const;
    RecoveryLock(const RecoveryLock&) = delete;
    RecoveryLock& operator=(const RecoveryLock&) = delete;

private:
    RecoveryLock(QString path, int fd) : m_path(std::move(path)), m_fd(fd) {}

    QString m_path;
    int m_fd;
};

} // namespace quorlin::platform
