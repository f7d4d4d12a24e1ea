#include "ui/FileAccess.h"

#include <QFile>
#include <QSaveFile>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quorlin::ui {

namespace {

QString kindProblem(mode_t mode)
{
    if (S_ISDIR(mode))
        return QStringLiteral("It is a folder, not a file");
    if (S_ISFIFO(mode))
        return QStringLiteral("It is a named pipe, not a file");
    if (S_ISSOCK(mode))
        return QStringLiteral("It is a socket, not a file");
    if (S_ISCHR(mode) || S_ISBLK(mode))
        return QStringLiteral("It is a device, not a file");
    return QStringLiteral("It is not a regular file");
}

bool isDevice(mode_t mode)
{
    return S_ISCHR(mode) || S_ISBLK(mode);
}

bool isRegular(mode_t mode)
{
    return S_ISREG(mode);
}

// A socket cannot be opened at all, which says less than what it is.
QString openProblem(const QByteArray& name, int error)
{
    struct stat info {};
    if (::stat(name.constData(), &info) == 0 && !S_ISREG(info.st_mode) && !isDevice(info.st_mode))
        return kindProblem(info.st_mode);
    return qt_error_string(error);
}

// The handle, looked at after opening: the name may have changed hands since any earlier look.
int openWithout(const QByteArray& name, int access, bool (*wanted)(mode_t), QString& problem,
                bool* missing = nullptr)
{
    const int fd = ::open(name.constData(), access | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) {
        const int error = errno;
        if (missing != nullptr)
            *missing = error == ENOENT;
        problem = openProblem(name, error);
        return -1;
    }
    struct stat info {};
    const bool known = ::fstat(fd, &info) == 0;
    if (!known || !wanted(info.st_mode)) {
        problem = known ? kindProblem(info.st_mode) : qt_error_string(errno);
        ::close(fd);
        return -1;
    }
    // From here on a device may make a writer wait, as any slow disk would.
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    return fd;
}

bool writeInPlace(const QByteArray& name, QByteArrayView bytes, QString& problem)
{
    const int fd = openWithout(name, O_WRONLY, isDevice, problem);
    if (fd < 0)
        return false;
    QFile file;
    file.open(fd, QIODevice::WriteOnly, QFileDevice::AutoCloseHandle);
    const bool written = file.write(bytes.data(), bytes.size()) == bytes.size() && file.flush();
    problem = file.errorString();
    return written && file.error() == QFileDevice::NoError;
}

bool replaceWhole(const QString& path, QByteArrayView bytes, QString& problem)
{
    QSaveFile file(path);
    const bool written = file.open(QIODevice::WriteOnly) &&
                         file.write(bytes.data(), bytes.size()) == bytes.size() && file.commit();
    problem = file.errorString();
    return written;
}

} // namespace

FileRead readRegularFile(const QString& path, qint64 largest)
{
    FileRead result;
    const int fd =
        openWithout(QFile::encodeName(path), O_RDONLY, isRegular, result.problem, &result.missing);
    if (fd < 0)
        return result;
    QFile file;
    file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle);
    if (largest >= 0 && file.size() > largest) {
        result.tooLarge = true;
        result.problem = QStringLiteral("it is larger than %1 bytes").arg(largest);
        return result;
    }
    result.bytes = file.readAll();
    result.ok = file.error() == QFileDevice::NoError;
    if (!result.ok) {
        result.problem = file.errorString();
        result.bytes.clear();
    }
    return result;
}

QString regularFileProblem(const QString& path)
{
    QString problem;
    const int fd = openWithout(QFile::encodeName(path), O_RDONLY, isRegular, problem);
    if (fd >= 0)
        ::close(fd);
    return problem;
}

QString replaceableProblem(const QString& path)
{
    struct stat info {};
    if (::stat(QFile::encodeName(path).constData(), &info) != 0 || S_ISREG(info.st_mode))
        return {};
    return kindProblem(info.st_mode);
}

bool saveFile(const QString& path, QByteArrayView bytes, QString& problem)
{
    const QByteArray name = QFile::encodeName(path);
    struct stat info {};
    // A new file, or one that a half-written replacement must never touch.
    if (::stat(name.constData(), &info) != 0 || S_ISREG(info.st_mode))
        return replaceWhole(path, bytes, problem);
    if (isDevice(info.st_mode))
        return writeInPlace(name, bytes, problem);
    problem = kindProblem(info.st_mode);
    return false;
}

} // namespace quorlin::ui
