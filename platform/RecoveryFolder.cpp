#include "platform/RecoveryFolder.h"

#include "platform/FileAccess.h"
#include "platform/RecoveryLock.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QStandardPaths>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quorlin::platform {

namespace {

const QString kCopySuffix = QStringLiteral(".qrec");
const QString kLockSuffix = QStringLiteral(".lock");
const QString kDamagedSuffix = QStringLiteral(".damaged");

QString lockProblem(RecoveryLock::Outcome outcome, const QString& why)
{
    return outcome == RecoveryLock::Outcome::Held
               ? QStringLiteral("another Quorlin holds the same recovery copy")
               : QStringLiteral("its recovery folder cannot hold a lock (%1)").arg(why);
}

struct Head {
    std::string bytes;
    std::string tail;
    qint64 size = 0;
};

// The first bytes and the end line of a copy, without reading what lies between: a copy holding
// one line of megabytes is offered as fast as any other.
std::optional<Head> readHead(const QString& path, QString& problem)
{
    const int fd = ::open(QFile::encodeName(path).constData(),
                          O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY | O_NOFOLLOW);
    if (fd < 0) {
        problem = qt_error_string(errno);
        return std::nullopt;
    }
    const auto fail = [&](const QString& why) {
        problem = why;
        ::close(fd);
        return std::nullopt;
    };
    struct stat info {};
    if (::fstat(fd, &info) != 0)
        return fail(qt_error_string(errno));
    if (!S_ISREG(info.st_mode))
        return fail(S_ISDIR(info.st_mode) ? QStringLiteral("It is a folder, not a file")
                                          : QStringLiteral("It is not a regular file"));
    Head head;
    head.size = info.st_size;
    const auto readAt = [&](std::string& into, std::size_t length, off_t at) {
        into.resize(length);
        std::size_t done = 0;
        while (done < length) {
            const ssize_t got =
                ::pread(fd, into.data() + done, length - done, at + static_cast<off_t>(done));
            if (got < 0 && errno == EINTR)
                continue;
            if (got <= 0)
                return got == 0; // shorter than it was a moment ago: what is there counts
            done += static_cast<std::size_t>(got);
        }
        return true;
    };
    const auto size = static_cast<std::size_t>(info.st_size);
    const std::size_t tail = std::min(size, files::kRecoveryTailBytes);
    if (!readAt(head.bytes, std::min(size, files::kRecoveryHeadBytes), 0) ||
        !readAt(head.tail, tail, static_cast<off_t>(size - tail)))
        return fail(qt_error_string(errno));
    ::close(fd);
    return head;
}

// The offer's view of a copy; damage shows in its first bytes or its end line.
void look(Orphan& orphan)
{
    QString why;
    const std::optional<Head> head = readHead(orphan.path, why);
    if (!head) {
        orphan.state = Orphan::State::Unreadable;
        orphan.problem = QStringLiteral("The recovery copy cannot be read: %1.").arg(why);
        return;
    }
    orphan.size = head->size;
    std::string problem;
    const auto preview = files::previewRecoveryFile(
        head->bytes, head->tail, static_cast<std::uint64_t>(head->size), problem);
    if (!preview) {
        orphan.state = Orphan::State::Damaged;
        orphan.problem = QString::fromStdString(problem);
        return;
    }
    orphan.source = QString::fromStdString(preview->sourcePath);
    orphan.firstWords = QString::fromStdString(preview->firstWords);
}

std::optional<files::Recovered> readCopy(const QString& path, QString& problem,
                                         Orphan::State& state)
{
    const FileRead read = readRegularFile(path);
    if (!read.ok) {
        state = Orphan::State::Unreadable;
        problem = QStringLiteral("The recovery copy cannot be read: %1.").arg(read.problem);
        return std::nullopt;
    }
    std::string why;
    auto recovered = files::readRecoveryFile(
        std::string_view(read.bytes.constData(), static_cast<std::size_t>(read.bytes.size())), why);
    state = recovered ? Orphan::State::Sound : Orphan::State::Damaged;
    if (!recovered)
        problem = QString::fromStdString(why);
    return recovered;
}

} // namespace

