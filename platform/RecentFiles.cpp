#include "platform/RecentFiles.h"

#include "platform/FileAccess.h"

#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

#include <algorithm>
#include <climits>

namespace quorlin::platform {

RecentFiles::RecentFiles(QString file) : m_file(std::move(file)) {}

QString RecentFiles::userFile()
{
    const QString folder = stateLocation(QStandardPaths::AppDataLocation);
    return folder.isEmpty() ? QString() : folder + QStringLiteral("/recent-files");
}

QStringList RecentFiles::paths() const
{
    if (m_file.isEmpty())
        return m_memory;
    const FileRead file = readRegularFile(m_file);
    QStringList paths;
    // A hand-edited list may hold anything: only plausible paths, each once, eight at most.
    for (const QString& path :
         QString::fromUtf8(file.bytes).split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
        if (plausible(path) && !paths.contains(path) && paths.size() < kKept)
            paths << path;
    }
    return paths;
}

void RecentFiles::add(const QString& path)
{
    // A name the list could not hold, or would drop when read back, is left out of it.
    if (!plausible(path))
        return;
    QStringList paths = this->paths();
    paths.removeAll(path);
    paths.prepend(path);
    keep(paths.mid(0, kKept));
}

void RecentFiles::remove(const QString& path)
{
    QStringList paths = this->paths();
    if (paths.removeAll(path) > 0)
        keep(paths);
}

void RecentFiles::clear()
{
    keep({});
}

void RecentFiles::keep(const QStringList& paths)
{
    if (m_file.isEmpty()) {
        m_memory = paths;
        return;
    }
    // The list is a convenience: a folder that cannot be written simply keeps no list.
    QString problem;
    const QByteArray bytes = paths.join(QLatin1Char('\n')).toUtf8() + '\n';
    if (makeStateFolder(QFileInfo(m_file).path(), true, problem))
        saveStateFile(m_file, bytes, problem);
}

bool RecentFiles::plausible(const QString& path)
{
    // A menu of a megabyte-long entry takes seconds to lay out; no file has such a name.
    if (!path.startsWith(QLatin1Char('/')) || QFile::encodeName(path).size() >= PATH_MAX)
        return false;
    return std::none_of(path.begin(), path.end(),
                        [](QChar c) { return c.category() == QChar::Other_Control; });
}

} // namespace quorlin::platform
