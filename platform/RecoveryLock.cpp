#include "platform/RecoveryLock.h"

#include <QFile>

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quorlin::platform {

namespace {

bool sameFile(const struct stat& a, const struct stat& b)
{
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

} // namespace

std::unique_ptr<RecoveryLock> RecoveryLock::take(const QString& path, bool create, Outcome& outcome,
                                                 QString& problem)
{
    const QByteArray name = QFile::encodeName(path);
    // A link is never followed, and a pipe never waited on.
    constexpr int kFlags = O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY;
    // The holder that finds its file gone deletes nothing more; three rounds are plenty.
    for (int attempt = 0; attempt < 3; ++attempt) {
        int fd = ::open(name.constData(), O_RDWR | kFlags | (create ? O_CREAT : 0), 0600);
        // A lock file we may only read locks as well.
        if (fd < 0 && errno == EACCES)
            fd = ::open(name.constData(), O_RDONLY | kFlags);
        if (fd < 0) {
            outcome = errno == ENOENT && !create ? Outcome::Missing : Outcome::Failed;
            problem = qt_error_string(errno);
            return nullptr;
        }
        struct stat opened {};
        if (::fstat(fd, &opened) != 0 || !S_ISREG(opened.st_mode)) {
            problem = S_ISREG(opened.st_mode) ? qt_error_string(errno)
                                              : QStringLiteral("It is not a regular file");
            ::close(fd);
            outcome = Outcome::Failed;
            return nullptr;
        }
        if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
            const int error = errno;
            ::close(fd);
            outcome = error == EWOULDBLOCK ? Outcome::Held : Outcome::Failed;
            problem = qt_error_string(error);
            return nullptr;
        }
        // Its last holder may have deleted the file between our open and our lock: a lock on
        // a file no longer under that name guards nothing.
        struct stat named {};
        if (::stat(name.constData(), &named) == 0 && sameFile(opened, named)) {
            outcome = Outcome::Taken;
            return std::unique_ptr<RecoveryLock>(new RecoveryLock(path, fd));
        }
        ::close(fd);
        if (!create) {
            outcome = Outcome::Missing;
            return nullptr;
        }
    }
    outcome = Outcome::Failed;
    problem = QStringLiteral("The lock file keeps changing hands");
    return nullptr;
}

bool RecoveryLock::inPlace() const
{
    struct stat held {
    }, named{};
    return ::fstat(m_fd, &held) == 0 &&
           ::stat(QFile::encodeName(m_path).constData(), &named) == 0 && sameFile(held, named);
}

RecoveryLock::~RecoveryLock()
{
    // Only our own file: the name may have been deleted with its folder and taken anew.
    if (inPlace())
        ::unlink(QFile::encodeName(m_path).constData());
    ::close(m_fd);
}

} // namespace quorlin::platform