QString RecoveryFolder::defaultFolder()
{
    const QString data = stateLocation(QStandardPaths::AppDataLocation);
    return data.isEmpty() ? QString() : data + QStringLiteral("/recovery");
}

RecoveryFolder::RecoveryFolder() : RecoveryFolder(defaultFolder()) {}

RecoveryFolder::RecoveryFolder(const QString& folder) : m_folder(folder)
{
    if (m_folder.isEmpty()) {
        m_problem = QStringLiteral("Quorlin finds no home folder for its recovery copies.");
        return;
    }
    // Unsaved work is the user's alone, and its folder is never redirected elsewhere.
    QString why;
    if (!makeStateFolder(m_folder, false, why)) {
        m_problem = QStringLiteral("Quorlin cannot make its recovery folder %1: %2.")
                        .arg(QDir::toNativeSeparators(m_folder), why);
        return;
    }
    // The process id keeps two windows apart; the random part keeps a reused one apart from
    // the copy an earlier process of that id left.
    for (int attempt = 0; attempt < 3 && !m_lock; ++attempt) {
        m_id = QStringLiteral("%1-%2")
                   .arg(QCoreApplication::applicationPid())
                   .arg(QRandomGenerator::system()->generate(), 8, 16, QLatin1Char('0'));
        RecoveryLock::Outcome outcome{};
        QString why;
        m_lock = RecoveryLock::take(lockPath(m_id), true, outcome, why);
        if (!m_lock)
            m_problem = QStringLiteral("Quorlin cannot keep a recovery copy: %1.")
                            .arg(lockProblem(outcome, why));
    }
    if (m_lock)
        m_problem.clear();
}

RecoveryFolder::~RecoveryFolder() = default;

QString Orphan::title() const
{
    if (!source.isEmpty())
        return source;
    return firstWords;
}

QString RecoveryFolder::copyPath() const
{
    return m_folder + QLatin1Char('/') + m_id + kCopySuffix;
}

QString RecoveryFolder::lockPath(const QString& id) const
{
    return m_folder + QLatin1Char('/') + id + kLockSuffix;
}

std::optional<std::vector<Orphan>> RecoveryFolder::orphans(QString& problem)
{
    if (!m_problem.isEmpty()) {
        problem = m_problem;
        return std::nullopt;
    }
    const QDir dir(m_folder);
    if (!QFileInfo(m_folder).isDir() || !QFileInfo(m_folder).isReadable()) {
        problem = QStringLiteral("Quorlin cannot read its recovery folder %1.")
                      .arg(QDir::toNativeSeparators(m_folder));
        return std::nullopt;
    }
    sweepLocks();
    std::vector<Orphan> found;
    // A pipe or socket under a copy's name is listed too, to be told as unreadable.
    const QFileInfoList copies = dir.entryInfoList({QLatin1Char('*') + kCopySuffix},
                                                   QDir::Files | QDir::System | QDir::Hidden);
    for (const QFileInfo& info : copies) {
        const QString id = info.completeBaseName();
        const QString path = info.absoluteFilePath();
        if (id == m_id)
            continue;
        if (!m_offered.contains(path)) {
            // A lock a live process holds keeps its copy from us. One that cannot even be
            // opened names no owner at all: its copy is offered, unguarded.
            RecoveryLock::Outcome outcome{};
            QString why;
            auto lock = RecoveryLock::take(lockPath(id), true, outcome, why);
            if (outcome == RecoveryLock::Outcome::Held)
                continue;
            m_offered.emplace(path, std::move(lock));
        }
        Orphan orphan;
        orphan.path = path;
        orphan.modified = info.lastModified();
        look(orphan);
        found.push_back(std::move(orphan));
    }
    std::stable_sort(found.begin(), found.end(),
                     [](const Orphan& a, const Orphan& b) { return a.modified < b.modified; });
    return found;
}

