#include "platform/FileAccess.h"

#include "storage/AtomicFile.h"
#include "storage/RegularFile.h"

#include <QFile>
#include <QFileInfo>

namespace quorlin::platform {

namespace {

std::string nameOf(const QString& path)
{
    return QFile::encodeName(path).toStdString();
}

// storage's answer, with its reason handed on when it failed.
bool told(bool done, const std::string& why, QString& problem)
{
    if (!done)
        problem = QString::fromStdString(why);
    return done;
}

bool save(const QString& path, QByteArrayView bytes, bool privateFile, QString& problem)
{
    std::string why;
    storage::WriteOptions options;
    options.privateFile = privateFile;
    const bool saved = storage::writeFile(
        nameOf(path), std::string_view(bytes.data(), static_cast<std::size_t>(bytes.size())),
        options, why);
    return told(saved, why, problem);
}

// The folder an XDG variable names counts only when absolute, as the XDG rules say.
bool absoluteIn(const char* variable)
{
    return qEnvironmentVariable(variable).startsWith(QLatin1Char('/'));
}

} // namespace

FileRead readRegularFile(const QString& path, qint64 largest)
{
    const storage::FileContent content = storage::readRegularFile(nameOf(path), largest);
    FileRead result;
    static_cast<storage::ReadOutcome&>(result) = content;
    result.bytes = QByteArray::fromStdString(content.bytes);
    result.problem = QString::fromStdString(content.problem);
    return result;
}

bool saveFile(const QString& path, QByteArrayView bytes, QString& problem)
{
    return save(path, bytes, false, problem);
}

bool saveStateFile(const QString& path, QByteArrayView bytes, QString& problem)
{
    return save(path, bytes, true, problem);
}

namespace {

// How many of the last folders of `path` are Quorlin's own: its organisation's folder under
// the data or the settings home, and what lies below it.
std::size_t ownLevels(const QString& path)
{
    for (const auto location :
         {QStandardPaths::GenericDataLocation, QStandardPaths::GenericConfigLocation}) {
        const QString home = stateLocation(location);
        const QString own = home + QLatin1Char('/') + kOrganisation;
        if (home.isEmpty() || (path != own && !path.startsWith(own + QLatin1Char('/'))))
            continue;
        return static_cast<std::size_t>(
            QStringView(path).mid(home.size()).split(QLatin1Char('/'), Qt::SkipEmptyParts).size());
    }
    return 0;
}

} // namespace

bool makeStateFolder(const QString& path, bool linkAllowed, QString& problem)
{
    std::string why;
    return told(storage::makePrivateFolder(nameOf(path), linkAllowed, why, ownLevels(path)), why,
                problem);
}

QString stateLocation(QStandardPaths::StandardLocation location)
{
    const bool config = location == QStandardPaths::GenericConfigLocation ||
                        location == QStandardPaths::AppConfigLocation ||
                        location == QStandardPaths::ConfigLocation;
    const QString home = qEnvironmentVariable("HOME");
    const bool usable = absoluteIn(config ? "XDG_CONFIG_HOME" : "XDG_DATA_HOME") ||
                        (home.startsWith(QLatin1Char('/')) && QFileInfo(home).isDir());
    return usable ? QStandardPaths::writableLocation(location) : QString();
}

} // namespace quorlin::platform
