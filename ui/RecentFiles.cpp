#include "ui/RecentFiles.h"

#include "ui/FileAccess.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace quorlin::ui {

RecentFiles::RecentFiles(QString file) : m_file(std::move(file)) {}

QString RecentFiles::userFile()
{
    return QStandardPaths::writableLocation(QStandardPaths::AppDataLocation) +
           QStringLiteral("/recent-files");
}

QStringList RecentFiles::paths() const
{
    const FileRead file = readRegularFile(m_file);
    QStringList paths;
    // A hand-edited list may hold anything: only absolute paths, each once, eight at most.
    for (const QString& path :
         QString::fromUtf8(file.bytes).split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
        if (path.startsWith(QLatin1Char('/')) && !paths.contains(path) && paths.size() < kKept)
            paths << path;
    }
    return paths;
}

void RecentFiles::add(const QString& path)
{
    // A name holding a line break could not be kept in the list: it is left out of it.
    if (path.isEmpty() || path.contains(QLatin1Char('\n')))
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
    // The list is a convenience: a folder that cannot be written simply keeps no list.
    QString problem;
    const QByteArray bytes = paths.join(QLatin1Char('\n')).toUtf8() + '\n';
    if (QDir().mkpath(QFileInfo(m_file).path()))
        saveFile(m_file, bytes, problem);
}

} // namespace quorlin::ui
