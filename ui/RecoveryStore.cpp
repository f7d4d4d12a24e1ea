#include "ui/RecoveryStore.h"

#include "ui/FileAccess.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>
#include <QRandomGenerator>
#include <QStandardPaths>

#include <algorithm>
#include <cerrno>
#include <cstdio>

namespace quorlin::ui {

namespace {

const QString kCopySuffix = QStringLiteral(".qrec");
const QString kLockSuffix = QStringLiteral(".lock");
const QString kDamagedSuffix = QStringLiteral(".damaged");

// Only a dead owner frees a lock, never its age: an editing session lasts far longer than the
// thirty seconds after which Qt would otherwise take a lock for a crash's leftover.
std::unique_ptr<QLockFile> lockFile(const QString& path)
{
    auto lock = std::make_unique<QLockFile>(path);
    lock->setStaleLockTime(0);
    return lock;
}

QString lockProblem(const QLockFile& lock)
{
    switch (lock.error()) {
    case QLockFile::PermissionError:
        return QStringLiteral("Quorlin may not write in its recovery folder");
    case QLockFile::LockFailedError:
        return QStringLiteral("another Quorlin holds the same recovery copy");
    default:
        return QStringLiteral("its recovery folder cannot hold a lock");
    }
}

QString titleOf(const files::Recovered& recovered)
{
    if (!recovered.sourcePath.empty())
        return QString::fromStdString(recovered.sourcePath);
    if (!recovered.lines.empty())
        return QString::fromStdString(recovered.lines.front());
    return QStringLiteral("(an empty tab)");
}

std::optional<files::Recovered> readCopy(const QString& path, QString& problem)
{
    const FileRead read = readRegularFile(path);
    if (!read.ok) {
        problem = QStringLiteral("The recovery copy cannot be read: %1.").arg(read.problem);
        return std::nullopt;
    }
    std::string why;
    auto recovered = files::readRecoveryFile(
        std::string_view(read.bytes.constData(), static_cast<std::size_t>(read.bytes.size())), why);
    if (!recovered)
        problem = QString::fromStdString(why);
    return recovered;
}

} // namespace

QString RecoveryStore::defaultFolder()
{
    const QString data = stateLocation(QStandardPaths::AppDataLocation);
    return data.isEmpty() ? QString() : data + QStringLiteral("/recovery");
}

RecoveryStore::RecoveryStore() : RecoveryStore(defaultFolder()) {}

RecoveryStore::RecoveryStore(const QString& folder) : m_folder(folder)
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
        auto lock = lockFile(lockPath(m_id));
        if (lock->tryLock(0))
            m_lock = std::move(lock);
        else
            m_problem =
                QStringLiteral("Quorlin cannot keep a recovery copy: %1.").arg(lockProblem(*lock));
    }
    if (m_lock)
        m_problem.clear();
}

RecoveryStore::~RecoveryStore() = default;

QString RecoveryStore::copyPath() const
{
    return m_folder + QLatin1Char('/') + m_id + kCopySuffix;
}

QString RecoveryStore::lockPath(const QString& id) const
{
    return m_folder + QLatin1Char('/') + id + kLockSuffix;
}

std::optional<std::vector<Orphan>> RecoveryStore::orphans(QString& problem)
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
    std::vector<Orphan> found;
    const QFileInfoList copies =
        dir.entryInfoList({QLatin1Char('*') + kCopySuffix}, QDir::Files | QDir::Hidden);
    for (const QFileInfo& info : copies) {
        const QString id = info.completeBaseName();
        const QString path = info.absoluteFilePath();
        if (id == m_id)
            continue;
        if (!m_offered.contains(path)) {
            // A lock we cannot take belongs to a live window, or is one we cannot judge: the
            // copy is left alone either way.
            auto lock = lockFile(lockPath(id));
            if (!lock->tryLock(0))
                continue;
            m_offered.emplace(path, std::move(lock));
        }
        Orphan orphan{path, info.lastModified(), {}, {}};
        if (const auto recovered = readCopy(path, orphan.problem))
            orphan.title = titleOf(*recovered);
        found.push_back(std::move(orphan));
    }
    std::stable_sort(found.begin(), found.end(),
                     [](const Orphan& a, const Orphan& b) { return a.modified < b.modified; });
    return found;
}

bool RecoveryStore::claimed(const Orphan& orphan, QString& problem) const
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

void RecoveryStore::release(const Orphan& orphan)
{
    m_offered.erase(orphan.path);
}

std::optional<files::Recovered> RecoveryStore::take(const Orphan& orphan, QString& problem)
{
    if (!claimed(orphan, problem))
        return std::nullopt;
    auto recovered = readCopy(orphan.path, problem);
    if (!recovered)
        return std::nullopt;
    QString unused;
    if (write(*recovered, unused) && QFile::remove(orphan.path))
        release(orphan);
    return recovered;
}

bool RecoveryStore::discard(const Orphan& orphan, QString& problem)
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

bool RecoveryStore::setAside(const Orphan& orphan, QString& problem)
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

bool RecoveryStore::write(const files::Recovered& recovered, QString& problem)
{
    if (!m_problem.isEmpty()) {
        problem = m_problem;
        return false;
    }
    const std::string text = files::recoveryFileText(recovered);
    QString why;
    // Someone may have deleted the folder while Quorlin ran.
    if (!makeStateFolder(m_folder, false, why) ||
        !saveStateFile(copyPath(), QByteArrayView(text.data(), static_cast<qsizetype>(text.size())),
                       why)) {
        problem = QStringLiteral("Quorlin cannot write its recovery copy %1: %2.")
                      .arg(QDir::toNativeSeparators(copyPath()), why);
        return false;
    }
    return true;
}

bool RecoveryStore::remove(QString& problem)
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

} // namespace quorlin::ui