void RecoveryFolder::sweepLocks()
{
    const QStringList locks =
        QDir(m_folder).entryList({QLatin1Char('*') + kLockSuffix}, QDir::Files | QDir::Hidden);
    for (const QString& name : locks) {
        const QString id = name.chopped(kLockSuffix.size());
        const QString copy = QDir(m_folder).absoluteFilePath(id + kCopySuffix);
        if (id == m_id || m_offered.contains(copy) || QFileInfo::exists(copy))
            continue;
        RecoveryLock::Outcome outcome{};
        QString why;
        // Taken, it goes with the lock's end; its owner may have written a copy meanwhile.
        auto lock = RecoveryLock::take(lockPath(id), false, outcome, why);
        if (lock && QFileInfo::exists(copy))
            m_offered.emplace(copy, std::move(lock));
    }
}

bool RecoveryFolder::claimed(const Orphan& orphan, QString& problem) const
{
    if (!m_problem.isEmpty()) {
        problem = m_problem;
        return false;
    }
    if (!m_offered.contains(orphan.path)) {
        problem = QStringLiteral("That recovery copy is not one Quorlin offered here.");
        return false;
    }
    return true;
}

void RecoveryFolder::release(const Orphan& orphan)
{
    m_offered.erase(orphan.path);
}

std::optional<files::Recovered> RecoveryFolder::take(const Orphan& orphan, QString& problem,
                                                     Orphan::State* found)
{
    if (!claimed(orphan, problem))
        return std::nullopt;
    Orphan::State state{};
    auto recovered = readCopy(orphan.path, problem, state);
    if (found != nullptr)
        *found = state;
    if (!recovered)
        return std::nullopt;
    QString unused;
    if (write(*recovered, unused) && QFile::remove(orphan.path))
        release(orphan);
    return recovered;
}

bool RecoveryFolder::discard(const Orphan& orphan, QString& problem)
{
    if (!claimed(orphan, problem))
        return false;
    QFile file(orphan.path);
    if (!file.remove() && file.exists()) {
        problem =
            QStringLiteral("The recovery copy cannot be deleted: %1.").arg(file.errorString());
        return false;
    }
    release(orphan);
    return true;
}

bool RecoveryFolder::setAside(const Orphan& orphan, QString& problem)
{
    if (!claimed(orphan, problem))
        return false;
    // rename() replaces a copy set aside before under the same name, which QFile would refuse.
    const QByteArray from = QFile::encodeName(orphan.path);
    const QByteArray to = QFile::encodeName(orphan.path + kDamagedSuffix);
    if (std::rename(from.constData(), to.constData()) != 0) {
        problem = QStringLiteral("The damaged recovery copy cannot be set aside: %1.")
                      .arg(qt_error_string(errno));
        return false;
    }
    release(orphan);
    return true;
}

bool RecoveryFolder::write(const files::Recovered& recovered, QString& problem)
{
    if (!m_problem.isEmpty()) {
        problem = m_problem;
        return false;
    }
    // Someone may have deleted the folder while Quorlin ran, and our lock with it: without
    // the lock another window would take our copy for a crash's.
    QString why;
    const bool folder = makeStateFolder(m_folder, false, why);
    if (folder && !m_lock->inPlace()) {
        RecoveryLock::Outcome outcome{};
        QString lockProblem;
        if (auto lock = RecoveryLock::take(lockPath(m_id), true, outcome, lockProblem))
            m_lock = std::move(lock);
    }
    const std::string text = files::recoveryFileText(recovered);
    if (!folder ||
        !saveStateFile(copyPath(), QByteArrayView(text.data(), static_cast<qsizetype>(text.size())),
                       why)) {
        problem = QStringLiteral("Quorlin cannot write its recovery copy %1: %2.")
                      .arg(QDir::toNativeSeparators(copyPath()), why);
        return false;
    }
    return true;
}

bool RecoveryFolder::remove(QString& problem)
{
    if (!m_problem.isEmpty()) {
        problem = m_problem;
        return false;
    }
    QFile file(copyPath());
    if (!file.remove() && file.exists()) {
        problem = QStringLiteral("Quorlin cannot delete its recovery copy %1: %2.")
                      .arg(QDir::toNativeSeparators(copyPath()), file.errorString());
        return false;
    }
    return true;
}

} // namespace quorlin::platform
